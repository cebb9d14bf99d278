#!/usr/bin/env bash
# The cost as the package grows: for packages of 2, 64 and 256 MiB (and
# 1024 MiB on the 64-bit twin where the disk has room), a setup built with
# scripts/build-update.sh runs silently ("modest") on the same prepared
# installation as in run_bench.sh; beside it, in the same rounds:
#   - the floor: floor_copy, native, reads the setup once, hashes it with
#     SHA-256 and copies the package's bytes to a new file with fsync;
#   - NSIS with the same package (SetCompress off: both move the same bytes);
#   - a Windows program that does nothing, for the memory above it.
# Wall time and peak memory (run_measure: the Windows process's peak working
# set) of each run; medians and ratios go to build/bench-scaling/results.txt
# and results.json (bench/scaling_report.py).
#
#   bench/run_scaling.sh [--rounds N] [--sizes MIB,MIB,...] [--keep]
#     --rounds N     rounds per size (default 5)
#     --sizes LIST   package sizes in MiB (default 2,64,256, and 1024 on the
#                    64-bit twin when the disk has 12 times that free)
#     --keep         keep the built setups and packages (several GiB)
# Each size builds its own setup (the first build of the tree takes a few
# minutes); a round of 256 MiB takes a few seconds.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
bench_src="$root/bench"
work="${BENCH_WORK_DIR:-$root/build/bench-scaling}"
# shellcheck source=common.sh
source "$bench_src/common.sh"
bench_detect_kind

rounds=5
sizes=""
keep=0
while (($#)); do
  case "$1" in
    --rounds) rounds=$2; shift 2 ;;
    --sizes) sizes=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    -h|--help) sed -n '2,20p' "$0"; exit 0 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
done
mkdir -p "$work"
if [[ -z "$sizes" ]]; then
  sizes="2,64,256"
  free_kib=$(df -Pk "$work" | awk 'NR == 2 {print $4}')
  if ((bench_bits == 64 && free_kib > 12 * 1024 * 1024)); then
    sizes+=",1024"
  elif ((bench_bits == 64)); then
    echo "   (no 1024 MiB package: $((free_kib / 1024)) MiB free, 12 GiB wanted)"
  fi
fi
IFS=, read -r -a package_mib <<<"$sizes"

bench_need_makensis "$work/nsis-install.log"
echo "== Measuring $bench_kind"
echo "   machine: $(bench_machine)"

bin="$work/bin" log="$work/log" raw="$work/raw"
rm -rf "$raw"
mkdir -p "$bin" "$log" "$raw"
cc -O2 -Wall -Wextra -o "$bin/run_measure" "$bench_src/run_measure.c"
cc -O2 -Wall -Wextra -o "$bin/floor_copy" "$bench_src/floor_copy.c" -lcrypto
"$bench_mingw-gcc-win32" -Os -s -mwindows -o "$bin/trivial.exe" "$bench_src/trivial.c"

echo "== Packages and their setups (scripts/build-update.sh)"
win64=$([[ $bench_bits == 64 ]] && echo 1 || echo 0)
for mib in "${package_mib[@]}"; do
  dir="$work/$mib"
  mkdir -p "$dir"
  if [[ ! -f "$dir/vdq2.cok" ]]; then
    # The stand-in's first MiB (its "vdq" header and version 1), repeated:
    # the installers never look into the bytes, and nothing compresses them.
    python3 - "$root/tools" "$dir/vdq2.cok" "$mib" <<'PYTHON'
import sys
sys.path.insert(0, sys.argv[1])
from make_stand_in_package import stand_in
block = stand_in(1 << 20, 1)
with open(sys.argv[2], "wb") as out:
    out.write(block)
    tail = bytearray(block)
    tail[0:7] = b"\0" * 7  # only the first block carries the header
    for _ in range(int(sys.argv[3]) - 1):
        out.write(tail)
PYTHON
  fi
  # Built every time: the build tree is one for all sizes, so this relinks
  # with the package of this size (and takes the sources as they are now).
  VESPODAR_WIN64=$win64 "$root/scripts/build-update.sh" "$dir/vdq2.cok" --title '"Тарвелин" версии ' \
    --out "$dir" > "$log/build-$mib.log" 2>&1 || { tail -20 "$log/build-$mib.log"; exit 1; }
  bench_make_nsis "$bench_src/vespodar.nsi" "$dir/vdq2.cok" "$dir/VespodarNsis.exe" "$log/makensis-$mib.log"
  # Where the package lies in the setup, for the floor's copy.
  python3 - "$dir/VespodarUpdate.exe" "$dir/vdq2.cok" > "$dir/offset" <<'PYTHON'
import mmap, sys
with open(sys.argv[2], "rb") as f:
    head = f.read(1 << 16)
with open(sys.argv[1], "rb") as f, mmap.mmap(f.fileno(), 0, access=mmap.ACCESS_READ) as image:
    print(image.find(head))
PYTHON
  echo "   $mib MiB: setup $(stat -c %s "$dir/VespodarUpdate.exe") B, NSIS $(stat -c %s "$dir/VespodarNsis.exe") B, package at $(cat "$dir/offset")"
done

bench_fresh_prefix "$work" "$work/prefix-$bench_arch" "$log"
trap bench_stop_server EXIT
product_dir="$WINEPREFIX/drive_c/Program Files/Vespodar"
bench_prepare_installation "$product_dir" 600 "$bin/trivial.exe" "$log"
head -c 1500000 "$work/${package_mib[0]}/vdq2.cok" > "$work/old-vdq2.cok"

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
other_servers=$(($(pgrep -c wineserver || true) - 1))

# Every run starts from the older file and must leave the package, whole.
reset_installation() {
  cp "$work/old-vdq2.cok" "$product_dir/vdq2.cok"
  # The old file's pages must not stay dirty in the next run's figure.
  sync "$product_dir/vdq2.cok"
}
check_installed() {
  cmp -s "$1" "$product_dir/vdq2.cok" || { echo "FAIL: $2 did not install the package" >&2; exit 1; }
}

for mib in "${package_mib[@]}"; do
  dir="$work/$mib"
  setup="$dir/VespodarUpdate.exe" nsis="$dir/VespodarNsis.exe" package="$dir/vdq2.cok"
  offset=$(cat "$dir/offset") size=$(stat -c %s "$package")
  out="$raw/$mib"
  mkdir -p "$out"
  echo "== $mib MiB: warm-up and checks"
  # The first run of each pays for the page cache's first read of the file;
  # it is not timed, but it must do the job.
  for name in setup nsis; do
    reset_installation
    exe=$setup arg=modest
    [[ $name == nsis ]] && exe=$nsis arg=""
    status=0
    "$bench_wine" "$exe" $arg > "$log/warmup-$name-$mib.log" 2>&1 || status=$?
    ((status == 0)) || { echo "FAIL: $name exited with $status" >&2; exit 1; }
    check_installed "$package" "$name"
  done
  "$bin/floor_copy" "$setup" "$offset" "$size" "$product_dir/vdq2.cok" > /dev/null
  check_installed "$package" floor

  echo "== $mib MiB: $rounds rounds"
  for ((round = 0; round < rounds; ++round)); do
    order=(setup nsis floor trivial)
    shift_by=$((round % 4))
    order=("${order[@]:shift_by}" "${order[@]:0:shift_by}")
    for name in "${order[@]}"; do
      reset_installation
      # The previous run's tail (the server's clean-up, the write-back of
      # what it wrote) must not land in the next one's figure.
      sleep 0.3
      case $name in
        setup) "$bin/run_measure" "$out/setup.txt" "$log/run.log" "$bench_wine" "$setup" modest
               check_installed "$package" setup ;;
        nsis) "$bin/run_measure" "$out/nsis.txt" "$log/run.log" "$bench_wine" "$nsis"
              check_installed "$package" nsis ;;
        floor) "$bin/run_measure" "$out/floor.txt" "$log/run.log" \
                 "$bin/floor_copy" "$setup" "$offset" "$size" "$product_dir/vdq2.cok"
               check_installed "$package" floor ;;
        trivial) "$bin/run_measure" "$out/trivial.txt" "$log/run.log" "$bench_wine" "$bin/trivial.exe" ;;
      esac
    done
    printf '\r   round %d/%d' $((round + 1)) "$rounds"
  done
  echo
  echo "$size" > "$out/package_size"
  stat -c %s "$setup" > "$out/setup_size"
done

"$bench_wine" --version > "$log/wine-version.txt" 2>&1 || true
python3 - "$raw/meta.json" <<EOF
import json, sys
json.dump({
    "kind": "$bench_kind",
    "machine": "$(bench_machine)",
    "date": "$(date -u '+%Y-%m-%d %H:%M UTC')",
    "wine": "$(head -n1 "$log/wine-version.txt")",
    "makensis": "$(makensis -VERSION 2>/dev/null)",
    "rounds": $rounds,
    "sizes_mib": [${sizes}],
    "load_before": "$load_before",
    "load_after": "$(cut -d' ' -f1-3 /proc/loadavg)",
    "other_wineservers": $other_servers,
}, open(sys.argv[1], "w"), indent=1)
EOF
python3 "$bench_src/scaling_report.py" "$raw" "$work/results.txt" "$work/results.json"
if ((!keep)); then
  for mib in "${package_mib[@]}"; do
    ((mib <= 2)) || rm -f "$work/$mib"/*.exe "$work/$mib/vdq2.cok"
  done
fi
