#!/usr/bin/env bash
# Runs every test: the unit tests (Linux, ASan and UBSan), the Win32 tests
# (under Wine) and the end-to-end tests (the real setup under Wine and Xvfb).
# Installs what is missing first.
set -euo pipefail
. "$(dirname "$0")/lib.sh"

"$root/scripts/install-deps.sh"

# Wine runs the 32-bit setup as a 32-bit Linux process. A kernel can be
# started with its 32-bit support off (ia32_emulation=off), and then every
# 32-bit Wine program fails with "Exec format error". There the Win32 and
# end-to-end tests run a 64-bit build of the same sources under Wine's 64-bit
# half, on 64-bit prefixes only: what differs is what only a 32-bit process
# meets (registry and file system redirection, the 32-bit image itself).
bits=$(wine_bits)
loader=$(wine_loader "$bits")
if [[ $bits == 64 ]]; then
  echo "This machine runs no 32-bit Windows programs (no ia32 emulation, or no 32-bit Wine): the"
  echo "Win32 and end-to-end tests run a 64-bit build of the setup, on 64-bit prefixes only."
fi
VESPODAR_WIN64=$([[ $bits == 64 ]] && echo 1 || echo 0) "$root/scripts/build.sh"

status=0

cd "$root"
echo "== Unit tests (and the layering of the includes)"
ctest --preset native -j"$(nproc)" || status=1

echo "== Fuzz targets, each for a bounded time"
ctest --preset fuzz -j"$(nproc)" || status=1

echo "== Build checks of the setup (imports, no extra DLL, reproducible bytes)"
ctest --preset setup || status=1

if [[ $bits == 32 ]]; then
  arch=win32 tests=win32-tests setup=win32
else
  # The presets of the 64-bit twin: setup-win64 (build/win64) and win64-tests.
  arch=win64 tests=win64-tests setup=win64
  export WINELOADER=$loader
fi

echo "== Win32 tests under Wine ($bits-bit)"
export WINEDEBUG=-all WINEARCH=$arch
export WINEPREFIX="$root/build/wine-unit-$arch"
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  rm -rf "$WINEPREFIX"
  "$loader" wineboot -i > "$root/build/wineboot-unit-$arch.log" 2>&1
  # The server that wineboot started must be gone before the display's run
  # starts its own: one that lives on without a display makes every later
  # window creation fail.
  wineserver -w
fi
# Windows need a display; one wineserver, started under it, serves the whole
# run (each start would otherwise pay for its own).
(cd "$root/build/$tests" &&
  with_display bash -c '
    wineserver -k 2>/dev/null; wineserver -w; wineserver -p 60
    # The first program of a fresh server sometimes does not exit under
    # Wine 8: let a throwaway one take that turn.
    "$0" cmd /c exit > /dev/null 2>&1
    ctest --output-on-failure; rc=$?; wineserver -k; exit $rc' "$loader") ||
  status=1
unset WINEPREFIX WINEARCH


echo "== End-to-end tests under Wine ($bits-bit)"
if [[ $bits == 32 ]]; then
  "$root/tests/e2e/run_e2e.sh" "$root/build/$setup" || status=1
else
  VESPODAR_WIN64=1 VESPODAR_WINE=$loader VESPODAR_E2E_ARCHS=win64 \
    VESPODAR_PREFIX_CACHE="${VESPODAR_PREFIX_CACHE:-$HOME/.cache/vespodar-prefixes-64}" \
    "$root/tests/e2e/run_e2e.sh" "$root/build/$setup" || status=1
fi

exit $status
