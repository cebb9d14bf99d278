#!/usr/bin/env python3
"""Checks that a setup built without the version guard carries none of it.

   check_guard_absent.py EXE SOURCE_ROOT

The guard is a library of its own that only a setup built with it links; a
setup built without it must carry neither the guard's box texts nor its
progress window. Each marker is looked for in the sources first, so that a marker
that no longer exists there cannot make the check pass by itself.
"""
import sys
from pathlib import Path

# (source file, text in the source, bytes the executable would hold)
MARKERS = [
    ("ui/messages.cpp", '" file installing is of older version',
     " file installing is of older version".encode("utf-8")),
    ("ui/progress_window.h", 'L"PlainWindow"', "PlainWindow".encode("utf-16-le")),
]


def main():
    exe, root = Path(sys.argv[1]), Path(sys.argv[2])
    image = exe.read_bytes()
    failed = False
    for source, text, carried in MARKERS:
        if text not in (root / source).read_text(encoding="utf-8"):
            print(f"marker gone from {source}: {text}")
            failed = True
        elif carried in image:
            print(f"{exe.name} carries guard code: {carried!r} (from {source})")
            failed = True
    if failed:
        return 1
    print(f"{exe.name}: no guard code")
    return 0


if __name__ == "__main__":
    sys.exit(main())
