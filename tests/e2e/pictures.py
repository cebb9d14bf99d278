"""Pictures of the setup's boxes: reading them back and making PNGs of them.

The scripted user saves each box as a BMP; ImageMagick, a tool of its own,
reads them here, so a picture that these functions read is one that image
tools read. /usr/bin/convert by its full path: another `convert` may come
first in PATH.
"""
import subprocess
from collections import Counter
from dataclasses import dataclass
from pathlib import Path
from typing import List, Optional, Tuple

CONVERT = "/usr/bin/convert"

Rgb = Tuple[int, int, int]


def _convert(*args: str) -> None:
    done = subprocess.run([CONVERT, *args], stdin=subprocess.DEVNULL, capture_output=True,
                          timeout=60)
    if done.returncode != 0:
        raise ValueError(f"convert {' '.join(args)}: {done.stderr.decode(errors='replace')}")


@dataclass
class Picture:
    width: int
    height: int
    rows: List[List[Rgb]]

    @classmethod
    def read(cls, path: Path) -> "Picture":
        """The pixels of any picture ImageMagick reads (ValueError otherwise)."""
        ppm = path.with_name(path.name + ".ppm")
        _convert(str(path), "-depth", "8", f"ppm:{ppm}")
        data = ppm.read_bytes()
        ppm.unlink()
        fields, at = [], 0
        while len(fields) < 4:  # magic, width, height, maximum, then one white-space byte
            while data[at:at + 1].isspace():
                at += 1
            end = at
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[at:end])
            at = end
        at += 1
        if fields[0] != b"P6" or fields[3] != b"255":
            raise ValueError(f"{path}: unexpected PPM header {fields}")
        width, height = int(fields[1]), int(fields[2])
        pixels = data[at:at + width * height * 3]
        if len(pixels) != width * height * 3:
            raise ValueError(f"{path}: {len(pixels)} bytes of pixels for {width}x{height}")
        rows = [[tuple(pixels[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)]
                for y in range(height)]
        return cls(width, height, rows)

    def band(self, top: int, bottom: int) -> List[Rgb]:
        return [pixel for row in self.rows[top:bottom] for pixel in row]

    def pixels(self) -> List[Rgb]:
        return self.band(0, self.height)

    @staticmethod
    def dominant(pixels: List[Rgb]) -> Rgb:
        return Counter(pixels).most_common(1)[0][0]


def to_png(bmp: Path, png: Path, colours: Optional[int] = None) -> None:
    """The picture as a PNG without time stamps (the same box gives the same
    bytes), with a palette of at most `colours` when given."""
    reduce = ["-dither", "None", "-colors", str(colours)] if colours else []
    prefix = "png8:" if colours and colours <= 256 else "png:"
    _convert(str(bmp), "-strip", *reduce, "-define", "png:exclude-chunks=date,time",
             f"{prefix}{png}")
