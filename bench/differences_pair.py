#!/usr/bin/env python3
"""Two versions of a content file whose delta the build carries as the
differences from the old one: code-like bytes (repeated stretches and random
ones) in which one byte in about 330 moves by a little, as addresses do when
code moves, and 37 bytes inserted near the start.

    bench/differences_pair.py OLD NEW MIB
"""
import random
import sys


def main():
    old_path, new_path, mib = sys.argv[1], sys.argv[2], int(sys.argv[3])
    size = mib << 20
    rng = random.Random(5)
    chunk = rng.randbytes(1 << 16)
    old = bytearray()
    while len(old) < size:
        old += chunk[rng.randrange(0, 1 << 15):][: 1 << 14]
        old += rng.randbytes(4096)
    old = old[:size]
    new = bytearray(old)
    for i in range(1000, len(new) - 4, 300 + rng.randrange(0, 64)):
        new[i] = (new[i] + 1 + (i >> 20) % 5) & 0xFF
    new[5000:5000] = b"I" * 37
    with open(old_path, "wb") as f:
        f.write(old)
    with open(new_path, "wb") as f:
        f.write(new[:size])


if __name__ == "__main__":
    main()
