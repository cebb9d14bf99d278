# What the scripts share; sourced, never run:  . "$(dirname "$0")/lib.sh"
#
#   root               the repository's root
#   wine_bits          32 where this machine runs 32-bit Windows programs
#                      under Wine, else 64
#   wine_loader BITS   the loader that starts the programs of that machine
#   with_display CMD   runs CMD under a virtual display of its own
#                      ("${display_run[@]}" for exec)

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# A kernel can be started with its 32-bit support off (ia32_emulation=off):
# there every 32-bit Wine program fails with "Exec format error". And a mirror
# whose i386 packages lag behind the amd64 ones can leave 32-bit Wine (wine32)
# uninstalled. Either way the tests and the demo run the 64-bit build.
wine_bits() {
  if [[ ! -x /usr/lib/wine/wine ]] || [[ $(wine --version 2>&1) == *"Exec format error"* ]]; then
    echo 64
  else
    echo 32
  fi
}

# Debian's "wine" always picks the 32-bit loader when it is installed: a
# machine without 32-bit programs needs the 64-bit one by name.
wine_loader() {
  if [[ $1 == 64 ]]; then echo /usr/lib/wine/wine64; else echo wine; fi
}

# Message boxes need a display: without one MessageBox fails at once. -a
# picks a free display number, so that runs side by side do not meet.
display_run=(xvfb-run -a -s '-screen 0 1024x768x24')
with_display() { "${display_run[@]}" "$@"; }
