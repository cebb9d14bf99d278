#!/usr/bin/env bash
# Prints 32 when this machine runs 32-bit Windows programs under Wine, else 64
# (why it may not: scripts/lib.sh).
. "$(dirname "$0")/lib.sh"
wine_bits
