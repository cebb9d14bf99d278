#!/usr/bin/env bash
# Builds the update for one content file of Vespodar, stamps it and, when a
# certificate is given, signs it; then checks the result.
#
#   scripts/build-update.sh CONTENT_FILE --title TITLE [options]
#
#   CONTENT_FILE          the file to install, named as it will be named in the
#                         product directory (e.g. vdq2.cok): its stem and
#                         extension become the resource name and type
#   --title TITLE         the content's title as the questions show it, UTF-8,
#                         e.g. '"Тарвелин" версии ' (the version follows it)
#   --version N           the version the file must carry; the build stops
#                         when the file's own version field says otherwise
#   --setup-version V     the executable's own version (a.b.c.d);
#                         default 1.0.0.N
#   --guard               turn the version guard on for this update
#   --compress            carry the file zstd-compressed (decoded on the way
#                         into the product directory)
#   --delta-from OLD      carry only the change from OLD, the file's previous
#                         version (a zstd patch, or the differences from OLD,
#                         whichever is smaller): it installs only where OLD is
#                         the installed file, and answers 1642 elsewhere
#   --with-full           with --delta-from: also the full, compressed update,
#                         in OUT/full, for the machines that do not have OLD
#   --out DIR             where the update lands (default build/update)
#   --sign-cert FILE      sign with this certificate (PEM or DER, or a chain
#                         whose first one signs); the setup accepts no other
#   --sign-key FILE       ... and this private key
#   --sign-pass TEXT      ... whose pass phrase this is
#   --sign-url URL        the URL shown in the signature's details
#   --timestamp URL       have the signature timestamped by this RFC 3161
#                         authority (signing only). Without a timestamp the
#                         signature stops being accepted once the signing
#                         certificate expires; with one, it stays good.
#
# The update lands as OUT/VespodarUpdate.exe and is checked; beside it
# OUT/VespodarUpdate.deploy.txt says what to type into a deployment tool
# (scripts/deploy-notes.sh: the marker's value names, the version and the
# SHA-256 to detect it by, the commands, the return codes), printed last.
set -euo pipefail
. "$(dirname "$0")/lib.sh"

fail() { echo "build-update: $*" >&2; exit 1; }

content="" title="" version="" setup_version="" guard=OFF out="$root/build/update"
cert="" key="" pass="" url="" timestamp="" encoding=stored old="" with_full=0
# What the full update beside a delta is built with: every option but those
# that make the delta, and its own place.
full_options=()
all=("$@")
for ((i = 0; i < ${#all[@]}; i++)); do
  case "${all[i]}" in
    --delta-from|--out) i=$((i + 1)) ;;
    --with-full) ;;
    *) full_options+=("${all[i]}") ;;
  esac
done
while (($#)); do
  case "$1" in
    --title) title=$2; shift 2 ;;
    --version) version=$2; shift 2 ;;
    --setup-version) setup_version=$2; shift 2 ;;
    --guard) guard=ON; shift ;;
    --compress) encoding=compressed; shift ;;
    --delta-from) encoding=delta old=$2; shift 2 ;;
    --with-full) with_full=1; shift ;;
    --out) out=$2; shift 2 ;;
    --sign-cert) cert=$2; shift 2 ;;
    --sign-key) key=$2; shift 2 ;;
    --sign-pass) pass=$2; shift 2 ;;
    --sign-url) url=$2; shift 2 ;;
    --timestamp) timestamp=$2; shift 2 ;;
    -h|--help) sed -n '2,38p' "$0"; exit 0 ;;
    -*) fail "unknown option $1" ;;
    *) [[ -z "$content" ]] || fail "one content file only"; content=$1; shift ;;
  esac
done

[[ -n "$content" ]] || fail "no content file given (see --help)"
((with_full == 0)) || [[ $encoding == delta ]] || fail "--with-full goes with --delta-from"
if [[ $encoding == delta ]]; then
  [[ -f "$old" && -s "$old" ]] || fail "--delta-from $old: the previous version must be a file, not empty"
fi
[[ -e "$content" ]] || fail "$content does not exist"
[[ -f "$content" ]] || fail "$content is not a file"
[[ -s "$content" ]] || fail "$content is empty"
[[ -n "$title" ]] || fail "no --title given"
if [[ -n "$cert" || -n "$key" ]]; then
  [[ -f "$cert" && -f "$key" ]] || fail "signing needs both --sign-cert and --sign-key, as files"
fi
[[ -z "$timestamp" || -n "$cert" ]] ||
  fail "--timestamp timestamps a signature: give --sign-cert and --sign-key too"
if [[ -n "$version" && ! "$version" =~ ^-?[0-9]+$ ]]; then
  fail "--version must be a whole number, not $version"
fi

content=$(cd "$(dirname "$content")" && pwd)/$(basename "$content")
file_name=$(basename "$content")
name=${file_name%.*}
type=${file_name##*.}
[[ "$name" != "$file_name" && -n "$name" && -n "$type" ]] ||
  fail "$file_name has no extension: the extension is the kind of the file (e.g. vdq2.cok)"
[[ "$name$type" =~ ^[A-Za-z0-9_]+$ ]] ||
  fail "$file_name: name and extension may hold only letters, digits and _"

# The largest package a setup can carry and still start: Windows maps the
# whole setup, package and all, into the process's address space before its
# first line runs. 32-bit: 1536 MiB; the 64-bit twin, for test machines only:
# 1900 MiB (what was tried: bench/README.md, "The largest package"). For a
# compressed package that is what it carries, checked once it is encoded; the
# file it decodes to may be of any size. A delta is decoded between two views
# of the address space, its base and the new file: each under the decoder's
# window (1 GiB on 32-bit, 2 GiB for the twin), both together within the
# 1536 MiB that a 32-bit setup can map.
limit_mib=1536 limit_what="a setup" window_mib=1024
[[ "${VESPODAR_WIN64:-0}" == 1 ]] && limit_mib=1900 limit_what="the 64-bit twin" window_mib=2048
size=$(stat -c %s "$content")
mib=$((1024 * 1024))
if [[ $encoding == stored ]] && ((size > limit_mib * mib)); then
  fail "$file_name is $((size / mib)) MiB ($size bytes): $limit_what can carry at most $limit_mib MiB ($((limit_mib * mib)) bytes), or Windows cannot start it; --compress carries it in less; nothing was built"
fi
if [[ $encoding == delta ]]; then
  old_size=$(stat -c %s "$old")
  if ((size >= window_mib * mib || old_size >= window_mib * mib)); then
    fail "a delta's old and new file must each be under $window_mib MiB ($((window_mib * mib)) bytes), the window $limit_what decodes through (old $old_size, new $size bytes); build the full update with --compress; nothing was built"
  fi
  if ((size + old_size > limit_mib * mib)); then
    fail "a delta's old and new file may hold at most $limit_mib MiB together ($((limit_mib * mib)) bytes; old $old_size, new $size bytes): $limit_what maps both while it decodes; build the full update with --compress; nothing was built"
  fi
fi

# What is missing is installed; a package that the machine cannot fetch (a
# mirror in the middle of a sync) stops nothing that this build does not need.
mkdir -p "$root/build"
"$root/scripts/install-deps.sh" > "$root/build/update-deps.log" 2>&1 ||
  echo "build-update: installing the dependencies failed (build/update-deps.log); going on with what is there" >&2

# VESPODAR_WIN64=1: a 64-bit update, for test machines that run no 32-bit
# programs (see scripts/test.sh).
preset=setup tree="$root/build/update-tree"
if [[ "${VESPODAR_WIN64:-0}" == 1 ]]; then
  preset=setup-win64 tree="$root/build/update-tree-64"
fi
mkdir -p "$tree"
printf '%s' "$title" > "$tree/title.txt"
carried=$content
configure() {
  (cd "$root" && cmake --preset "$preset" -B "$tree" \
        -DVESPODAR_PACKAGE_FILE="$carried" -DVESPODAR_PACKAGE_ENCODING="$encoding" \
        -DVESPODAR_PACKAGE_NAME="$name" -DVESPODAR_PACKAGE_TYPE="$type" \
        -DVESPODAR_PACKAGE_TITLE_FILE="$tree/title.txt" -DVESPODAR_PACKAGE_VERSION="$1" \
        -DVESPODAR_SETUP_VERSION="$2" -DVESPODAR_GUARD_VERSIONS="$guard") \
        > "$root/build/update-configure.log" 2>&1 || { cat "$root/build/update-configure.log"; fail "configure failed"; }
}

# The tool that reads the file's version is built in the same tree, first.
configure 0 1.0.0.0
cmake --build "$tree" --target stamp_tool > /dev/null
tool="$tree/host/update_tool"
if found=$("$tool" version "$type" "$content" 2> "$root/build/update-version.log"); then
  if [[ -n "$version" && "$found" != "$version" ]]; then
    fail "$file_name carries version $found, not $version"
  fi
  version=$found
elif [[ -z "$version" ]]; then
  fail "$file_name: $(cat "$root/build/update-version.log"); give the version with --version"
fi
# The setup records the version in the Uninstall entry as a REG_DWORD.
[[ "$version" =~ ^[0-9]{1,10}$ ]] && ((10#$version <= 4294967295)) ||
  fail "version $version does not fit the setup's marker (a REG_DWORD: 0 to 4294967295); nothing was built"

# An encoded package: the header and the zstd frame, made here from the
# content file (tools/encode_package.py), go into the setup instead.
if [[ $encoding != stored ]]; then
  carried="$tree/$file_name.$encoding"
  encode=(python3 "$root/tools/encode_package.py" "$content" "$carried")
  [[ $encoding == delta ]] && encode+=(--delta-from "$old")
  "${encode[@]}" || fail "$file_name could not be encoded"
  carried_size=$(stat -c %s "$carried")
  if ((carried_size > limit_mib * mib)); then
    fail "$file_name compressed is $((carried_size / mib)) MiB ($carried_size bytes): $limit_what can carry at most $limit_mib MiB ($((limit_mib * mib)) bytes), or Windows cannot start it; nothing was built"
  fi
  echo "package: $file_name, $size bytes, carried $encoding in $carried_size bytes" \
       "($((carried_size * 100 / size)) %; $((size - carried_size)) bytes saved)"
fi
configure "$version" "${setup_version:-1.0.0.$version}"
cmake --build "$tree" -j"$(nproc)" --target VespodarUpdate > "$root/build/update-build.log" 2>&1 ||
  { tail -30 "$root/build/update-build.log"; fail "build failed"; }

mkdir -p "$out"
target="$out/VespodarUpdate.exe"
notes="$out/VespodarUpdate.deploy.txt"
# The notes of an earlier update never stand beside this one.
rm -f "$notes"
if [[ -n "$cert" ]]; then
  # Stamped again, naming the signer certificate: the setup accepts its
  # signature from that certificate alone, chained to a trusted root or not.
  cp "$tree/VespodarUpdate.exe" "$target.unsigned"
  "$tool" stamp "$target.unsigned" "$cert" || fail "$cert: no certificate to name in the stamp"
  sign=(osslsigncode sign -certs "$cert" -key "$key" -n "Vespodar update" -h sha256
        -in "$target.unsigned" -out "$target.signing")
  [[ -n "$pass" ]] && sign+=(-pass "$pass")
  [[ -n "$url" ]] && sign+=(-i "$url")
  [[ -n "$timestamp" ]] && sign+=(-ts "$timestamp")
  rm -f "$target.signing"
  "${sign[@]}" > "$root/build/update-sign.log" 2>&1 || { cat "$root/build/update-sign.log"; fail "signing failed"; }
  rm -f "$target.unsigned"
  mv "$target.signing" "$target"
else
  cp "$tree/VespodarUpdate.exe" "$target"
fi

# The update must still be whole after signing: this is what the setup itself
# checks before it installs anything.
check=$("$tool" check "$target") || { echo "$check"; fail "$target is not intact"; }
echo "$check"
# The notes name the content file's SHA-256: it must be what the update carries.
[[ "$check" == *"sha256: $(sha256sum "$carried" | cut -d' ' -f1)"* ]] ||
  fail "$target does not carry $file_name as it is now (was it changed during the build?)"

"$root/scripts/deploy-notes.sh" "$target" "$content" "$version" "$notes"
echo
echo "What to type into a deployment tool ($notes):"
cat "$notes"

if ((with_full)); then
  echo
  echo "The full update, for machines without $(basename "$old"):"
  "$0" "${full_options[@]}" --compress --out "$out/full"
fi
