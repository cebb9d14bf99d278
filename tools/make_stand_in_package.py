#!/usr/bin/env python3
"""Writes the stand-in for the product's content file vdq2.cok.

The real content file is the product's own data and is not kept in this
repository. The stand-in has the real file's size and the two header fields
the setup knows about: the signature "vdq" in bytes 0-2 and the version as a
16-bit little-endian number in bytes 5-6. Every other byte is a fixed
function of its position, so every build embeds the same bytes.
"""
import argparse
import hashlib
import struct

SIZE = 2_122_319


def stand_in(size: int, version: int) -> bytes:
    body = bytearray()
    counter = 0
    while len(body) < size:
        body += hashlib.sha256(b"vespodar stand-in %d" % counter).digest()
        counter += 1
    del body[size:]
    body[0:3] = b"vdq"
    body[3:5] = b"\x00\x00"
    body[5:7] = struct.pack("<H", version)
    return bytes(body)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("output")
    parser.add_argument("--size", type=int, default=SIZE)
    parser.add_argument("--version", type=int, default=1)
    args = parser.parse_args()
    with open(args.output, "wb") as out:
        out.write(stand_in(args.size, args.version))


if __name__ == "__main__":
    main()
