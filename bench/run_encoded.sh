#!/usr/bin/env bash
# Compressed and delta updates against the same job built with NSIS.
#
#   bench/run_encoded.sh [--only bytes|time] [--sizes MIB,...] [--rounds N]
#     --only bytes  bytes shipped, for real files in two versions each (a
#                   library, a data file, a tar of headers; Debian packages,
#                   fetched with apt-get download): the stored, compressed
#                   (--compress) and delta (--delta-from OLD) setups of
#                   scripts/build-update.sh against NSIS /SOLID lzma, xz -9
#                   and zstd -19 --patch-from. First run about 20 minutes
#                   (170 MB of packages; zstd, xz -9 and lzma of 270 MB),
#                   then a minute: what was built is kept.
#     --only time   install time and peak private memory for synthetic
#                   packages (bench/synthetic_versions.py) of each size: the
#                   compressed and the delta setup, the stored one, NSIS
#                   /SOLID lzma, the native floor (floor_copy of the decoded
#                   file) and a program that does nothing, interleaved round
#                   by round, each run from the old file; then the decoding's
#                   steps timed alone (bench/decode_split.cpp).
#                   Without --only: both.
#     --sizes LIST  package sizes in MiB for the install times (default 64,256, and
#                   1024 once its inputs are built: --sizes 64,256,1024 builds
#                   them). Building them the first time: 64 MiB about 3
#                   minutes, 256 MiB about 7, 1024 MiB about 25 (zstd -19 and
#                   lzma; 10 GB of disk); a round then takes about 6 s, 20 s
#                   and 80 s (NSIS's LZMA alone 4, 12 and 49 s), so a run
#                   with all three cached takes about 12 minutes.
#     --rounds N    rounds per size (default 5)
# Everything is built with scripts/build-update.sh under nice, on one core,
# and kept under build/bench-encoded (inputs rebuilt when the content, the
# setup's sources or bench/vespodar.nsi change). Figures go to
# build/bench-encoded/results.txt and results.json (bench/encoded_report.py),
# every run's raw line to build/bench-encoded/raw/.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
bench_src="$root/bench"
work="${BENCH_WORK_DIR:-$root/build/bench-encoded}"
# shellcheck source=common.sh
source "$bench_src/common.sh"
bench_detect_kind

only=both rounds=5 sizes=""
while (($#)); do
  case "$1" in
    --only) only=$2; shift 2 ;;
    --sizes) sizes=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    -h|--help) sed -n '2,/^set -e/{/^#/p}' "$0"; exit 0 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
done
[[ $only == bytes || $only == time || $only == both ]] || { echo "--only bytes or --only time" >&2; exit 2; }

content="$work/content" bin="$work/bin" log="$work/log" raw="$work/raw"
mkdir -p "$content" "$bin" "$log"
rm -rf "$raw"
mkdir -p "$raw"
bench_need_makensis "$log/nsis-install.log"
echo "== Measuring $bench_kind"
echo "   machine: $(bench_machine)"
cc -O2 -Wall -Wextra -o "$bin/run_measure" "$bench_src/run_measure.c"
cc -O2 -Wall -Wextra -o "$bin/floor_copy" "$bench_src/floor_copy.c" -lcrypto
"$bench_mingw-gcc-win32" -Os -s -mwindows -o "$bin/trivial.exe" "$bench_src/trivial.c"
# The split of an encoded package's time links the setup's own decoder and
# SHA-256 from the setup's build tree (VESPODAR_SETUP_ONLY=1 scripts/build.sh).
build_dir="$root/$bench_build_default" split=0
if [[ -f "$build_dir/install/libvespodar_encoding.a" ]]; then
  bench_link_decode_split "$build_dir" "$bin/decode_split.exe"
  split=1
else
  echo "   (no split of the decoding's time: $bench_build_default has no decoder; VESPODAR_SETUP_ONLY=1 scripts/build.sh)"
fi

# Heavy steps run on one core, at the lowest priority: the machine is shared.
heavy() { nice -n 19 taskset -c 0 "$@"; }

# What a built setup depends on besides its content: the sources outside
# bench/ and docs/, committed or not.
setup_sources=$(cd "$root" && {
  git log -1 --format=%H -- . ':!bench' ':!docs' ':!README.md'
  git diff HEAD -- . ':!bench' ':!docs' ':!README.md' | sha256sum
} | sha256sum | cut -c1-16)
win64=$([[ $bench_bits == 64 ]] && echo 1 || echo 0)

# fresh OUT KEY: true when OUT was built from KEY (then it is kept).
fresh() { [[ -f "$1" && -f "$1.key" && "$(cat "$1.key")" == "$2" ]]; }
identity() { stat -c '%n %s %Y' "$@"; }

# build_setup DIR NEW [build-update.sh options]: DIR/VespodarUpdate.exe and
# DIR/carried (the size of the package it carries), unless they are fresh.
build_setup() {
  local dir=$1 new=$2
  shift 2
  local key="$setup_sources $win64 $(identity "$new") $*"
  if (($#)) && [[ $1 == --delta-from ]]; then key+=" $(identity "$2")"; fi
  fresh "$dir/VespodarUpdate.exe" "$key" && return 0
  mkdir -p "$dir"
  rm -f "$dir/VespodarUpdate.exe"
  echo "   building $(basename "$dir") setup of $(basename "$(dirname "$dir")")"
  VESPODAR_WIN64=$win64 heavy "$root/scripts/build-update.sh" "$new" --title '"Тарвелин" версии ' \
    --version 1 "$@" --out "$dir" > "$dir/build.log" 2>&1 || { tail -20 "$dir/build.log"; exit 1; }
  # build-update.sh says what it carried for an encoded package.
  local carried
  carried=$(sed -n 's/^package: .*, carried [a-z]* in \([0-9]*\) bytes.*/\1/p' "$dir/build.log")
  echo "${carried:-$(stat -c %s "$new")}" > "$dir/carried"
  echo "$key" > "$dir/VespodarUpdate.exe.key"
}

build_nsis() {
  local out=$1 new=$2
  local key
  key="$(sha256sum < "$bench_src/vespodar.nsi") $(makensis -VERSION) $bench_nsis_target $(identity "$new")"
  fresh "$out" "$key" && return 0
  echo "   building NSIS /SOLID lzma installer of $(basename "$(dirname "$out")")"
  heavy makensis -V2 "-DTARGET=$bench_nsis_target" "-DPACKAGE=$new" "-DOUTFILE=$out" -DSOLID_LZMA \
    "$bench_src/vespodar.nsi" > "$log/makensis.log" 2>&1 || { cat "$log/makensis.log"; exit 1; }
  echo "$key" > "$out.key"
}

# --- the real content: two versions of three files ---------------------------
# kind|old package|old version|new package|new version|path in the package
pairs=(
  "library|libreoffice-core|4:7.4.7-1+deb12u13|libreoffice-core|4:7.4.7-1+deb12u14|usr/lib/libreoffice/program/libmergedlo.so"
  "data|openjdk-17-jre-headless|17.0.19+10-1~deb12u2|openjdk-17-jre-headless|17.0.21.1+2-1~deb12u1|usr/lib/jvm/java-17-openjdk-amd64/lib/modules"
  "text|linux-headers-6.1.0-50-common|6.1.176-1|linux-headers-6.1.0-57-common|6.1.192-3|usr/src"
)

# fetch_version KIND PACKAGE VERSION PATH OUT: the file PATH of PACKAGE at
# VERSION as OUT (for the headers: a tar of the tree under PATH).
fetch_version() {
  local kind=$1 package=$2 version=$3 path=$4 out=$5
  [[ -s "$out" ]] && return 0
  local debs="$content/debs" tmp="$content/tmp"
  mkdir -p "$debs"
  rm -rf "$tmp"
  mkdir -p "$tmp"
  # The .deb is found by its own fields, not by its file name.
  find_deb() {
    local candidate
    for candidate in "$debs/${package}_"*.deb; do
      [[ -f "$candidate" && "$(dpkg-deb -f "$candidate" Version)" == "$version" ]] &&
        { echo "$candidate"; return 0; }
    done
    return 1
  }
  local deb
  if ! deb=$(find_deb); then
    (cd "$debs" && apt-get download -q "$package=$version" > "$log/apt-download.log" 2>&1) ||
      { cat "$log/apt-download.log"; echo "apt-get download $package=$version failed" >&2; exit 1; }
    deb=$(find_deb) || { echo "apt-get download $package=$version left no such .deb" >&2; exit 1; }
  fi
  dpkg-deb -x "$deb" "$tmp"
  mkdir -p "$(dirname "$out")"
  if [[ $kind == text ]]; then
    # The whole header tree as one archive, under one name for both versions;
    # the files keep the package's dates and modes.
    local tree
    tree=$(ls -d "$tmp/$path"/linux-headers-*)
    tar -C "$tree" --sort=name --owner=0 --group=0 --numeric-owner --format=gnu \
      --transform 's,^\.,linux-headers,' -cf "$out.tmp" .
  else
    cp "$tmp/$path" "$out.tmp"
  fi
  mv "$out.tmp" "$out"
  rm -rf "$tmp"
}

prepare_real_content() {
  echo "== Real content (Debian packages, under $content)"
  for pair in "${pairs[@]}"; do
    IFS='|' read -r kind old_package old_version new_package new_version path <<<"$pair"
    fetch_version "$kind" "$old_package" "$old_version" "$path" "$content/$kind/old.bin"
    fetch_version "$kind" "$new_package" "$new_version" "$path" "$content/$kind/new/vdq2.cok"
    ! cmp -s "$content/$kind/old.bin" "$content/$kind/new/vdq2.cok" ||
      { echo "$kind: $old_version and $new_version carry the same file" >&2; exit 1; }
    printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$kind" "$old_package" "$old_version" "$new_package" "$new_version" "$path" \
      > "$content/$kind/source.tsv"
  done
}

# --- bytes shipped -------------------------------------------------------------
measure_bytes() {
  prepare_real_content
  echo "== Bytes shipped"
  mkdir -p "$raw/bytes"
  for pair in "${pairs[@]}"; do
    local kind=${pair%%|*}
    local dir="$content/$kind" new="$content/$kind/new/vdq2.cok" old="$content/$kind/old.bin"
    build_setup "$dir/stored" "$new"
    build_setup "$dir/compressed" "$new" --compress
    build_setup "$dir/delta" "$new" --delta-from "$old"
    build_nsis "$dir/nsis-lzma.exe" "$new"
    if ! fresh "$dir/new.xz" "$(identity "$new")"; then
      echo "   xz -9 of $kind"
      heavy xz -9 -T1 -c "$new" > "$dir/new.xz"
      identity "$new" > "$dir/new.xz.key"
    fi
    if ! fresh "$dir/patch.zst" "$(identity "$new" "$old")"; then
      echo "   zstd -19 --patch-from of $kind"
      heavy zstd -q -19 --single-thread -f --patch-from="$old" "$new" -o "$dir/patch.zst"
      identity "$new" "$old" > "$dir/patch.zst.key"
    fi
    {
      printf 'source\t%s\n' "$(cat "$dir/source.tsv")"
      printf 'old\t%s\n' "$(stat -c %s "$old")"
      printf 'new\t%s\n' "$(stat -c %s "$new")"
      for kind_of in stored compressed delta; do
        printf '%s\t%s\n' "$kind_of" "$(stat -c %s "$dir/$kind_of/VespodarUpdate.exe")"
        printf '%s_carried\t%s\n' "$kind_of" "$(cat "$dir/$kind_of/carried")"
      done
      printf 'nsis_lzma\t%s\n' "$(stat -c %s "$dir/nsis-lzma.exe")"
      printf 'xz9\t%s\n' "$(stat -c %s "$dir/new.xz")"
      printf 'patch_from\t%s\n' "$(stat -c %s "$dir/patch.zst")"
    } > "$raw/bytes/$kind.tsv"
    echo "   $kind: $(tr '\n\t' '  ' < "$raw/bytes/$kind.tsv" | cut -d' ' -f8-)"
  done
}

# --- install time and peak private memory ----------------------------------
synthetic="$work/synthetic"
size_cached() {
  local d="$synthetic/$1"
  [[ -f "$d/compressed/VespodarUpdate.exe.key" && -f "$d/delta/VespodarUpdate.exe.key" &&
     -f "$d/nsis-lzma.exe.key" && -f "$d/stored/VespodarUpdate.exe.key" ]]
}

prepare_size() {
  local mib=$1
  local dir="$synthetic/$mib"
  local new="$dir/new/vdq2.cok" old="$dir/old.bin"
  mkdir -p "$dir/new"
  if [[ ! -s "$new" || ! -s "$old" ]]; then
    echo "   making the $mib MiB versions"
    heavy python3 "$bench_src/synthetic_versions.py" "$new" "$old" "$mib" \
      "$content/library/new/vdq2.cok" "$content/data/new/vdq2.cok" "$content/text/new/vdq2.cok" \
      > "$dir/versions.txt"
  fi
  build_setup "$dir/stored" "$new"
  build_setup "$dir/compressed" "$new" --compress
  build_setup "$dir/delta" "$new" --delta-from "$old"
  build_nsis "$dir/nsis-lzma.exe" "$new"
}

measure_time() {
  if [[ -z "$sizes" ]]; then
    sizes="64,256"
    size_cached 1024 && sizes+=",1024"
  fi
  IFS=, read -r -a package_mib <<<"$sizes"
  prepare_real_content
  echo "== Packages of ${sizes} MiB and their setups"
  for mib in "${package_mib[@]}"; do prepare_size "$mib"; done

  bench_fresh_prefix "$work" "$work/prefix-$bench_arch" "$log"
  trap bench_stop_server EXIT
  local product_dir="$WINEPREFIX/drive_c/Program Files/Vespodar"
  bench_prepare_installation "$product_dir" 600 "$bin/trivial.exe" "$log"
  load_before=$(cut -d' ' -f1-3 /proc/loadavg)
  other_servers=$(($(pgrep -c wineserver || true) - 1))

  for mib in "${package_mib[@]}"; do
    local dir="$synthetic/$mib"
    local new="$dir/new/vdq2.cok" old="$dir/old.bin" out="$raw/time/$mib"
    local size
    size=$(stat -c %s "$new")
    mkdir -p "$out"
    # Every run starts from the old file; the copy's pages are on disk before
    # the run, so its write-back lands in no figure.
    reset() { cp "$old" "$product_dir/vdq2.cok"; sync "$product_dir/vdq2.cok"; }
    installed() { cmp -s "$new" "$product_dir/vdq2.cok"; }
    run_one() {  # NAME: one measured run, its result appended to OUT/NAME.txt
      local name=$1
      case $name in
        compressed|delta|stored)
          "$bin/run_measure" --anon "$out/$name.txt" "$log/run.log" "$bench_wine" "$dir/$name/VespodarUpdate.exe" modest ;;
        nsis) "$bin/run_measure" --anon "$out/nsis.txt" "$log/run.log" "$bench_wine" "$dir/nsis-lzma.exe" ;;
        floor) "$bin/run_measure" --anon "$out/floor.txt" "$log/run.log" \
                 "$bin/floor_copy" "$new" 0 "$size" "$product_dir/vdq2.cok" ;;
        trivial) "$bin/run_measure" --anon "$out/trivial.txt" "$log/run.log" "$bench_wine" "$bin/trivial.exe" ;;
      esac
    }
    echo "== $mib MiB: warm-up and checks"
    local names=() name
    for name in compressed delta stored nsis floor; do
      reset
      run_one "$name"
      local status
      status=$(tail -n1 "$out/$name.txt" | cut -d' ' -f3)
      rm -f "$out/$name.txt"
      if [[ $status != 0 ]] || ! installed; then
        # A setup that fails is reported, not measured; the others go on.
        echo "   $name: exit $status, package $(installed && echo installed || echo NOT installed)" |
          tee "$out/$name.failed"
        continue
      fi
      names+=("$name")
    done
    names+=(trivial)
    echo "== $mib MiB: $rounds rounds of ${names[*]}"
    local round
    for ((round = 0; round < rounds; ++round)); do
      local shift_by=$((round % ${#names[@]}))
      local order=("${names[@]:shift_by}" "${names[@]:0:shift_by}")
      for name in "${order[@]}"; do
        reset
        # The previous run's tail (the server's clean-up) stays out of this one.
        sleep 0.3
        run_one "$name"
        [[ $name == trivial ]] || installed ||
          { echo "FAIL: $name did not install the package in round $round" >&2; exit 1; }
      done
      printf '\r   round %d/%d' $((round + 1)) "$rounds"
    done
    echo
    if ((split)); then
      echo "== $mib MiB: where the time goes (decode_split, 3 runs each)"
      for name in compressed delta; do
        [[ -f "$out/$name.failed" ]] && continue
        local package="$dir/$name/package.bin" base=()
        [[ $name == delta ]] && base=("Z:$old")
        if ! fresh "$package" "$(identity "$dir/$name/VespodarUpdate.exe")"; then
          python3 "$bench_src/carried_package.py" "$dir/$name/VespodarUpdate.exe" "$size" \
            "$(cat "$dir/$name/carried")" "$package"
          identity "$dir/$name/VespodarUpdate.exe" > "$package.key"
        fi
        for ((round = 0; round < 3; ++round)); do
          cat "$package" "$new" "${base[@]/#Z:/}" > /dev/null
          "$bench_wine" "$bin/decode_split.exe" "Z:$package" "Z:$new" "Z:$work/split-target.bin" \
            "Z:$out/split-$name.txt" "${base[@]}" >> "$log/split.log" 2>&1 ||
            echo "   decode_split of $name exited with $?" | tee -a "$out/split-$name.failed"
        done
      done
    fi
    printf 'new\t%s\nold\t%s\n' "$size" "$(stat -c %s "$old")" > "$out/sizes.tsv"
    for name in stored compressed delta; do
      printf '%s\t%s\n%s_carried\t%s\n' "$name" "$(stat -c %s "$dir/$name/VespodarUpdate.exe")" \
        "$name" "$(cat "$dir/$name/carried")" >> "$out/sizes.tsv"
    done
    printf 'nsis_lzma\t%s\n' "$(stat -c %s "$dir/nsis-lzma.exe")" >> "$out/sizes.tsv"
    cp "$dir/versions.txt" "$out/versions.txt"
  done
  load_after=$(cut -d' ' -f1-3 /proc/loadavg)
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg) load_after="" other_servers=0
[[ $only == time ]] || measure_bytes
[[ $only == bytes ]] || measure_time
"$bench_wine" --version > "$log/wine-version.txt" 2>&1 || true
python3 - "$raw/meta.json" <<EOF
import json, sys
json.dump({
    "kind": "$bench_kind",
    "machine": "$(bench_machine)",
    "debian": "$(cat /etc/debian_version)",
    "date": "$(date -u '+%Y-%m-%d %H:%M UTC')",
    "wine": "$(head -n1 "$log/wine-version.txt")",
    "makensis": "$(makensis -VERSION 2>/dev/null)",
    "zstd": "$(zstd --version | sed 's/.* v\([0-9.]*\).*/\1/')",
    "xz": "$(xz --version | head -n1 | awk '{print $NF}')",
    "rounds": $rounds,
    "load_before": "$load_before",
    "load_after": "${load_after:-$(cut -d' ' -f1-3 /proc/loadavg)}",
    "other_wineservers": $other_servers,
}, open(sys.argv[1], "w"), indent=1)
EOF
python3 "$bench_src/encoded_report.py" "$raw" "$work/results.txt" "$work/results.json"
