#!/usr/bin/env python3
"""Finds by trying the largest image that Windows (here: Wine) starts: writes
a copy of a small program with one more section of the given size, of
initialised read-only data that nothing reads, as a package would be. The
file is sparse, so even a few GiB cost no disk; the section is page-aligned in
the file, so the loader maps it instead of reading it.

Usage: image_limit.py PROGRAM.exe OUT.exe MIB [unaligned]
Then run OUT.exe: exit 0 means an image of that size starts. With
"unaligned" the section starts 512 bytes past a page boundary of the file,
as a linker lays sections out: Wine then reads it whole at the start."""
import os
import struct
import sys


def main() -> int:
    if len(sys.argv) not in (4, 5):
        print(__doc__, file=sys.stderr)
        return 2
    if len(sys.argv) == 5 and sys.argv[4] == "unaligned":
        sys.argv.pop()
        unaligned = 512
    else:
        unaligned = 0
    source, target, mib = sys.argv[1], sys.argv[2], int(sys.argv[3])
    image = bytearray(open(source, "rb").read())
    pe = struct.unpack_from("<I", image, 60)[0]
    count, optional_size = struct.unpack_from("<H", image, pe + 6)[0], struct.unpack_from("<H", image, pe + 20)[0]
    optional = pe + 24
    table = optional + optional_size
    section_alignment, file_alignment = struct.unpack_from("<II", image, optional + 32)
    headers_size = struct.unpack_from("<I", image, optional + 60)[0]
    if table + 40 * (count + 1) > headers_size:
        sys.exit("no room for one more section header")
    last_end = max(struct.unpack_from("<I", image, table + 40 * i + 12)[0] +
                   struct.unpack_from("<I", image, table + 40 * i + 8)[0] for i in range(count))
    address = (last_end + section_alignment - 1) // section_alignment * section_alignment
    size = mib * 1024 * 1024
    raw = (len(image) + 4095) // 4096 * 4096 + unaligned
    header = struct.pack("<8sIIIIIIHHI", b".pkg", size, address, size, raw, 0, 0, 0, 0,
                         0x40000040)  # initialised data, readable
    image[table + 40 * count:table + 40 * (count + 1)] = header
    struct.pack_into("<H", image, pe + 6, count + 1)
    struct.pack_into("<I", image, optional + 56, address + size)  # SizeOfImage
    with open(target, "wb") as out:
        out.write(image)
        out.truncate(raw + size)
    os.chmod(target, 0o755)
    return 0


if __name__ == "__main__":
    sys.exit(main())
