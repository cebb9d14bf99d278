#!/usr/bin/env python3
"""Writes the setup's linker script: the linker's own default script, with the
C runtime's two small sections, .CRT (its tables of start-up and exit
functions, a few dozen bytes) and .tls (the thread-local template's two
markers, 8 bytes), placed at the end of .data instead of in sections of their
own. Each section costs a header and at least one file-alignment unit (512
bytes) in the executable, so two sections less are about 1 KB less of every
setup. Nothing in the setup has thread-local variables, whose offsets would
count from the start of .tls; the TLS directory points at its markers
wherever they are.

Usage: setup_linker_script.py LINKER OUT.ld
"""
import os
import re
import subprocess
import sys


def block(script: str, name: str) -> re.Match:
    found = re.search(r"(?:  /\*[^*]*(?:\*(?!/)[^*]*)*\*/\n)?"
                      r"  \." + name + r" BLOCK\(__section_alignment__\) :\n  \{\n(.*?)\n  \}\n",
                      script, re.S)
    if not found:
        sys.exit(f"setup_linker_script: no .{name} section in the linker's script")
    return found


def main() -> int:
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    linker, target = sys.argv[1:]
    verbose = subprocess.run([linker, "--verbose"], check=True, capture_output=True, text=True).stdout
    parts = verbose.split("==================================================\n")
    if len(parts) < 3:
        sys.exit("setup_linker_script: the linker printed no default script")
    script = parts[1]
    moved = []
    for name in ("CRT", "tls"):
        found = block(script, name)
        moved.append(found.group(1))
        script = script[:found.start()] + script[found.end():]
    data_end = "    *(.data_cygwin_nocopy)\n"
    if data_end not in script:
        sys.exit("setup_linker_script: the .data section does not end as expected")
    # The runtime's dynamic TLS initialisers (.CRT$XDA, .CRT$XDZ) are in no
    # list of the default script: the linker would give them a .CRT of their
    # own. They follow the lists, in name order like the rest.
    moved[0] += "\n    KEEP (*(SORT(.CRT$*)))"
    inserted = "".join("    . = ALIGN(8);\n" + body + "\n" for body in moved)
    script = script.replace(data_end, data_end + inserted, 1)
    with open(target + ".part", "w") as f:
        f.write(script)
    os.replace(target + ".part", target)
    return 0


if __name__ == "__main__":
    sys.exit(main())
