#!/usr/bin/env python3
"""Checks the integrity stamp of a real built setup, region by region.

Flips one byte in each region the stamp covers (DOS header, PE headers,
section table, every section, the package resource, the last byte) and checks
that the copy is no longer intact; changes the PE checksum field, which the
stamp leaves out as Authenticode does, and checks that it still is; appends a
byte and checks that it is not. Usage: check_stamp_regions.py STAMP_TOOL EXE
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile


def intact(tool: str, path: str) -> bool:
    return subprocess.run([tool, "check", path], stdout=subprocess.DEVNULL).returncode == 0


def main() -> int:
    tool, exe = sys.argv[1], sys.argv[2]
    data = bytearray(open(exe, "rb").read())
    pe = struct.unpack_from("<I", data, 60)[0]
    sections, optional_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    table = pe + 24 + optional_size
    checksum = pe + 24 + 64
    flips = {"DOS header": 2, "PE signature": pe + 1, "COFF header": pe + 8,
             "entry point": pe + 24 + 16, "section table": table + 12, "last byte": len(data) - 1}
    for i in range(sections):
        name = bytes(data[table + 40 * i: table + 40 * i + 8]).rstrip(b"\0").decode()
        size, raw = struct.unpack_from("<II", data, table + 40 * i + 16)
        if size and name != ".vdstamp":
            flips[f"section {name} start"] = raw
            flips[f"section {name} middle"] = raw + size // 2
    failures = []
    with tempfile.TemporaryDirectory() as scratch:
        copy = os.path.join(scratch, "setup.exe")
        shutil.copy(exe, copy)
        if not intact(tool, copy):
            failures.append("the built setup itself is not intact")
        for region, offset in sorted(flips.items()):
            changed = bytearray(data)
            changed[offset] ^= 0x01
            open(copy, "wb").write(changed)
            if intact(tool, copy):
                failures.append(f"a byte flipped in {region} (offset {offset:#x}) went unnoticed")
        changed = bytearray(data)
        struct.pack_into("<I", changed, checksum, 0xDEADBEEF)
        open(copy, "wb").write(changed)
        if not intact(tool, copy):
            failures.append("a changed PE checksum made the setup not intact")
        open(copy, "wb").write(data + b"\0")
        if intact(tool, copy):
            failures.append("a byte appended at the end went unnoticed")
    for failure in failures:
        print(failure)
    print(f"{len(flips) + 2 - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
