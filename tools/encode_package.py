#!/usr/bin/env python3
"""Writes a content file as the setup carries an encoded package: the header
of install/package_encoding.h, then one zstd frame made by Debian's zstd tool.

  encode_package.py CONTENT OUT            compressed
  encode_package.py CONTENT OUT --delta-from OLD
                                           a delta: a zstd patch against OLD,
                                           the installed file's previous version

The frame carries no checksum of its own: the header's SHA-256 of the decoded
file is what the setup checks. A compressed file of up to 512 MiB gets a
window that spans it (the setup decodes it into a view of the whole file); a
larger one keeps to an 8 MiB window, what the setup decodes through a piece
at a time (install/package_encoding.h).
"""
import argparse
import hashlib
import struct
import subprocess
import sys
from pathlib import Path

MAGIC = b"VdPkZstd"
COMPRESSED, DELTA = 1, 2


def size_and_sha256(path: Path):
    """Read a piece at a time: a file of a GiB or more is never held whole."""
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for piece in iter(lambda: f.read(1 << 20), b""):
            digest.update(piece)
    return path.stat().st_size, digest.digest()


def header(kind: int, content: Path, base: Path = None) -> bytes:
    head = MAGIC + struct.pack("<II", kind, 0)
    size, digest = size_and_sha256(content)
    head += struct.pack("<Q", size) + digest
    if base is None:
        head += struct.pack("<Q", 0) + bytes(32)
    else:
        size, digest = size_and_sha256(base)
        head += struct.pack("<Q", size) + digest
    assert len(head) == 96
    return head


WHOLE_FILE_WINDOW_LIMIT = 512 << 20  # kWholeFileWindowLimit
STREAMED_WINDOW_LOG = 23


def window_log(size: int) -> int:
    """The smallest window (zstd's least is 2^10) that spans SIZE bytes, or
    the streamed 8 MiB for a file beyond the limit."""
    if size > WHOLE_FILE_WINDOW_LIMIT:
        return STREAMED_WINDOW_LOG
    return max(10, (size - 1).bit_length())


def patch_tables(total: int) -> str:
    """Match-finding tables for a patch against a base, sized to the two
    files together: level 19's own are made for an 8 MiB window and find
    less and less of a large base (a 256 MiB pair with 2.4 % changed: 77 MB
    with them, 2.6 MB with these; the real pairs of bench/run_encoded.sh
    1.4 to 12 % less). The decoder never sees them. At most 2^28 entries:
    2^29 took zstd 3.7 GB instead of 2.1 GB for that pair, and saved 1 %."""
    chain = min(28, max(24, (total - 1).bit_length()))
    return f"--zstd=chainLog={chain},hashLog={chain - 1}"


def write_frame(content: Path, base: Path, out) -> None:
    """zstd writes the frame straight after the header in OUT."""
    command = ["zstd", "-q", "-c", "--no-check", "--single-thread"]
    if base is None:
        # Level 22 with a window over the whole file: 1-5 % fewer bytes
        # than level 19's 8 MiB window on the benchmark's real files, for a
        # third to two thirds more build time; decoding is as fast.
        command += ["--ultra", "-22", f"--zstd=wlog={window_log(content.stat().st_size)}"]
    else:
        total = content.stat().st_size + base.stat().st_size
        command += ["-19", patch_tables(total), "--patch-from=" + str(base)]
    out.flush()
    result = subprocess.run(command + [str(content)], stdout=out, stderr=subprocess.PIPE)
    if result.returncode != 0:
        sys.exit(f"encode_package.py: zstd failed: {result.stderr.decode(errors='replace')}")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("content", type=Path)
    parser.add_argument("out", type=Path)
    parser.add_argument("--delta-from", type=Path)
    args = parser.parse_args()
    if args.delta_from is not None and args.delta_from.stat().st_size == 0:
        sys.exit("encode_package.py: the old file is empty: a delta needs something to start from")
    kind = DELTA if args.delta_from is not None else COMPRESSED
    with open(args.out, "wb") as out:
        out.write(header(kind, args.content, args.delta_from))
        write_frame(args.content, args.delta_from, out)


if __name__ == "__main__":
    main()
