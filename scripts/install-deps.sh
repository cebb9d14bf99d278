#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine, and
# nothing when it is all there already.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

packages=(cmake g++ make python3 python3-pytest python3-pytest-xdist googletest libgtest-dev clang libssl-dev
          g++-mingw-w64-i686 binutils-mingw-w64-i686
          g++-mingw-w64-x86-64-win32 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          wine wine32:i386 wine64 xvfb xauth osslsigncode locales nsis
          imagemagick fonts-wine zstd libzstd-dev bsdiff dpkg-dev)
locales=(en_US.UTF-8 ru_RU.UTF-8 uk_UA.UTF-8)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done

# 32-bit Wine goes in on its own, after the rest: its i386 libraries must
# match the amd64 ones that the rest has just brought, version for version.
wine32=0 rest=()
for package in "${missing[@]}"; do
  if [[ $package == wine32:i386 ]]; then wine32=1; else rest+=("$package"); fi
done

# Where even the pins below cannot make apt install 32-bit Wine, an earlier
# run has already found out: the tests run the 64-bit twin, and every later
# run need not wait for the mirror again. (The answer is kept until apt's
# lists change.)
not_installable=/tmp/vespodar-wine32-not-installable
if ((wine32 && ${#rest[@]} == 0)) && [[ "$not_installable" -nt /var/lib/apt/lists ]]; then
  echo "install-deps.sh: 32-bit Wine is not installable here; the tests run the 64-bit twin" >&2
  wine32=0
  missing=()
fi

apt_install() { DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@"; }

# A mirror in the middle of a sync fails one index now and then: try again,
# and go on with what was fetched (the install itself says if a package is
# really missing).
install_retrying() {
  local attempt
  for attempt in 1 2 3; do
    apt_install "$@" && return 0
    [[ $attempt == 3 ]] && return 1
    sleep $((attempt * 10))
    apt-get update -q || true
  done
}

# Sets why and fails (1) where apt cannot resolve 32-bit Wine at all, or
# fails (2) where the install itself failed.
why=""
install_wine32() {
  local args=(wine32:i386) simulated=/tmp/vespodar-wine32-apt.txt pins
  if ! apt-get install -s -q --no-install-recommends wine32:i386 > "$simulated" 2>&1; then
    # Mostly a missing i386 index (the security suite's, failing its size
    # check while the mirror syncs): an amd64 library installed at a version
    # that i386 lacks blocks its twin. Those go to a version both have, and
    # the distribution's own suite, which the mirror carries for both, gives
    # the candidates of everything else.
    if ! pins=$(/usr/bin/python3 "$here/foreign_twin_pins.py" wine32:i386 2> "$simulated.pins"); then
      why=$(tail -1 "$simulated.pins")
      return 1
    fi
    sed 's/^/install-deps.sh: /' "$simulated.pins" >&2
    # shellcheck source=/dev/null
    . /etc/os-release
    # shellcheck disable=SC2206 # one pin a line, none with a space
    args=(-t "$VERSION_CODENAME" --allow-downgrades wine32:i386 $pins)
    if ! apt-get install -s -q --no-install-recommends "${args[@]}" > "$simulated" 2>&1; then
      why="apt cannot resolve it, even with its libraries at versions both architectures have:"
      why+=" $(grep '^E:' "$simulated" | tail -1 | sed 's/^E: //')"
      return 1
    fi
  fi
  install_retrying "${args[@]}" || { why="apt-get install failed three times"; return 2; }
}

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  # wine32 is an i386 package; the 64-bit machine must know that architecture.
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  # A failed index leaves the others usable: after the third try apt goes on
  # with what it has.
  for attempt in 1 2 3; do
    apt-get update -q && break
    if [[ $attempt == 3 ]]; then
      echo "apt-get update failed 3 times; going on with the lists it fetched" >&2
      break
    fi
    echo "apt-get update failed (attempt $attempt); trying again" >&2
    sleep $((attempt * 10))
  done
  ((${#rest[@]} == 0)) || install_retrying "${rest[@]}"
fi
if ((wine32)); then
  status=0
  install_wine32 || status=$?
  # The 32-bit Wine needs i386 libraries of exactly the amd64 versions; a
  # mirror that cannot give them leaves the tests the 64-bit twin (as on a
  # kernel without 32-bit support).
  if ((status)); then
    ((status == 1)) && touch "$not_installable"
    echo "install-deps.sh: 32-bit Wine not installed ($why); the Win32 and end-to-end tests run the 64-bit twin" >&2
  fi
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

# zstd's decoder is built from Debian's source package, for the setups that
# carry a compressed or delta package (cmake/zstd.cmake).
"$here/fetch-zstd.sh"
