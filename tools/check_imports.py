#!/usr/bin/env python3
"""Fails when an executable imports a function outside a reviewed list.

    check_imports.py EXE OBJDUMP ALLOWED_LIST...

OBJDUMP is the MinGW objdump of the executable's own architecture (the 64-bit
twin's is not the 32-bit one); the allowed functions are those of every list.

The setup must start on Windows XP SP3: a single import that XP lacks (say
GetTickCount64, which the posix MinGW runtime brings in) makes the loader
refuse the whole program before it can show a word. The list holds functions
that XP SP3 is known to export; add to it only after checking the function's
minimum supported client.
"""
import sys

sys.path.insert(0, __file__.rsplit("/", 1)[0])
from list_imports import imports  # noqa: E402


def main() -> int:
    if len(sys.argv) < 4:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    exe, objdump, allowed_paths = sys.argv[1], sys.argv[2], sys.argv[3:]
    allowed = set()
    for allowed_path in allowed_paths:
        with open(allowed_path, encoding="utf-8") as listing:
            for line in listing:
                line = line.split("#", 1)[0].strip()
                if line:
                    allowed.add(line.lower())
    found = imports(exe, objdump)
    outside = [item for item in found if item.lower() not in allowed]
    print(f"{len(found)} imports checked against {len(allowed)} allowed")
    for item in outside:
        print(f"not known on Windows XP SP3: {item}")
    return 1 if outside or not found else 0


if __name__ == "__main__":
    sys.exit(main())
