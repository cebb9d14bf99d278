#!/usr/bin/env bash
# Measures the setup against the same job built with NSIS, under Wine:
#   - the whole silent run (wall time, peak memory), setup and NSIS installer
#     interleaved round by round on the same prepared installation, with one
#     warm wineserver;
#   - executable size minus package size;
#   - the size walk alone, inside the process, on trees of 1,000, 10,000 and
#     100,000 files: the setup's DirectorySizeKb, NSIS's ${GetSize} and a
#     native nftw walk of the same tree.
# Prints a table and writes build/bench/results.txt and results.json.
# On a machine whose kernel runs no 32-bit programs it measures the setup's
# 64-bit twin against a 64-bit NSIS installer instead, and says so
# (bench/common.sh).
#
#   bench/run_bench.sh [BUILD_DIR] [options]
#     BUILD_DIR                the setup's build (default build/win32, or
#                              build/win64 for the twin): it holds
#                              VespodarUpdate.exe, package/vdq2.cok and the
#                              libraries the walk driver links against
#     --rounds N               whole-run rounds (default 20)
#     --walk-rounds N          size-walk rounds of the setup and nftw (default 10)
#     --nsis-walk-rounds A,B,C ${GetSize} rounds at 1k,10k,100k files
#                              (default 5,3,3: ${GetSize} takes 20 s to a
#                              minute per 100,000 files)
#     --product-files N        data files in the prepared installation (default 600)
#     --sizes A,B,C            tree sizes of the size walk (default 1000,10000,100000)
#     --xvfb                   run under a virtual display (default: none, so
#                              Wine's X11 driver cost stays out of the figures)
#     --full                   more rounds: 50 whole runs, walks 20 and 10,5,5
# The default run takes about three minutes (the first one a little longer: it
# makes the Wine prefix and the trees); --full about eight.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
bench_src="$root/bench"
work="${BENCH_WORK_DIR:-$root/build/bench}"
# shellcheck source=common.sh
source "$bench_src/common.sh"
bench_detect_kind

build_dir="$root/$bench_build_default"
rounds=20
walk_rounds=10
nsis_walk_rounds="5,3,3"
product_files=600
sizes="1000,10000,100000"
use_xvfb=0
while (($#)); do
  case "$1" in
    --rounds) rounds=$2; shift 2 ;;
    --walk-rounds) walk_rounds=$2; shift 2 ;;
    --nsis-walk-rounds) nsis_walk_rounds=$2; shift 2 ;;
    --product-files) product_files=$2; shift 2 ;;
    --sizes) sizes=$2; shift 2 ;;
    --xvfb) use_xvfb=1; shift ;;
    --full) rounds=50; walk_rounds=20; nsis_walk_rounds="10,5,5"; shift ;;
    -h|--help) sed -n '2,31p' "$0"; exit 0 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) build_dir=$(cd "$1" && pwd); shift ;;
  esac
done
IFS=, read -r -a tree_sizes <<<"$sizes"
IFS=, read -r -a nsis_rounds_by_size <<<"$nsis_walk_rounds"

setup_exe="$build_dir/VespodarUpdate.exe"
package="$build_dir/package/vdq2.cok"
libraries=("$build_dir/discovery/libvespodar_discovery.a" "$build_dir/base/libvespodar_base.a")
for needed in "$setup_exe" "$package" "${libraries[@]}"; do
  [[ -f "$needed" ]] || { echo "missing $needed: build the setup first (scripts/build.sh)" >&2; exit 1; }
done

# Under the virtual display the script runs itself once more inside xvfb-run,
# so that the wineserver and every program share that display.
if ((use_xvfb)) && [[ -z "${BENCH_UNDER_XVFB:-}" ]]; then
  args=("$build_dir" --rounds "$rounds" --walk-rounds "$walk_rounds"
        --nsis-walk-rounds "$nsis_walk_rounds" --product-files "$product_files" --sizes "$sizes")
  BENCH_UNDER_XVFB=1 exec xvfb-run -a -s '-screen 0 1024x768x24' "$0" "${args[@]}" --xvfb
fi
((use_xvfb)) || unset DISPLAY

mkdir -p "$work"
bench_need_makensis "$work/nsis-install.log"
echo "== Measuring $bench_kind"

mkdir -p "$work/bin" "$work/trees"
bin="$work/bin"
raw="$work/raw"
rm -rf "$raw"
mkdir -p "$raw"
log="$work/log"
mkdir -p "$log"

echo "== Building the benchmark programs"
cc -O2 -Wall -Wextra -o "$bin/run_measure" "$bench_src/run_measure.c"
cc -O2 -Wall -Wextra -o "$bin/nftw_walk" "$bench_src/nftw_walk.c"
"$bench_mingw-gcc-win32" -Os -s -mwindows -o "$bin/trivial.exe" "$bench_src/trivial.c"
# The walk driver links the setup's own libraries from BUILD_DIR, so it runs
# the very code, built with the very flags, that is inside VespodarUpdate.exe
# (they hold link-time code, so this link optimises them as the setup's does).
"$bench_mingw-g++-win32" -O2 -std=c++20 -I"$root" -I"$build_dir/generated" \
  -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_WIN32_WINNT=0x0501 -DWINVER=0x0501 \
  -ffunction-sections -fdata-sections -Wl,--gc-sections -static -s -flto -flto-partition=one -fno-rtti \
  -o "$bin/size_walk_bench.exe" "$bench_src/size_walk_bench.cpp" \
  -Wl,--start-group "${libraries[@]}" -Wl,--end-group \
  -ladvapi32 -luser32 -lshell32 -lgdi32 -lcomctl32 -lversion
bench_make_nsis "$bench_src/vespodar.nsi" "$package" "$bin/VespodarNsis.exe" "$log/makensis.log"
makensis -V2 "-DTARGET=$bench_nsis_target" -DOUTFILE="$bin/NsisSizeWalk.exe" "$bench_src/nsis_size_walk.nsi" \
  > "$log/makensis-walk.log" 2>&1 || { cat "$log/makensis-walk.log"; exit 1; }
nsis_exe="$bin/VespodarNsis.exe"

# A pristine prefix is made once; every run starts from a fresh copy of it, so
# no run inherits another's registry or files. One server for the whole run;
# only ours is stopped at the end.
bench_fresh_prefix "$work" "$work/prefix-$bench_arch" "$log"
trap bench_stop_server EXIT

uninstall_key=$bench_uninstall_key
product_dir="$WINEPREFIX/drive_c/Program Files/Vespodar"

echo "== Preparing the installation ($product_files data files) and the trees"
bench_prepare_installation "$product_dir" "$product_files" "$bin/trivial.exe" "$log"
# The file the update replaces: an older, smaller version.
head -c 1500000 "$package" > "$work/old-vdq2.cok"
for size in "${tree_sizes[@]}"; do
  python3 "$bench_src/make_tree.py" "$work/trees/n$size" "$size"
done

# Windows path of a host path: Wine's Z: is the host's root.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

reset_installation() {
  cp "$work/old-vdq2.cok" "$product_dir/vdq2.cok"
}

# EstimatedSize as the registry holds it now, in decimal; empty when absent.
estimated_size() {
  "$bench_wine" reg query "$uninstall_key" /v EstimatedSize > "$log/reg-query.log" 2>&1 || true
  local hex
  hex=$(tr -d '\r' < "$log/reg-query.log" | awk '$1 == "EstimatedSize" {print $3}')
  [[ -n "$hex" ]] && printf '%d' "$hex"
}

expected_kib() {
  python3 - "$product_dir" <<'EOF'
import os, sys
total = 0
for base, dirs, files in os.walk(sys.argv[1]):
    total += sum(os.lstat(os.path.join(base, f)).st_size for f in files)
print(total // 1024)
EOF
}

# One run of an installer from the prepared state; the result line goes to
# the figures, the installer's own output to a log.
run_installer() {
  local name=$1 exe=$2
  shift 2
  reset_installation
  "$bin/run_measure" "$raw/whole_$name.txt" "$log/run-$name.log" "$bench_wine" "$exe" "$@"
}

check_installed() {
  local name=$1
  cmp -s "$package" "$product_dir/vdq2.cok" ||
    { echo "FAIL: $name did not install the package" >&2; exit 1; }
}

# Other Wine servers on the machine (other prefixes' tests) and the load
# average go with the figures: a busy machine slows the installer that makes
# more server round trips more, so the ratios move too.
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
other_servers=$(($(pgrep -c wineserver || true) - 1))

echo "== Warm-up and checks"
# The first start of each program pays for the loader's and the page cache's
# first touch; it is not timed. It checks the job instead: the package is
# written and EstimatedSize is the size of the whole tree.
for pair in "setup:$setup_exe:modest" "nsis:$nsis_exe:"; do
  IFS=: read -r name exe arg <<<"$pair"
  "$bench_wine" reg add "$uninstall_key" /v EstimatedSize /t REG_DWORD /d 0 /f > "$log/reg-add.log" 2>&1
  reset_installation
  status=0
  "$bench_wine" "$exe" $arg > "$log/warmup-$name.log" 2>&1 || status=$?
  ((status == 0)) || { echo "FAIL: $name exited with $status" >&2; exit 1; }
  check_installed "$name"
  got=$(estimated_size)
  want=$(expected_kib)
  [[ "$got" == "$want" ]] ||
    { echo "FAIL: $name recorded EstimatedSize '$got', the tree holds $want KiB" >&2; exit 1; }
  echo "   $name: exit 0, package written, EstimatedSize $got KiB"
done
"$bench_wine" "$bin/trivial.exe" > "$log/warmup-trivial.log" 2>&1

echo "== Whole silent run: $rounds rounds"
for ((round = 0; round < rounds; ++round)); do
  # The order turns each round, so no program always runs right after
  # another's file writes.
  order=(setup nsis trivial)
  shift_by=$((round % 3))
  order=("${order[@]:shift_by}" "${order[@]:0:shift_by}")
  for name in "${order[@]}"; do
    # A pause before each start: the previous process's tail (the server's
    # clean-up after its exit, the write-back of the 2 MB it wrote) otherwise
    # lands in the next one's figure, measured as a bimodal trivial run.
    sleep 0.2
    case $name in
      setup) run_installer setup "$setup_exe" modest; check_installed setup ;;
      nsis) run_installer nsis "$nsis_exe"; check_installed nsis ;;
      trivial) "$bin/run_measure" "$raw/whole_trivial.txt" "$log/run-trivial.log" "$bench_wine" "$bin/trivial.exe" ;;
    esac
  done
  printf '\r   round %d/%d' $((round + 1)) "$rounds"
done
echo

echo "== Size walk"
for index in "${!tree_sizes[@]}"; do
  size=${tree_sizes[$index]}
  tree="$work/trees/n$size"
  tree_win=$(winpath "$tree")
  nsis_rounds=${nsis_rounds_by_size[$index]:-1}
  # Untimed walks first: the host's caches hold the tree for all three.
  "$bin/nftw_walk" "$tree" 1 /dev/null
  "$bench_wine" "$bin/size_walk_bench.exe" "$tree_win" 1 'NUL' > "$log/walk.log" 2>&1
  max=$((walk_rounds > nsis_rounds ? walk_rounds : nsis_rounds))
  for ((round = 0; round < max; ++round)); do
    # One walk per process for the setup and NSIS: the installer walks once
    # per run, so a later walk in a process that has walked before would
    # flatter it.
    if ((round < walk_rounds)); then
      "$bench_wine" "$bin/size_walk_bench.exe" "$tree_win" 1 "$(winpath "$raw/walk_${size}_setup.txt")" \
        > "$log/walk.log" 2>&1
      "$bin/nftw_walk" "$tree" 1 "$raw/walk_${size}_nftw.txt"
    fi
    if ((round < nsis_rounds)); then
      rm -f "$raw/nsis-walk.out"
      "$bench_wine" "$bin/NsisSizeWalk.exe" "/DIR=$tree_win" "/OUT=$(winpath "$raw/nsis-walk.out")" \
        > "$log/walk-nsis.log" 2>&1
      tr -d '\r' < "$raw/nsis-walk.out" >> "$raw/walk_${size}_nsis.txt"
    fi
    printf '\r   %d files: round %d/%d' "$size" $((round + 1)) "$max"
  done
  echo
done

"$bench_wine" --version > "$log/wine-version.txt" 2>&1 || true
python3 - "$raw/meta.json" <<EOF
import json, sys
json.dump({
    "build_dir": "$build_dir",
    "setup_exe": "$setup_exe",
    "setup_size": $(stat -c %s "$setup_exe"),
    "nsis_size": $(stat -c %s "$nsis_exe"),
    "trivial_size": $(stat -c %s "$bin/trivial.exe"),
    "package_size": $(stat -c %s "$package"),
    "rounds": $rounds,
    "walk_rounds": $walk_rounds,
    "nsis_walk_rounds": "$nsis_walk_rounds",
    "product_files": $product_files,
    "sizes": [${sizes}],
    "display": "$( ((use_xvfb)) && echo xvfb || echo none)",
    "wine": "$(head -n1 "$log/wine-version.txt")",
    "makensis": "$(makensis -VERSION 2>/dev/null)",
    "cpus": $(nproc),
    "kind": "$bench_kind",
    "machine": "$(bench_machine)",
    "load_before": "$load_before",
    "load_after": "$(cut -d' ' -f1-3 /proc/loadavg)",
    "other_wineservers": $other_servers,
}, open(sys.argv[1], "w"), indent=1)
EOF
python3 "$bench_src/report.py" "$raw" "$work/results.txt" "$work/results.json"
