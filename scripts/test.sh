#!/usr/bin/env bash
# Runs every test: the unit tests (Linux, ASan and UBSan), the Win32 tests
# (under Wine) and the end-to-end tests (the real setup under Wine and Xvfb).
# Installs what is missing first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"

status=0

echo "== Unit tests"
(cd "$root/build/native" && ctest --output-on-failure -j"$(nproc)") || status=1

echo "== Build checks of the setup (imports, no extra DLL, reproducible bytes)"
(cd "$root/build/win32" && ctest --output-on-failure) || status=1

# Wine runs the 32-bit setup as a 32-bit Linux process. A kernel can be
# started with its 32-bit support off (ia32_emulation=off), and then every
# Wine test below would fail with nothing but "Exec format error": say why
# once, and fail.
if [[ $(wine --version 2>&1) == *"Exec format error"* ]]; then
  echo "This Linux kernel runs no 32-bit programs (its ia32 emulation is off), so Wine cannot"
  echo "run the 32-bit setup: the Win32 and end-to-end tests need a machine that can."
  exit 1
fi

echo "== Win32 tests under Wine"
export WINEDEBUG=-all WINEARCH=win32
export WINEPREFIX="$root/build/wine-unit"
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  rm -rf "$WINEPREFIX"
  wineboot -i > "$root/build/wineboot-unit.log" 2>&1
  # The server that wineboot started must be gone before the display's run
  # starts its own: one that lives on without a display makes every later
  # window creation fail.
  wineserver -w
fi
# Windows need a display; one wineserver, started under it, serves the whole
# run (each start would otherwise pay for its own).
(cd "$root/build/win32-tests" &&
  xvfb-run -a -s '-screen 0 1024x768x24' \
    bash -c 'wineserver -k 2>/dev/null; wineserver -w; wineserver -p 60
             # The first program of a fresh server sometimes does not exit
             # under Wine 8: let a throwaway one take that turn.
             wine cmd /c exit > /dev/null 2>&1
             ctest --output-on-failure; rc=$?; wineserver -k; exit $rc') ||
  status=1
unset WINEPREFIX WINEARCH


echo "== End-to-end tests under Wine"
"$root/tests/e2e/run_e2e.sh" "$root/build/win32" || status=1

exit $status
