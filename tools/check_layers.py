#!/usr/bin/env python3
"""The layers of the product code point one way: each directory may include
from itself and from the layers below it, never from one above.

    base < ui < discovery < install < guard < setup

Usage: check_layers.py SOURCE_ROOT

Prints every include that points up, as FILE:LINE, and exits 1 when there is
one. The build checks, the end-to-end helpers (tests/), the build-time tools
(tools/) and the benchmarks (bench/) stand outside the layers and may use any
of them.
"""
import re
import sys
from pathlib import Path

# Bottom first. docs/architecture.md says what each one holds.
LAYERS = ["base", "ui", "discovery", "install", "guard", "setup"]
# Headers generated into the build tree, by the layer that owns them.
GENERATED = {"package_constants.h": "setup"}
SUFFIXES = {".h", ".cpp", ".c", ".rc", ".in"}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def layer_of_include(target: str):
    head = target.split("/", 1)[0]
    if "/" in target and head in LAYERS:
        return head
    return GENERATED.get(target)


def upward_includes(root: Path):
    rank = {name: i for i, name in enumerate(LAYERS)}
    for layer in LAYERS:
        directory = root / layer
        if not directory.is_dir():
            continue
        for path in sorted(directory.rglob("*")):
            if path.suffix not in SUFFIXES or not path.is_file():
                continue
            lines = path.read_text(encoding="utf-8", errors="replace").splitlines()
            for number, line in enumerate(lines, 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                target = layer_of_include(match.group(1))
                if target is not None and rank[target] > rank[layer]:
                    yield (path.relative_to(root), number, match.group(1), layer, target)


def main() -> int:
    if len(sys.argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    found = list(upward_includes(Path(sys.argv[1])))
    for path, number, include, layer, target in found:
        print(f"{path}:{number}: includes \"{include}\": {layer}/ may not use {target}/, "
              f"which stands above it")
    if found:
        print(f"{len(found)} include(s) point up; the order is {' < '.join(LAYERS)}")
        return 1
    print(f"every include points down ({' < '.join(LAYERS)})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
