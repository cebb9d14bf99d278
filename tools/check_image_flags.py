#!/usr/bin/env python3
"""Checks the flags of the setup's image that Windows acts on at its start.

   check_image_flags.py EXE

DYNAMIC_BASE (ASLR), NX_COMPAT (DEP) and TERMINAL_SERVER_AWARE (no per-user
view of the Windows directory and the registry on a terminal server) must
all be set; a linker flag lost in a build change would otherwise go unseen.
"""
import struct
import sys

REQUIRED = {0x0040: "DYNAMIC_BASE", 0x0100: "NX_COMPAT", 0x8000: "TERMINAL_SERVER_AWARE"}


def dll_characteristics(image: bytes) -> int:
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE image")
    optional = pe + 24
    # The field stands at the same offset in PE32 and PE32+ headers.
    return struct.unpack_from("<H", image, optional + 70)[0]


def main():
    path = sys.argv[1]
    with open(path, "rb") as f:
        flags = dll_characteristics(f.read())
    missing = [name for bit, name in REQUIRED.items() if not flags & bit]
    if missing:
        print(f"{path}: DllCharacteristics 0x{flags:04x} lacks {', '.join(missing)}")
        return 1
    print(f"{path}: DllCharacteristics 0x{flags:04x}: {', '.join(REQUIRED.values())}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
