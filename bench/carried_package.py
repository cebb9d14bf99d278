#!/usr/bin/env python3
"""Copies the encoded package a setup carries (its header and zstd frame) out
of the setup's file, for bench/decode_split.cpp to decode outside the setup.

  carried_package.py SETUP DECODED_SIZE CARRIED_SIZE OUT

The package is the one whose header (install/package_encoding.h) names
DECODED_SIZE; CARRIED_SIZE is what build-update.sh said it carried."""
import mmap
import struct
import sys

MAGIC = b"VdPkZstd"


def main() -> int:
    if len(sys.argv) != 5:
        print(__doc__, file=sys.stderr)
        return 2
    setup, decoded, carried, out = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
    with open(setup, "rb") as f, mmap.mmap(f.fileno(), 0, access=mmap.ACCESS_READ) as image:
        # The magic stands in the decoder's code too: the package is the one
        # with a header that names the decoded size.
        at = image.find(MAGIC)
        while at >= 0:
            if struct.unpack_from("<Q", image, at + 16)[0] == decoded:
                with open(out, "wb") as f_out:
                    f_out.write(image[at:at + carried])
                return 0
            at = image.find(MAGIC, at + 1)
    print(f"carried_package.py: no package of {decoded} bytes in {setup}", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
