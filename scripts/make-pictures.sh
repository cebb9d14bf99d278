#!/usr/bin/env bash
# Makes the README's pictures of the setup's boxes anew: every box a user can
# meet, in English and in Russian, each from a real run of the built setup
# under Wine on a prepared stand-in installation.
#
#   scripts/make-pictures.sh [OUT_DIR]     (default docs/pictures)
set -euo pipefail
. "$(dirname "$0")/lib.sh"
out=${1:-$root/docs/pictures}

"$root/scripts/install-deps.sh"
VESPODAR_SETUP_ONLY=1 "$root/scripts/build.sh"
# A display of its own: another program's window over a box would be in its
# picture.
with_display /usr/bin/python3 "$root/tools/make_pictures.py" "$root/build/win32" "$out"
