#!/usr/bin/env bash
# Builds the setup a second time, from the same sources in another build
# directory, and compares the two executables byte for byte. Usage:
#   tools/check_reproducible.sh SOURCE_DIR FIRST_EXE [CMAKE_ARGS...]
# The second build is made by the preset VESPODAR_SETUP_PRESET names (setup
# when unset; setup-win64 for the 64-bit twin).
set -euo pipefail
source_dir=$1 first=$2
shift 2
second_dir=$(mktemp -d /tmp/vespodar-repro.XXXXXX)
trap 'rm -rf "$second_dir"' EXIT
(cd "$source_dir" && cmake --preset "${VESPODAR_SETUP_PRESET:-setup}" -B "$second_dir" "$@") > "$second_dir/configure.log" 2>&1 ||
  { cat "$second_dir/configure.log"; exit 1; }
cmake --build "$second_dir" --target VespodarUpdate -j"$(nproc)" > "$second_dir/build.log" 2>&1 ||
  { cat "$second_dir/build.log"; exit 1; }
if cmp "$first" "$second_dir/VespodarUpdate.exe"; then
  echo "reproducible: $(sha256sum < "$first" | cut -c1-64)"
else
  echo "two builds of the same sources differ"
  exit 1
fi
