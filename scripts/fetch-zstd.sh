#!/usr/bin/env bash
# Fetches zstd's source as Debian ships it (the source package libzstd at the
# version cmake/zstd.pin names), checks it against its .dsc and unpacks it
# into build/deps/libzstd-<version>, where cmake/zstd.cmake builds its
# decoder. Nothing when it is there already.
#
# The machine's own apt sources stay as they are: apt runs on a
# configuration of its own whose one entry is a deb-src line for the
# machine's Debian mirror.
set -euo pipefail
. "$(dirname "$0")/lib.sh"

version=$(tr -d ' \n' < "$root/cmake/zstd.pin")
dest="$root/build/deps/libzstd-$version"
[[ -f "$dest/.unpacked" ]] && exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/download"
# The mirror the machine's own Debian entry names, and its suite.
. /etc/os-release
mirror=$(sed -n 's/^URIs: *\(http[^ ]*\/debian\)\/\?$/\1/p' /etc/apt/sources.list.d/debian.sources 2> /dev/null | head -1)
[[ -n "$mirror" ]] ||
  mirror=$(sed -n 's/^deb \(\[[^]]*\] \)\?\(http[^ ]*\/debian\)\/\? .*/\2/p' /etc/apt/sources.list 2> /dev/null | head -1)
mirror=${mirror:-http://deb.debian.org/debian}
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror $VERSION_CODENAME main" \
  > "$work/sources.list"
apt_options=(-o "Dir::Etc::SourceList=$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
             -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache" -q)
for attempt in 1 2 3; do
  if apt-get "${apt_options[@]}" update > "$work/update.log" 2>&1 &&
     (cd "$work/download" && apt-get "${apt_options[@]}" source --download-only "libzstd=$version") \
       > "$work/source.log" 2>&1; then
    break
  fi
  if [[ $attempt == 3 ]]; then
    cat "$work/update.log" "$work/source.log" >&2 || true
    echo "fetch-zstd.sh: libzstd $version could not be fetched from $mirror" >&2
    exit 1
  fi
  sleep $((attempt * 10))
done

# apt took the .dsc from the signed Sources index; every file it names must
# match the .dsc's own SHA-256 before anything is unpacked.
dsc="$work/download/libzstd_$version.dsc"
[[ -f "$dsc" ]] || { echo "fetch-zstd.sh: no $dsc" >&2; exit 1; }
checked=0
while read -r sum size file; do
  [[ -n "$file" ]] || continue
  echo "$sum  $work/download/$file" | sha256sum -c --quiet - ||
    { echo "fetch-zstd.sh: $file does not match its .dsc" >&2; exit 1; }
  [[ $(stat -c %s "$work/download/$file") == "$size" ]] ||
    { echo "fetch-zstd.sh: $file has not the .dsc's size" >&2; exit 1; }
  checked=$((checked + 1))
done < <(sed -n '/^Checksums-Sha256:/,/^[^ ]/{/^ /p}' "$dsc")
((checked >= 2)) || { echo "fetch-zstd.sh: the .dsc names no files" >&2; exit 1; }

rm -rf "$dest"
mkdir -p "$(dirname "$dest")"
# dpkg-source checks the same sums again and applies Debian's patches.
(cd "$work/download" && dpkg-source -q -x "$(basename "$dsc")" "$dest") > "$work/unpack.log" 2>&1 ||
  { cat "$work/unpack.log" >&2; exit 1; }
touch "$dest/.unpacked"
echo "libzstd $version: $dest"
