# Shared by bench/run_bench.sh and bench/run_scaling.sh (sourced): which kind
# of machine this is, and what the benchmarks run on it.
#
# A machine whose kernel runs 32-bit programs measures the 32-bit setup
# (build/win32) against an NSIS x86-unicode installer in a 32-bit prefix. A
# kernel started without its 32-bit support (ia32_emulation off: every 32-bit
# program, Debian's /usr/bin/wine among them, fails with "Exec format error")
# runs only Wine's 64-bit half: there the benchmarks measure the setup's
# 64-bit twin (build/win64, the same sources) against an NSIS amd64-unicode
# installer of the same job, in a 64-bit prefix. Every report says which.
#
# Sets: bench_bits (32 or 64), bench_kind (a sentence for the reports),
# bench_wine (the loader that runs a Windows program), bench_arch (WINEARCH),
# bench_build_default (the setup's build tree), bench_nsis_target (makensis's
# Target), bench_mingw (the C compiler prefix for the small Windows programs).

bench_detect_kind() {
  local said
  said=$(wine --version 2>&1 || true)
  if [[ "$said" == wine-* ]]; then
    bench_bits=32
    bench_wine=wine
    bench_arch=win32
    bench_build_default=build/win32
    bench_nsis_target=x86-unicode
    bench_mingw=i686-w64-mingw32
    bench_kind="32-bit: the setup (build/win32) against NSIS x86-unicode, in a 32-bit prefix"
  elif [[ -x /usr/lib/wine/wine64 ]] && /usr/lib/wine/wine64 --version > /dev/null 2>&1; then
    bench_bits=64
    bench_wine=/usr/lib/wine/wine64
    bench_arch=win64
    bench_build_default=build/win64
    bench_nsis_target=amd64-unicode
    bench_mingw=x86_64-w64-mingw32
    local why="its kernel runs no 32-bit programs"
    if [[ "$said" == *"wine32 is missing"* ]]; then
      why="32-bit Wine (wine32:i386) is not installed"
    elif [[ "$said" != *"Exec format error"* ]]; then
      why="32-bit Wine does not run: $(head -n1 <<<"$said")"
    fi
    bench_kind="64-bit ($why): the setup's 64-bit twin (build/win64) against NSIS amd64-unicode, in a 64-bit prefix"
    # Debian's wrappers (wineboot, reg) pick the 32-bit loader when they can.
    export WINELOADER=$bench_wine
  else
    echo "Wine runs neither 32- nor 64-bit programs here: $said" >&2
    return 1
  fi
  export WINEARCH=$bench_arch WINEDEBUG=-all
}

# Installs makensis when it is missing and we may.
bench_need_makensis() {
  local log=$1
  command -v makensis > /dev/null && return 0
  if [[ $(id -u) == 0 ]] && command -v apt-get > /dev/null; then
    echo "Installing nsis (makensis)"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends nsis \
      > "$log" 2>&1 || { cat "$log"; return 1; }
  else
    echo "makensis is missing: apt-get install nsis" >&2
    return 1
  fi
}

# The NSIS installer of the job for PACKAGE, for this kind of machine:
#   bench_make_nsis SOURCE_NSI PACKAGE OUTFILE LOG [more makensis -D...]
bench_make_nsis() {
  local script=$1 package=$2 out=$3 log=$4
  shift 4
  makensis -V2 "-DTARGET=$bench_nsis_target" "-DPACKAGE=$package" "-DOUTFILE=$out" "$@" "$script" \
    > "$log" 2>&1 || { cat "$log"; return 1; }
}

# A pristine prefix of this kind, made once under WORK; PREFIX becomes a fresh
# copy of it. One server for the run is started; bench_stop_server ends it.
#   bench_fresh_prefix WORK PREFIX LOGDIR
bench_fresh_prefix() {
  local work=$1 prefix=$2 log=$3
  local pristine="$work/prefix-pristine-$bench_arch"
  if [[ ! -f "$pristine/system.reg" ]]; then
    echo "== Making the $bench_arch Wine prefix (once)"
    rm -rf "$pristine"
    WINEPREFIX="$pristine" "$bench_wine" wineboot -i > "$log/wineboot.log" 2>&1
    WINEPREFIX="$pristine" wineserver -w
  fi
  export WINEPREFIX=$prefix
  # A server left from an interrupted run of ours would serve the old registry.
  wineserver -k > /dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
  cp -a "$pristine" "$WINEPREFIX"
  wineserver -p
}

bench_stop_server() {
  wineserver -k > /dev/null 2>&1 || true
}

# The machine, for the reports: "2 CPUs (AMD EPYC), 23.5 GiB".
bench_machine() {
  local cpu
  cpu=$(awk -F': ' '/^model name/ {print $2; exit}' /proc/cpuinfo)
  local memory
  memory=$(awk '/^MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo)
  local sha=""
  grep -qw sha_ni /proc/cpuinfo && sha=", SHA instructions"
  echo "$(nproc) CPUs ($cpu$sha), $memory"
}

bench_uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vespodar'

# The prepared installation both installers update: Vespodar.exe, uninst.exe
# (both the trivial program), COUNT data files of 0.5-16.5 KiB in folders of
# 50, deterministic so every run walks the same tree, and the Uninstall entry.
#   bench_prepare_installation PRODUCT_DIR COUNT TRIVIAL_EXE LOGDIR
bench_prepare_installation() {
  local product_dir=$1 count=$2 trivial=$3 log=$4
  python3 - "$product_dir" "$count" <<'PYTHON'
import os, sys
root, count = sys.argv[1], int(sys.argv[2])
for index in range(count):
    directory = os.path.join(root, "data", "set%02d" % (index // 50))
    os.makedirs(directory, exist_ok=True)
    size = 512 + (index * 2749) % 16384
    with open(os.path.join(directory, "item%04d.bin" % index), "wb") as f:
        f.write(bytes((index + i) & 0xFF for i in range(256)) * (size // 256) + b"\0" * (size % 256))
PYTHON
  cp "$trivial" "$product_dir/Vespodar.exe"
  cp "$trivial" "$product_dir/uninst.exe"
  "$bench_wine" reg add "$bench_uninstall_key" /v UninstallString \
    /d 'C:\Program Files\Vespodar\uninst.exe' /f > "$log/reg-add.log" 2>&1
}

# decode_split.exe, linked with the setup's own decoder and SHA-256 from the
# setup's build tree TREE: the very code, built with the very flags, that is
# inside the setup.
#   bench_link_decode_split TREE EXE
bench_link_decode_split() {
  local tree=$1 exe=$2
  "$bench_mingw-g++-win32" -O2 -std=c++20 -I"$root" -I"$tree/generated" \
    -I"$(sed -n 's/^VESPODAR_ZSTD_SOURCE:PATH=//p' "$tree/CMakeCache.txt")/lib" \
    -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_WIN32_WINNT=0x0501 -DWINVER=0x0501 \
    -ffunction-sections -fdata-sections -Wl,--gc-sections -static -s -flto -flto-partition=one \
    -fno-rtti -fno-exceptions -o "$exe" "$bench_src/decode_split.cpp" \
    -Wl,--start-group "$tree/install/libvespodar_encoding.a" "$tree/install/libvespodar_install.a" \
    "$tree/base/libvespodar_base.a" "$tree/libvespodar_zstd.a" -Wl,--end-group -ladvapi32
}
