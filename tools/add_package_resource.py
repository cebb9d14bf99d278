#!/usr/bin/env python3
"""Appends the package to a compiled resource file (.res) as one resource of a
named type, the way windres stores `NAME TYPE "FILE"` from a resource script.

The resource script cannot say it for every package: windres reads a type or
name that begins with a digit ("3bs") as a number and stops. Here both are
always strings, upper-cased as windres stores them (FindResource compares
them without regard to case).

Usage: add_package_resource.py IN.res NAME TYPE LANGUAGE PACKAGE OUT.res
LANGUAGE is the resource's language id, e.g. 0x0419.
"""
import os
import struct
import sys

# MOVEABLE | PURE | DISCARDABLE: what windres gives a user-defined resource.
MEMORY_FLAGS = 0x1030


def resource_id(text: str) -> bytes:
    return text.upper().encode("utf-16-le") + b"\0\0"


def pad4(data: bytes) -> bytes:
    return data + b"\0" * (-len(data) % 4)


def entry(name: str, kind: str, language: int, data: bytes) -> bytes:
    names = pad4(resource_id(kind) + resource_id(name))
    tail = struct.pack("<IHHII", 0, MEMORY_FLAGS, language, 0, 0)
    header = struct.pack("<II", len(data), 8 + len(names) + len(tail)) + names + tail
    return header + pad4(data)


def main() -> int:
    if len(sys.argv) != 7:
        print(__doc__, file=sys.stderr)
        return 2
    source, name, kind, language, package, target = sys.argv[1:]
    for label, text in (("name", name), ("type", kind)):
        if not text or not all(c.isascii() and (c.isalnum() or c == "_") for c in text):
            print(f"add_package_resource: the {label} {text!r} must be letters, digits and _",
                  file=sys.stderr)
            return 2
    with open(source, "rb") as f:
        compiled = f.read()
    with open(package, "rb") as f:
        data = f.read()
    # A .res file is a sequence of DWORD-aligned entries.
    compiled = pad4(compiled)
    with open(target + ".part", "wb") as f:
        f.write(compiled + entry(name, kind, int(language, 0), data))
    os.replace(target + ".part", target)
    return 0


if __name__ == "__main__":
    sys.exit(main())
