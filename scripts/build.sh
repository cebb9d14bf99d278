#!/usr/bin/env bash
# Builds the trees the tests need, each by its preset (CMakePresets.json):
#   setup        build/win32        the setup and its end-to-end helpers
#   win32-tests  build/win32-tests  the Win32 tests
#   native       build/native       the unit tests (ASan, UBSan)
#   fuzz         build/fuzz         the fuzz targets
# With VESPODAR_WIN64=1 also the 64-bit twins setup-win64 (build/win64) and
# win64-tests (build/win64-tests), for a kernel that runs no 32-bit programs.
# VESPODAR_SETUP_ONLY=1 builds the setup (and its twin) alone.
# Extra arguments go to the setup's configure step, e.g.
#   scripts/build.sh -DVESPODAR_PACKAGE_FILE=/path/to/vdq2.cok
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
mkdir -p "$root/build"
cd "$root"

# build PRESET [configure arguments...]
build() {
  local preset=$1
  shift
  cmake --preset "$preset" "$@" > "build/configure-$preset.log" 2>&1 ||
    { cat "build/configure-$preset.log"; exit 1; }
  cmake --build --preset "$preset" -j"$jobs"
}

presets=(setup)
[[ "${VESPODAR_SETUP_ONLY:-0}" == 1 ]] || presets+=(win32-tests native fuzz)
if [[ "${VESPODAR_WIN64:-0}" == 1 ]]; then
  presets+=(setup-win64)
  [[ "${VESPODAR_SETUP_ONLY:-0}" == 1 ]] || presets+=(win64-tests)
fi
for preset in "${presets[@]}"; do
  case $preset in
    setup|setup-win64) build "$preset" "$@" ;;
    *) build "$preset" ;;
  esac
done

[[ "${VESPODAR_WIN64:-0}" != 1 ]] ||
  echo "Its 64-bit twin, for tests only: $root/build/win64/VespodarUpdate.exe"
echo "The setup: $root/build/win32/VespodarUpdate.exe"
