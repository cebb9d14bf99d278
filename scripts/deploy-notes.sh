#!/usr/bin/env bash
# Writes what an administrator types into a deployment tool for one built
# update: the detection rule on the marker the setup leaves in Vespodar's
# Uninstall entry, the requirement, the command lines, the return codes and
# the run time. One "key: value" a line, the keys fixed; lines beginning with
# "#" are comments. docs/deployment.md says which field of which tool each
# value goes into.
#
#   scripts/deploy-notes.sh SETUP CONTENT_FILE VERSION OUT_FILE
#
#   SETUP          the built update (VespodarUpdate.exe)
#   CONTENT_FILE   the file it installs, named as it is installed (vdq2.cok)
#   VERSION        the package's version, as the build read it from the file
#                  or was given it
#   OUT_FILE       where the notes go; written whole or not at all
#
# scripts/build-update.sh runs it once the update is built and checked.
set -euo pipefail
. "$(dirname "$0")/lib.sh"

fail() { echo "deploy-notes: $*" >&2; exit 1; }

case "${1:-}" in -h|--help) sed -n '2,17p' "$0"; exit 0 ;; esac
(($# == 4)) || fail "usage: deploy-notes.sh SETUP CONTENT_FILE VERSION OUT_FILE"
setup=$1 content=$2 version=$3 out_file=$4
[[ -f "$setup" ]] || fail "$setup is not a file"
[[ -f "$content" ]] || fail "$content is not a file"
# The setup records the version as a REG_DWORD.
[[ "$version" =~ ^[0-9]{1,10}$ ]] && ((10#$version <= 4294967295)) ||
  fail "version $version does not fit the marker (a REG_DWORD: 0 to 4294967295)"
version=$((10#$version))

# The product's name is its Uninstall entry's name; the setup's own table of
# exit codes is the one the return codes are read from.
product=$(sed -n 's/^#define VESPODAR_PRODUCT_NAME "\(.*\)"$/\1/p' "$root/base/product_identity.h")
[[ -n "$product" ]] || fail "no VESPODAR_PRODUCT_NAME in base/product_identity.h"
codes=$(sed -n 's/^[[:space:]]*VESPODAR_EXIT_CODE([[:space:]]*[A-Za-z0-9_]*[[:space:]]*,[[:space:]]*\([0-9]*\)[[:space:]]*,[[:space:]]*"\(.*\)")[[:space:]]*$/\1 \2/p' \
          "$root/setup/exit_codes.def")
[[ -n "$codes" ]] || fail "no VESPODAR_EXIT_CODE row in setup/exit_codes.def"

file_name=$(basename "$content")
size=$(stat -c %s "$content")
content_sha=$(sha256sum "$content" | cut -d' ' -f1)
setup_sha=$(sha256sum "$setup" | cut -d' ' -f1)
key="HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product"
key32="HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product"
# A few seconds of work, up to 15 more while a running product closes (10)
# and a held file is tried again (5), and the package read and written once:
# a second per 20 MiB bounds a slow disk.
seconds=$((5 + 15 + (size + 20 * 1024 * 1024 - 1) / (20 * 1024 * 1024)))

# Each code as the tools' return code tables read it: success first, then the
# ones they restart or retry for, then the failures in the table's order.
return_codes() {
  awk '{ code = $1; $1 = ""; text = substr($0, 2)
         type = code == 0 ? "success" : code == 3010 ? "soft reboot" : code == 1618 ? "retry" : "failed"
         rank = code == 0 ? 0 : code == 3010 ? 1 : code == 1618 ? 2 : 3
         printf "%d\t%d\treturn code %s: %s", rank, NR, code, type
         if (text != type) printf " (%s)", text
         printf "\n" }' <<< "$codes" |
    sort -t$'\t' -k1,1n -k2,2n | cut -f3-
}

{
  echo "# What a deployment tool needs for $(basename "$setup") ($file_name, version $version);"
  echo "# docs/deployment.md says where each value goes."
  echo "package file: $file_name"
  echo "package version: $version"
  echo "package size: $size bytes"
  echo "setup sha256: $setup_sha"
  echo "detection key: $key"
  echo "detection key 32-bit entry: $key32"
  echo "detection value name: $file_name version"
  echo "detection value type: REG_DWORD (integer)"
  echo "detection operator: integer greater than or equal to"
  echo "detection version: $version"
  echo "exact match value name: $file_name sha256"
  echo "exact match value type: REG_SZ (string)"
  echo "exact match operator: string equals"
  echo "exact match sha256: $content_sha"
  echo "requirement: the key $key exists (or, for a 32-bit entry, $key32), or $product.exe is in its directory"
  echo "install command: $(basename "$setup") /quiet /log=%windir%\\Logs\\$product\\update.log"
  echo "install command intune: $(basename "$setup") /quiet /log=%ProgramData%\\Microsoft\\IntuneManagementExtension\\Logs\\$(basename "$setup" .exe).log"
  echo "# The update has no uninstall of its own: this command does nothing and succeeds."
  echo "uninstall command: cmd.exe /c exit 0"
  echo "install as: System, whether or not a user is logged on"
  return_codes
  echo "expected run time: a few seconds; up to 15 more while a running $product closes and a held file is tried again; about a second more per 20 MiB of package on a slow disk (this package: at most $seconds seconds)"
  echo "maximum run time: 15 minutes"
} > "$out_file.writing"
mv "$out_file.writing" "$out_file"
