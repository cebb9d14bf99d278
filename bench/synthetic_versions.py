#!/usr/bin/env python3
"""Two versions of a content file of any size, for the encoded updates'
time and memory figures (bench/run_encoded.sh).

  synthetic_versions.py NEW OLD MIB SOURCE [SOURCE...]

NEW: MIB MiB in pieces of 256 KiB to 4 MiB, about 60 % of them cut from the
SOURCE files (real files: a library, a data file, a tar of headers; what
compresses in them compresses here as it does there) and the rest
incompressible (seeded random bytes, as media or an archive inside the
content would be). OLD: NEW with about 2.5 % of it changed in scattered
places, one every 0.25 to 1.5 MiB: a run of 1 to 64 KiB overwritten, or 1 to
16 KiB inserted or taken out, so that what follows moves as it does
between two builds of a real file. Both are the same for the same
arguments (seeded), so a cached pair stays valid.
"""
import os
import random
import sys

MIB = 1 << 20
REAL_SHARE = 0.6


def write_new(path, size, sources, rng):
    blobs = []
    for source in sources:
        with open(source, "rb") as f:
            blobs.append(f.read())
    written = 0
    with open(path, "wb") as out:
        while written < size:
            piece = min(rng.randrange(256 << 10, 4 * MIB), size - written)
            if rng.random() < REAL_SHARE:
                blob = blobs[rng.randrange(len(blobs))]
                start = rng.randrange(0, max(1, len(blob) - piece))
                data = blob[start:start + piece]
                if len(data) < piece:
                    data += rng.randbytes(piece - len(data))
            else:
                data = b"".join(rng.randbytes(min(MIB, piece - done)) for done in range(0, piece, MIB))
            out.write(data)
            written += piece


def write_old(new_path, old_path, rng):
    """NEW with scattered changes. Returns the bytes changed."""
    changed = 0
    with open(new_path, "rb") as new, open(old_path, "wb") as out:
        while True:
            gap = rng.randrange(256 << 10, 3 * MIB // 2)
            data = new.read(gap)
            out.write(data)
            if len(data) < gap:
                break
            kind = rng.random()
            if kind < 0.6:  # overwritten
                run = rng.randrange(1 << 10, 64 << 10)
                original = new.read(run)
                out.write(rng.randbytes(len(original)))
                changed += len(original)
            elif kind < 0.8:  # inserted in the new version: missing from the old
                run = rng.randrange(1 << 10, 16 << 10)
                changed += len(new.read(run))
            else:  # taken out in the new version: the old one had more
                run = rng.randrange(1 << 10, 16 << 10)
                out.write(rng.randbytes(run))
                changed += run
    return changed


def main() -> int:
    if len(sys.argv) < 5:
        print(__doc__, file=sys.stderr)
        return 2
    new_path, old_path, mib = sys.argv[1], sys.argv[2], int(sys.argv[3])
    sources = sys.argv[4:]
    size = mib * MIB
    write_new(new_path + ".tmp", size, sources, random.Random(f"new {mib}"))
    os.replace(new_path + ".tmp", new_path)
    changed = write_old(new_path, old_path + ".tmp", random.Random(f"old {mib}"))
    os.replace(old_path + ".tmp", old_path)
    print(f"{new_path}: {size} bytes; {old_path}: {os.path.getsize(old_path)} bytes, "
          f"{changed} bytes ({changed * 100 / size:.1f} %) changed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
