#!/usr/bin/env bash
# Prints 32 when this machine runs 32-bit Windows programs under Wine, else 64.
# A kernel can be started with its 32-bit support off (ia32_emulation=off):
# there every 32-bit Wine program fails with "Exec format error". And a mirror
# whose i386 packages lag behind the amd64 ones leaves 32-bit Wine (wine32)
# uninstalled. Either way the tests and the demo run the 64-bit build.
if [[ ! -x /usr/lib/wine/wine ]] || [[ $(wine --version 2>&1) == *"Exec format error"* ]]; then
  echo 64
else
  echo 32
fi
