#!/usr/bin/env bash
# Runs the end-to-end suite against a win32 build:
#   tests/e2e/run_e2e.sh BUILD_DIR [pytest arguments]
# BUILD_DIR holds VespodarUpdate.exe, package/vdq2.cok and tests/{Vespodar,
# scripted_user,no_rights}.exe. The whole suite runs under one Xvfb; its exit
# status is pytest's.
#
#   VESPODAR_E2E_JOBS     parallel workers (default 3; 1 runs in one process)
#   VESPODAR_PREFIX_CACHE pristine prefixes (default ~/.cache/vespodar-prefixes)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/lib.sh"
build=$(cd "${1:?usage: run_e2e.sh BUILD_DIR [pytest arguments]}" && pwd)
shift

for tool in wine wineserver wineboot xvfb-run xauth; do
  command -v "$tool" > /dev/null || { echo "run_e2e.sh: $tool is missing" >&2; exit 2; }
done
# Wine maps file names through the locale's character set: without a UTF-8
# locale generated on the host, Cyrillic names are invisible to Windows programs.
for locale in en_US.utf8 ru_RU.utf8; do
  locale -a | grep -qx "$locale" ||
    { echo "run_e2e.sh: locale $locale is not generated (localedef)" >&2; exit 2; }
done
# Debian's pytest belongs to Debian's python, whatever python3 comes first in PATH.
python=/usr/bin/python3
"$python" -c 'import pytest' 2> /dev/null ||
  { echo "run_e2e.sh: python3-pytest is missing" >&2; exit 2; }

jobs=${VESPODAR_E2E_JOBS:-3}
parallel=()
if [[ "$jobs" != 1 ]]; then
  if "$python" -c 'import xdist' 2> /dev/null; then
    parallel=(-n "$jobs")
  else
    echo "run_e2e.sh: python3-pytest-xdist is missing; running in one process" >&2
  fi
fi

export VESPODAR_BUILD_DIR=$build
export PYTHONDONTWRITEBYTECODE=1
exec "${display_run[@]}" "$python" -m pytest -c "$here/pytest.ini" --rootdir "$here" "$here" \
  "${parallel[@]}" --durations=10 "$@"
