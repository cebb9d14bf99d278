#!/usr/bin/env python3
"""Writes a content file as the setup carries an encoded package: the header
of install/package_encoding.h, then one zstd frame made by Debian's zstd tool.

  encode_package.py CONTENT OUT            compressed
  encode_package.py CONTENT OUT --delta-from OLD
                                           a delta: a zstd patch against OLD,
                                           the installed file's previous version

The frame carries no checksum of its own: the header's SHA-256 of the decoded
file is what the setup checks. A compressed frame keeps to an 8 MiB window,
what the setup decodes through at any package size.
"""
import argparse
import hashlib
import struct
import subprocess
import sys
from pathlib import Path

MAGIC = b"VdPkZstd"
COMPRESSED, DELTA = 1, 2


def header(kind: int, content: bytes, base: bytes = None) -> bytes:
    head = MAGIC + struct.pack("<II", kind, 0)
    head += struct.pack("<Q", len(content)) + hashlib.sha256(content).digest()
    if base is None:
        head += struct.pack("<Q", 0) + bytes(32)
    else:
        head += struct.pack("<Q", len(base)) + hashlib.sha256(base).digest()
    assert len(head) == 96
    return head


def frame(content: Path, base: Path = None) -> bytes:
    command = ["zstd", "-q", "-c", "--no-check", "-19", "--single-thread"]
    if base is None:
        command += ["--zstd=wlog=23"]
    else:
        command += ["--patch-from=" + str(base)]
    result = subprocess.run(command + [str(content)], capture_output=True)
    if result.returncode != 0:
        sys.exit(f"encode_package.py: zstd failed: {result.stderr.decode(errors='replace')}")
    return result.stdout


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("content", type=Path)
    parser.add_argument("out", type=Path)
    parser.add_argument("--delta-from", type=Path)
    args = parser.parse_args()
    content = args.content.read_bytes()
    base = args.delta_from.read_bytes() if args.delta_from else None
    if base is not None and not base:
        sys.exit("encode_package.py: the old file is empty: a delta needs something to start from")
    kind = DELTA if base is not None else COMPRESSED
    encoded = header(kind, content, base) + frame(args.content, args.delta_from)
    args.out.write_bytes(encoded)


if __name__ == "__main__":
    main()
