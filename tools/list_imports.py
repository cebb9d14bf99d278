#!/usr/bin/env python3
"""Lists the functions a PE executable imports, one "dll!function" a line.

    list_imports.py EXE [OBJDUMP]

Reads the import table with the MinGW objdump of the executable's own
architecture (OBJDUMP; the 32-bit one when none is named); DLL names are
lower-cased so that the list compares the same whatever case the linker
wrote.
"""
import re
import subprocess
import sys


def imports(path: str, objdump: str = "i686-w64-mingw32-objdump") -> list:
    out = subprocess.run([objdump, "-p", path], check=True, capture_output=True,
                         text=True).stdout
    found, dll = [], None
    for line in out.splitlines():
        name = re.match(r"\s*DLL Name: (\S+)", line)
        if name:
            dll = name.group(1).lower()
            continue
        entry = re.match(r"\t[0-9a-f]+\t\s*\d+\s+(\S+)$", line)
        if dll and entry:
            found.append(f"{dll}!{entry.group(1)}")
        elif not line.strip():
            dll = dll if found and found[-1].startswith(f"{dll}!") else dll
    return sorted(set(found))


if __name__ == "__main__":
    for item in imports(*sys.argv[1:3]):
        print(item)
