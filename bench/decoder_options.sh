#!/usr/bin/env bash
# The zstd decoder's build options, size against speed: for each choice of
# the -O level and zstd's own size switches (cmake/zstd.cmake,
# VESPODAR_ZSTD_TRIAL), the setup that carries a compressed package is built
# with it, 32-bit and the 64-bit twin, and weighed (its size less the
# package's); decode_split.exe, linked from the build this machine runs, then
# decodes the benchmark's real packages with it.
#
#   bench/decoder_options.sh [--rounds N] [--only NAME,...]
#     --rounds N   decodings of each package per choice (default 7; the
#                  fastest counts: on a shared machine the others are slowed
#                  by what else runs, the decoder's work is the same)
#     --only LIST  the choices to measure, by name (default all; see CHOICES)
#
# Needs the packages of `bench/run_encoded.sh --only bytes` (it builds them
# under build/bench-encoded/content). A choice takes about two minutes to
# build for both targets, under nice; the decodings about half a minute.
# Figures go to build/bench-encoded/decoder-options/results.txt.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
bench_src="$root/bench"
work="${BENCH_WORK_DIR:-$root/build/bench-encoded}"
# shellcheck source=common.sh
source "$bench_src/common.sh"
bench_detect_kind

# name|-O of the hot loops;-O of the rest;definitions (cmake/zstd.cmake)
CHOICES=(
  "O2|-O2;-O2"
  "O2-X1|-O2;-O2;HUF_FORCE_DECOMPRESS_X1"
  "O2-short|-O2;-O2;ZSTD_FORCE_DECOMPRESS_SEQUENCES_SHORT"
  "O2-X1-short|-O2;-O2;HUF_FORCE_DECOMPRESS_X1;ZSTD_FORCE_DECOMPRESS_SEQUENCES_SHORT"
  "Os|-Os;-Os"
  "Os-X1|-Os;-Os;HUF_FORCE_DECOMPRESS_X1"
  "Os-X1-short-noinline|-Os;-Os;HUF_FORCE_DECOMPRESS_X1;ZSTD_FORCE_DECOMPRESS_SEQUENCES_SHORT;ZSTD_NO_INLINE"
  "O2hot-Os|-O2;-Os"
  "O2hot-Os-X1|-O2;-Os;HUF_FORCE_DECOMPRESS_X1"
)

rounds=7 only=""
while (($#)); do
  case "$1" in
    --rounds) rounds=$2; shift 2 ;;
    --only) only=",$2,"; shift 2 ;;
    -h|--help) sed -n '2,/^set -e/{/^#/p}' "$0"; exit 0 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
done

content="$work/content" out="$work/decoder-options"
mkdir -p "$out"
results="$out/results.txt"
heavy() { nice -n 19 "$@"; }

# The benchmark's carried packages, copied out of its setups.
kinds=(data library text)
for kind in "${kinds[@]}"; do
  for name in compressed delta; do
    setup="$content/$kind/$name/VespodarUpdate.exe"
    [[ -f "$setup" ]] || { echo "no $setup: run bench/run_encoded.sh --only bytes first" >&2; exit 1; }
    package="$out/$kind-$name.bin"
    if [[ ! -f "$package" || "$package" -ot "$setup" ]]; then
      python3 "$bench_src/carried_package.py" "$setup" "$(stat -c %s "$content/$kind/new/vdq2.cok")" \
        "$(cat "$content/$kind/$name/carried")" "$package"
    fi
  done
done

# A setup with each choice, for both targets; the text's compressed package
# is the one carried (the smallest), its weight what a choice costs.
configure() {
  local preset=$1 tree=$2 trial=$3
  printf 'Vespodar content' > "$out/title.txt"
  (cd "$root" && cmake --preset "$preset" -B "$tree" \
        -DVESPODAR_PACKAGE_FILE="$out/text-compressed.bin" -DVESPODAR_PACKAGE_ENCODING=compressed \
        -DVESPODAR_PACKAGE_NAME=vdq2 -DVESPODAR_PACKAGE_TYPE=cok \
        -DVESPODAR_PACKAGE_TITLE_FILE="$out/title.txt" -DVESPODAR_PACKAGE_VERSION=1 \
        -DVESPODAR_SETUP_VERSION=1.0.0.1 -DVESPODAR_GUARD_VERSIONS=OFF \
        "-DVESPODAR_ZSTD_TRIAL=$trial") > "$tree.configure.log" 2>&1 ||
    { cat "$tree.configure.log"; exit 1; }
}


export WINEPREFIX="$out/prefix-$bench_arch"
wineserver -k > /dev/null 2>&1 || true
carried=$(stat -c %s "$out/text-compressed.bin")
{
  echo "The decoder's options, $(date -u '+%Y-%m-%d %H:%M UTC'); $bench_kind"
  echo "machine: $(bench_machine); load average $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "weight: the compressed setup's size less its package ($carried B carried)"
  echo "MB/s: decoded bytes over the fastest of $rounds decodings into pages already in memory" \
       "(decode_split's decode-again), $bench_arch"
  printf '%-22s %10s %10s' choice "win32 B" "win64 B"
  for kind in "${kinds[@]}"; do printf ' %14s %14s' "$kind-compr" "$kind-delta"; done
  echo
} | tee "$results"

for choice in "${CHOICES[@]}"; do
  name=${choice%%|*} trial=${choice#*|}
  [[ -z "$only" || "$only" == *",$name,"* ]] || continue
  weights=()
  for arch in win32 win64; do
    preset=setup
    [[ $arch == win64 ]] && preset=setup-win64
    tree="$out/$arch-$name"
    configure "$preset" "$tree" "$trial"
    heavy cmake --build "$tree" -j"$(nproc)" --target VespodarUpdate > "$tree.build.log" 2>&1 ||
      { tail -30 "$tree.build.log"; exit 1; }
    weights+=($(($(stat -c %s "$tree/VespodarUpdate.exe") - carried)))
  done
  tree="$out/$bench_arch-$name"
  bench_link_decode_split "$tree" "$tree/decode_split.exe"
  line=$(printf '%-22s %10s %10s' "$name" "${weights[0]}" "${weights[1]}")
  for kind in "${kinds[@]}"; do
    for update in compressed delta; do
      package="$out/$kind-$update.bin" new="$content/$kind/new/vdq2.cok" base=()
      [[ $update == delta ]] && base=("Z:$content/$kind/old.bin")
      rm -f "$out/split.txt"
      for ((round = 0; round < rounds; ++round)); do
        cat "$package" "$new" "${base[@]/#Z:/}" > /dev/null
        "$bench_wine" "$tree/decode_split.exe" "Z:$package" "Z:$new" "Z:$out/split-target.bin" \
          "Z:$out/split.txt" "${base[@]}" >> "$out/split.log" 2>&1 ||
          { echo "decode_split failed on $package with $name" >&2; exit 1; }
      done
      speed=$(awk -v size="$(stat -c %s "$new")" '$1 == "decode-again" && (!best || $2 < best) {best = $2}
                END {printf "%.0f", size / best / 1e6}' "$out/split.txt")
      line+=$(printf ' %14s' "$speed")
    done
  done
  echo "$line" | tee -a "$results"
done
wineserver -k > /dev/null 2>&1 || true
