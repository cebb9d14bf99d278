#!/usr/bin/env python3
"""Fails when an executable imports a function outside a reviewed list.

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
    exe, allowed_path = sys.argv[1], sys.argv[2]
    allowed = set()
    with open(allowed_path, encoding="utf-8") as listing:
        for line in listing:
            line = line.split("#", 1)[0].strip()
            if line:
                allowed.add(line.lower())
    found = imports(exe)
    outside = [item for item in found if item.lower() not in allowed]
    print(f"{len(found)} imports checked against {len(allowed)} allowed")
    for item in outside:
        print(f"not known on Windows XP SP3: {item}")
    return 1 if outside or not found else 0


if __name__ == "__main__":
    sys.exit(main())
