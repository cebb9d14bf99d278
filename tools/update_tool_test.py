#!/usr/bin/env python3
"""Checks what update_tool says of a built setup: intact, and carrying exactly
the package it was built with (name, size, SHA-256); and not intact once a
byte of the package inside it changed.
Usage: update_tool_test.py UPDATE_TOOL SETUP_EXE PACKAGE_FILE PACKAGE_FILE_NAME"""
import hashlib
import os
import subprocess
import sys
import tempfile


def check(tool, exe):
    result = subprocess.run([tool, "check", exe], capture_output=True, text=True)
    return result.returncode, dict(line.split(": ", 1) for line in result.stdout.splitlines())


def main() -> int:
    tool, exe, package, file_name = sys.argv[1:5]
    data = open(package, "rb").read()
    failures = []
    code, said = check(tool, exe)
    expected = {exe: "intact", "size": f"{len(data)} bytes",
                "version": str(int.from_bytes(data[5:7], "little")),
                "sha256": hashlib.sha256(data).hexdigest()}
    if code != 0:
        failures.append(f"exit code {code} for an intact setup")
    for key, value in expected.items():
        if said.get(key) != value:
            failures.append(f"{key}: expected {value!r}, got {said.get(key)!r}")
    if not said.get("package", "").startswith(file_name + " (language 0x0419)"):
        failures.append(f"package: {said.get('package')!r}")

    image = bytearray(open(exe, "rb").read())
    at = image.find(data[:64])
    with tempfile.TemporaryDirectory() as scratch:
        copy = os.path.join(scratch, "setup.exe")
        image[at + len(data) // 2] ^= 0x40
        open(copy, "wb").write(image)
        code, said = check(tool, copy)
        if code != 1 or said.get(copy) != "not intact":
            failures.append(f"a changed package byte: exit {code}, {said.get(copy)!r}")
    for failure in failures:
        print(failure)
    print(f"{7 - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
