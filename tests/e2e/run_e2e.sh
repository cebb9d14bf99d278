#!/usr/bin/env bash
# Runs the end-to-end suite against a built setup:
#   tests/e2e/run_e2e.sh BUILD_DIR [pytest arguments]
# BUILD_DIR is the win32 build (VespodarUpdate.exe, tests/, package/).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: run_e2e.sh BUILD_DIR [pytest arguments]}" && pwd)
shift
export VESPODAR_BUILD=$build
# Debian's pytest belongs to Debian's python, whatever python3 comes first.
exec xvfb-run -a -s '-screen 0 1024x768x24' /usr/bin/python3 -m pytest "$here" -q -p no:cacheprovider "$@"
