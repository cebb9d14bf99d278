#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine, and
# nothing when it is all there already.
set -euo pipefail

packages=(cmake g++ make python3 python3-pytest python3-pytest-xdist googletest libgtest-dev clang libssl-dev
          g++-mingw-w64-i686 binutils-mingw-w64-i686
          g++-mingw-w64-x86-64-win32 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          wine wine32:i386 wine64 xvfb xauth osslsigncode locales nsis
          imagemagick fonts-wine)
locales=(en_US.UTF-8 ru_RU.UTF-8 uk_UA.UTF-8)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done

# Where 32-bit Wine alone is missing and apt (with the lists it has) still
# cannot install it, an earlier run has already tried: the tests run the
# 64-bit twin, and every later run need not wait for the mirror again.
# (The answer is kept until apt's lists change: asking apt takes seconds.)
not_installable=/tmp/vespodar-wine32-not-installable
if [[ "${missing[*]}" == wine32:i386 ]]; then
  if [[ "$not_installable" -nt /var/lib/apt/lists ]] ||
     ! apt-get install -s -q wine32:i386 > /dev/null 2>&1; then
    touch "$not_installable"
    echo "install-deps.sh: 32-bit Wine is not installable here; the tests run the 64-bit twin" >&2
    missing=()
  fi
fi

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  # wine32 is an i386 package; the 64-bit machine must know that architecture.
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  # A mirror in the middle of a sync fails one index now and then: try again,
  # and go on with what was fetched (the install itself says if a package is
  # really missing).
  for attempt in 1 2 3; do
    apt-get update -q && break
    echo "apt-get update failed (attempt $attempt); trying again" >&2
    sleep $((attempt * 10))
  done
  for attempt in 1 2 3; do
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" && break
    if [[ $attempt == 3 ]]; then
      # The 32-bit Wine needs i386 libraries of exactly the amd64 versions; a
      # mirror whose i386 index lags behind cannot give them. The tests can
      # still run the 64-bit twin (as on a kernel without 32-bit support).
      [[ " ${missing[*]} " == *" wine32:i386 "* ]] || exit 1
      echo "install-deps.sh: 32-bit Wine cannot be installed from this mirror now;" \
           "the Win32 and end-to-end tests will run the 64-bit twin" >&2
      rest=()
      for package in "${missing[@]}"; do [[ $package == wine32:i386 ]] || rest+=("$package"); done
      DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${rest[@]}"
      break
    fi
    sleep $((attempt * 10))
    apt-get update -q || true
  done
fi

# Wine maps file names through the locale's character set: a locale that is
# not generated makes every non-ASCII file name invisible to the program.
have=$(locale -a 2>/dev/null | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')
generate=0
for name in "${locales[@]}"; do
  short=$(echo "$name" | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')
  if ! grep -qx "$short" <<<"$have"; then
    sed -i "s/^# *\(${name} UTF-8\)/\1/" /etc/locale.gen
    grep -q "^${name} UTF-8" /etc/locale.gen || echo "${name} UTF-8" >> /etc/locale.gen
    generate=1
  fi
done
if ((generate)); then locale-gen; fi
