#!/usr/bin/env bash
# Builds the update and runs it under Wine on a stand-in Vespodar
# installation, with a scripted user who answers Yes to both questions; then
# shows what a user and an administrator would see, with a picture of each
# box (build/demo/shots/box-NN.png).
#
#   scripts/demo.sh [--russian] [--win64]
set -euo pipefail
. "$(dirname "$0")/lib.sh"

locale=en_US.UTF-8 arch=win32 inside=0
for argument in "$@"; do
  case "$argument" in
    --russian) locale=ru_RU.UTF-8 ;;
    --win64) arch=win64 ;;
    --inside-display) inside=1 ;;
    *) echo "usage: scripts/demo.sh [--russian] [--win64]" >&2; exit 2 ;;
  esac
done

build="$root/build/win32"
demo="$root/build/demo"
((inside)) || "$root/scripts/install-deps.sh"
# A kernel without 32-bit support runs no 32-bit Wine program: there the demo
# runs the 64-bit build of the same sources (see scripts/test.sh), on 64-bit
# Windows, through Wine's 64-bit loader.
if [[ $(wine_bits) == 64 ]]; then
  ((inside)) || echo "This kernel runs no 32-bit programs: the demo runs the 64-bit build on 64-bit Windows."
  arch=win64 build="$root/build/win64"
  WINELOADER=$(wine_loader 64)
  export WINELOADER
  wine() { "$WINELOADER" "$@"; }
  wineboot() { "$WINELOADER" wineboot "$@"; }
  winepath() { "$WINELOADER" winepath "$@"; }
fi
export WINEPREFIX="$demo/prefix" WINEARCH=$arch WINEDEBUG=-all LC_ALL=$locale

# Wine's output goes to files: its background processes would hold a pipe
# open for as long as the wineserver lives.
run_demo() {
  echo "Making a $arch Windows prefix..."
  # One server for the whole run, started before anything else uses it.
  mkdir -p "$WINEPREFIX"
  wineserver -p 60
  wineboot -i > "$demo/wineboot.log" 2>&1
  # The pictures of the boxes: Wine's own Tahoma and Marlett (the close
  # button's glyph), which Wine does not find where Debian puts them, and a
  # virtual desktop, on which Wine draws the title bars that Xvfb's screen
  # (no window manager) lacks. It is the prefix's setting, so that the product
  # the setup starts through the desktop's shell opens on it too (with
  # `wine explorer /desktop=...` it opens elsewhere and is never in front).
  cp /usr/share/wine/fonts/{tahoma,tahomabd,marlett}.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f > "$demo/desktop.log" 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 800x600 /f >> "$demo/desktop.log" 2>&1
  # Only a new server makes the new desktop.
  wineserver -k || true
  wineserver -w || true
  wineserver -p 60

  local product="$WINEPREFIX/drive_c/Program Files/Vespodar"
  mkdir -p "$product/data"
  cp "$build/tests/Vespodar.exe" "$product/Vespodar.exe"
  cp "$build/tests/Vespodar.exe" "$product/uninst.exe"
  head -c 300000 /dev/urandom > "$product/data/maps.dat"
  echo "an older vdq2.cok" > "$product/vdq2.cok"
  printf 'log=%s\n' "$(winepath -w "$demo/product.log" 2>/dev/null)" > "$product/standin.ini"
  local view=/reg:32
  [[ $arch == win64 ]] && view=/reg:64
  wine reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vespodar' \
       /v UninstallString /d 'C:\Program Files\Vespodar\uninst.exe' /f $view > "$demo/reg.log" 2>&1

  echo "Running the setup; the scripted user answers Yes, Yes..."
  mkdir -p "$demo/shots"
  wine "$build/tests/scripted_user.exe" --answers yes,yes --settle 1500 \
       --log "$(winepath -w "$demo/boxes.jsonl")" --result "$(winepath -w "$demo/result.json")" \
       --shots "$(winepath -w "$demo/shots")" \
       -- "$(winepath -w "$build/VespodarUpdate.exe")" > "$demo/scripted_user.log" 2>&1 || true

  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vespodar' \
       /v EstimatedSize $view > "$demo/estimated_size.txt" 2>&1 || true
  cp "$product/vdq2.cok" "$demo/installed.cok"
  find "$product" -type f -printf '%s\n' | awk '{s+=$1} END {print int(s/1024)}' > "$demo/tree_kib.txt"
  # Let the stand-in go before the server does.
  wineserver -k || true
}

if ((inside)); then
  run_demo
  exit 0
fi

VESPODAR_SETUP_ONLY=1 VESPODAR_WIN64=$([[ $build == */win64 ]] && echo 1 || echo 0) "$root/scripts/build.sh"
rm -rf "$demo"
mkdir -p "$demo"
# Message boxes need a display; the script runs itself again inside one.
with_display "$0" "$@" --inside-display

/usr/bin/python3 "$root/scripts/demo_report.py" "$demo" "$build" "$root"
