#!/usr/bin/env python3
"""Makes a tree of COUNT files for the size-walk benchmark, once.

   make_tree.py DIR COUNT

100 files per directory, directories in groups of 10 under a middle level,
the shape of an installed program's data rather than one flat folder. Files
are sparse (a size, no blocks), so 100,000 of them cost no disk; every walk
reads only the sizes. A stamp file records a finished tree: an interrupted
one is made again.
"""
import os
import shutil
import sys

FILES_PER_DIR = 100
DIRS_PER_GROUP = 10


def main():
    root, count = sys.argv[1], int(sys.argv[2])
    stamp = root + ".done"
    if os.path.exists(stamp) and open(stamp).read().strip() == str(count):
        return
    shutil.rmtree(root, ignore_errors=True)
    total = 0
    for index in range(count):
        leaf, position = divmod(index, FILES_PER_DIR)
        group = leaf // DIRS_PER_GROUP
        directory = os.path.join(root, "g%03d" % group, "d%04d" % leaf)
        if position == 0:
            os.makedirs(directory, exist_ok=True)
        size = (index * 7919) % 65536
        total += size
        with open(os.path.join(directory, "f%05d.dat" % index), "wb") as f:
            f.truncate(size)
    with open(stamp, "w") as f:
        f.write("%d\n" % count)


if __name__ == "__main__":
    main()
