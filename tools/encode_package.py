#!/usr/bin/env python3
"""Writes a content file as the setup carries an encoded package: the header
of install/package_encoding.h, then one zstd frame made by Debian's zstd tool.

  encode_package.py CONTENT OUT            compressed
  encode_package.py CONTENT OUT --delta-from OLD
                                           a delta against OLD, the installed
                                           file's previous version: a zstd
                                           patch, or the differences from OLD
                                           (install/base_alignment.h), whichever
                                           is the smaller

The frame carries no checksum of its own: the header's SHA-256 of the decoded
file is what the setup checks. A compressed file of up to 512 MiB gets a
window that spans it (the setup decodes it into a view of the whole file); a
larger one keeps to an 8 MiB window, what the setup decodes through a piece
at a time (install/package_encoding.h).

A compressed file that holds x86 code is compressed through the branch
filter of install/x86_branches.h (calls and jumps made absolute), when a
quick trial shows that it pays; the header says so, and the setup restores
the bytes as it decodes them. A delta is never filtered: its base would have
to be filtered too.

The differences come from Debian's bsdiff (its patch's three bzip2 blocks
read back and written as the setup takes them: the differences and new bytes
in the file's order, one zstd frame, then the alignment's records, another).
Where code moved between two builds they are a third of the zstd patch or
less: matches that bsdiff allows to differ in a few bytes (the addresses)
find the whole of the old code. bsdiff is tried for bases of up to 512 MiB
(it holds both files and a suffix array of the base: about 9 bytes for each
of the base's). Where a quick trial shows that it pays, the differences are
taken from the old file's calls, jumps and relative references moved through
the alignment (install/base_alignment.h), as the setup adds them back.
"""
import argparse
import bisect
import bz2
import mmap
import hashlib
import re
import shutil
import struct
import subprocess
import sys
import tempfile
from pathlib import Path

MAGIC = b"VdPkZstd"
COMPRESSED, DELTA = 1, 2
NO_FILTER, X86_BRANCHES, BASE_DIFFERENCES, BASE_DIFFERENCES_MOVED_BRANCHES = 0, 1, 2, 3


def size_and_sha256(path: Path):
    """Read a piece at a time: a file of a GiB or more is never held whole."""
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for piece in iter(lambda: f.read(1 << 20), b""):
            digest.update(piece)
    return path.stat().st_size, digest.digest()


def header(kind: int, content: Path, base: Path = None, branches: int = NO_FILTER) -> bytes:
    head = MAGIC + struct.pack("<II", kind, branches)
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


_OPCODE = re.compile(rb"[\xe8\xe9]")


def filter_x86_branches(data: bytearray, offset: int) -> int:
    """FilterX86Branches of install/x86_branches.cpp, in place: DATA begins
    at OFFSET of the file; returns how many of its bytes are final (the rest,
    at most 4, go again at the front of the next piece)."""
    size = len(data)
    at = 0
    # The scan's own changes lie behind it (inside the units it passed).
    for match in _OPCODE.finditer(data):
        unit = match.start()
        if unit < at:
            continue
        if unit + 5 > size:
            break
        at = unit + 5
        top = data[unit + 4]
        if top != 0x00 and top != 0xFF:
            continue
        operand = (int.from_bytes(data[unit + 1:unit + 5], "little") + offset + at) & 0xFFFFFFFF
        data[unit + 1:unit + 4] = (operand & 0xFFFFFF).to_bytes(3, "little")
        data[unit + 4] = 0xFF if operand & 0x1000000 else 0x00
    return max(at, size - 4)


def write_filtered(content: Path, target) -> None:
    """CONTENT through the filter into the open file TARGET, 8 MiB at a time."""
    offset = 0
    waiting = bytearray()
    with open(content, "rb") as f:
        for piece in iter(lambda: f.read(8 << 20), b""):
            data = waiting + piece
            done = filter_x86_branches(data, offset)
            target.write(data[:done])
            waiting = data[done:]
            offset += done
    target.write(waiting)
    target.flush()


def trial_size(path: Path) -> int:
    """The bytes of a quick compression (zstd's level 3), counted, not kept."""
    process = subprocess.Popen(["zstd", "-q", "-c", "-3", "--single-thread", str(path)],
                               stdout=subprocess.PIPE)
    size = sum(len(piece) for piece in iter(lambda: process.stdout.read(1 << 20), b""))
    if process.wait() != 0:
        sys.exit("encode_package.py: zstd failed on a trial")
    return size


# The filter is taken when it takes 1 % or more off the trial. It takes off
# at level 22 about what it takes off at level 3: 6.5 % and 5.4 % of the
# benchmark's x86 library; the data and text files there lose nothing by it
# at level 3 (+0.1 %, 0) and keep the plain frame.
FILTER_TRIAL_SAVING = 0.01


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


def write_compressed(content: Path, out) -> None:
    """The header and the frame of a compressed package, through the x86
    branch filter where the trial says it pays."""
    with tempfile.NamedTemporaryFile(dir=Path(out.name).parent, prefix=".filtered-") as filtered:
        write_filtered(content, filtered)
        plain, through = trial_size(content), trial_size(Path(filtered.name))
        saving = (plain - through) / plain if plain else 0.0
        use = saving >= FILTER_TRIAL_SAVING
        print(f"branch filter for x86 code: {'on' if use else 'off'} "
              f"({(through - plain) * 100 / (plain or 1):+.1f} % of the bytes in a trial at zstd's level 3)")
        out.write(header(COMPRESSED, content, branches=X86_BRANCHES if use else NO_FILTER))
        write_frame(Path(filtered.name) if use else content, None, out)


DIFFERENCES_BASE_LIMIT = 512 << 20


class Bz2Block:
    """One bzip2 block of a bsdiff patch, decoded as it is read: a block of
    differences, mostly zeros, may stand for a hundred times its size."""

    def __init__(self, f, start: int, length: int):
        self._f, self._at, self._left = f, start, length
        self._decoder = bz2.BZ2Decompressor()
        self._ready = bytearray()

    def read(self, count: int) -> bytes:
        while len(self._ready) < count:
            if self._decoder.eof or (self._decoder.needs_input and self._left == 0):
                sys.exit("encode_package.py: a block of bsdiff's patch ends early")
            data = b""
            if self._decoder.needs_input:
                self._f.seek(self._at)
                data = self._f.read(min(self._left, 1 << 20))
                self._at += len(data)
                self._left -= len(data)
            self._ready += self._decoder.decompress(data, max_length=16 << 20)
        piece = bytes(self._ready[:count])
        del self._ready[:count]
        return piece


def _offset(field: bytes) -> int:
    """bsdiff's numbers: 63 bits of magnitude, then the sign."""
    value = int.from_bytes(field[:7] + bytes([field[7] & 0x7F]), "little")
    return -value if field[7] & 0x80 else value


# Moved branches hold the alignment whole in the setup: at most this many
# records, lined up or not (kMostMovedStretches of install/base_alignment.h).
MOST_MOVED_STRETCHES = 1 << 18


# The opcodes (alone, or after 0F) whose ModRM byte may name a displacement
# from the next instruction and that take no immediate: the list of
# install/base_alignment.cpp.
RELATIVE_OPERAND_OPCODES = bytes([
    0x01, 0x03, 0x09, 0x0B, 0x10, 0x11, 0x12, 0x16, 0x21, 0x23, 0x28, 0x29, 0x2B, 0x2E,
    0x2F, 0x31, 0x33, 0x39, 0x3B, 0x51, 0x54, 0x57, 0x58, 0x59, 0x5A, 0x5C, 0x5E, 0x6E,
    0x6F, 0x7E, 0x7F, 0x85, 0x87, 0x89, 0x8B, 0x8D, 0xB6, 0xB7, 0xBE, 0xBF, 0xD6, 0xFF])
# Each kind of guess: where it starts, where its displacement starts and
# where the instruction ends, from the guess's first byte.
GUESSES = (
    (re.compile(rb"[\xe8\xe9]"), 1, 5),  # call, jmp
    (re.compile(b"[" + b"".join(b"\\x%02x" % o for o in RELATIVE_OPERAND_OPCODES) + b"]"
                rb"(?=[\x05\x0d\x15\x1d\x25\x2d\x35\x3d])"), 2, 6),  # ModRM mod 00, r/m 101
)


def move_branches(differences: Path, base: Path, stretches) -> None:
    """Takes from the DIFFERENCES file, in place, what the setup adds back
    for the base's calls, jumps and relative references moved through the
    alignment (STRETCHES: base position, file position, length of each
    lined-up stretch), exactly as install/base_alignment.h describes it."""
    by_base = sorted(stretches)
    starts = [s[0] for s in by_base]
    base_size = base.stat().st_size
    with open(base, "rb") as b, open(differences, "r+b") as d, \
            mmap.mmap(b.fileno(), 0, access=mmap.ACCESS_READ) as old, \
            mmap.mmap(d.fileno(), 0) as now:
        for origin, at, length in stretches:
            for pattern, operand, end in GUESSES:
                for match in pattern.finditer(old, origin, origin + length):
                    found = match.start()
                    if found + end > origin + length:
                        continue
                    was = struct.unpack_from("<i", old, found + operand)[0]
                    target = found + end + was
                    if target < 0 or target >= base_size:
                        continue
                    k = bisect.bisect_right(starts, target) - 1
                    if k < 0 or target - by_base[k][0] >= by_base[k][2]:
                        continue
                    moved = by_base[k][1] + target - by_base[k][0] - (at + found - origin + end)
                    if moved == was or not -(1 << 31) <= moved < (1 << 31):
                        continue
                    place = at + found - origin + operand
                    for byte, (to, fro) in enumerate(zip(struct.pack("<i", moved),
                                                         struct.pack("<i", was))):
                        now[place + byte] = (now[place + byte] - to + fro) & 0xFF


def write_differences(content: Path, base: Path, out, work: Path) -> int:
    """The two frames of a delta of differences in OUT, and which filter
    they are (the base's branches moved where a quick trial shows that it
    pays); NO_FILTER, and nothing written, where bsdiff's patch does not keep
    to the setup's rules (every stretch of differences inside the base)."""
    patch, differences, records = work / "patch", work / "differences", work / "alignment"
    result = subprocess.run(["bsdiff", str(base), str(content), str(patch)],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if result.returncode != 0:
        sys.exit(f"encode_package.py: bsdiff failed: {result.stderr.decode(errors='replace')}")
    size, base_size = content.stat().st_size, base.stat().st_size
    stretches = []
    with open(patch, "rb") as f, open(differences, "wb") as d, open(records, "wb") as r:
        head = f.read(32)
        if head[:8] != b"BSDIFF40" or _offset(head[24:32]) != size:
            sys.exit("encode_package.py: bsdiff wrote no patch it is known to write")
        control_length, differences_length = _offset(head[8:16]), _offset(head[16:24])
        control = Bz2Block(f, 32, control_length)
        diff = Bz2Block(f, 32 + control_length, differences_length)
        fresh = Bz2Block(f, 32 + control_length + differences_length,
                         patch.stat().st_size - 32 - control_length - differences_length)
        at = position = 0
        while at < size:
            record = control.read(24)
            lined_up, new, move = _offset(record[0:8]), _offset(record[8:16]), _offset(record[16:24])
            if lined_up < 0 or new < 0 or at + lined_up + new > size or \
                    (lined_up and (position < 0 or position + lined_up > base_size)):
                return NO_FILTER
            d.write(diff.read(lined_up))
            d.write(fresh.read(new))
            r.write(struct.pack("<QQq", lined_up, new, move))
            if lined_up:
                stretches.append((position, at, lined_up))
            at += lined_up + new
            position += lined_up + move
    kind = BASE_DIFFERENCES
    if 0 < size and records.stat().st_size // 24 <= MOST_MOVED_STRETCHES:
        moved = work / "moved"
        shutil.copyfile(differences, moved)
        move_branches(moved, base, stretches)
        plain, through = trial_size(differences), trial_size(moved)
        use = (plain - through) / plain >= FILTER_TRIAL_SAVING
        print(f"delta: the old file's branches moved through the alignment: {'on' if use else 'off'} "
              f"({(through - plain) * 100 / plain:+.1f} % of the differences' bytes in a trial "
              "at zstd's level 3)")
        if use:
            differences, kind = moved, BASE_DIFFERENCES_MOVED_BRANCHES
    out.flush()
    for command in (["--ultra", "-22", f"--zstd=wlog={window_log(size)}", str(differences)],
                    ["-19", str(records)]):
        result = subprocess.run(["zstd", "-q", "-c", "--no-check", "--single-thread"] + command,
                                stdout=out, stderr=subprocess.PIPE)
        if result.returncode != 0:
            sys.exit(f"encode_package.py: zstd failed: {result.stderr.decode(errors='replace')}")
    return kind


def write_delta(content: Path, base: Path, out) -> None:
    """The header and the smaller of the zstd patch and the differences."""
    with tempfile.TemporaryDirectory(dir=Path(out.name).parent, prefix=".delta-") as folder:
        work = Path(folder)
        with open(work / "patch.zst", "wb") as patch:
            write_frame(content, base, patch)
        chosen, kind = work / "patch.zst", NO_FILTER
        if base.stat().st_size <= DIFFERENCES_BASE_LIMIT:
            if shutil.which("bsdiff") is None:
                sys.exit("encode_package.py: bsdiff is missing: scripts/install-deps.sh installs it")
            with open(work / "differences.zst", "wb") as frames:
                made = write_differences(content, base, frames, work)
            if made and (work / "differences.zst").stat().st_size < chosen.stat().st_size:
                chosen, kind = work / "differences.zst", made
            print(f"delta: {'the differences from the old file' if kind else 'a zstd patch'} "
                  f"({(work / 'differences.zst').stat().st_size if made else 'none'} B of "
                  f"differences against a {(work / 'patch.zst').stat().st_size} B patch)")
        out.write(header(DELTA, content, base, kind))
        with open(chosen, "rb") as frames:
            shutil.copyfileobj(frames, out, 1 << 20)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("content", type=Path)
    parser.add_argument("out", type=Path)
    parser.add_argument("--delta-from", type=Path)
    args = parser.parse_args()
    if args.delta_from is not None and args.delta_from.stat().st_size == 0:
        sys.exit("encode_package.py: the old file is empty: a delta needs something to start from")
    with open(args.out, "wb") as out:
        if args.delta_from is None:
            write_compressed(args.content, out)
        else:
            write_delta(args.content, args.delta_from, out)


if __name__ == "__main__":
    main()
