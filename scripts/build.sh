#!/usr/bin/env bash
# Builds the three trees: the setup (build/win32), the Win32 tests
# (build/win32-tests) and the native unit tests (build/native); with
# VESPODAR_WIN64=1 also their 64-bit twins (see below).
# Extra arguments go to the setup's configure step, e.g.
#   scripts/build.sh -DVESPODAR_PACKAGE_FILE=/path/to/vdq2.cok
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
mkdir -p "$root/build"

cmake -S "$root" -B "$root/build/win32" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
      -DMINGW_THREADS=win32 "$@" > "$root/build/configure-win32.log" 2>&1 ||
  { cat "$root/build/configure-win32.log"; exit 1; }
cmake --build "$root/build/win32" -j"$jobs"

if [[ "${VESPODAR_SETUP_ONLY:-0}" != 1 ]]; then
  cmake -S "$root" -B "$root/build/win32-tests" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
        -DMINGW_THREADS=posix > "$root/build/configure-win32-tests.log" 2>&1 ||
    { cat "$root/build/configure-win32-tests.log"; exit 1; }
  cmake --build "$root/build/win32-tests" -j"$jobs"

  cmake -S "$root" -B "$root/build/native" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
        > "$root/build/configure-native.log" 2>&1 ||
    { cat "$root/build/configure-native.log"; exit 1; }
  cmake --build "$root/build/native" -j"$jobs"
fi
# VESPODAR_WIN64=1: the same two Windows trees built as 64-bit programs
# (build/win64, build/win64-tests), for a kernel that runs no 32-bit ones.
if [[ "${VESPODAR_WIN64:-0}" == 1 ]]; then
  flavours=(win32:win64)
  [[ "${VESPODAR_SETUP_ONLY:-0}" == 1 ]] || flavours+=(posix:win64-tests)
  for flavour in "${flavours[@]}"; do
    tree=$root/build/${flavour#*:}
    cmake -S "$root" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
          -DMINGW_THREADS="${flavour%%:*}" > "$tree.configure.log" 2>&1 ||
      { cat "$tree.configure.log"; exit 1; }
    cmake --build "$tree" -j"$jobs"
  done
  echo "Its 64-bit twin, for tests only: $root/build/win64/VespodarUpdate.exe"
fi
echo "The setup: $root/build/win32/VespodarUpdate.exe"
