#!/usr/bin/env python3
"""Writes a UTF-8 text as the body of a wide resource-script string.

windres reads resource scripts byte by byte in one code page and would turn
UTF-8 text into garbage; every character outside printable ASCII (and the
quote and backslash) is therefore written as a \\xNNNN escape.
"""
import sys


def escape(text: str) -> str:
    return "".join(c if 32 <= ord(c) < 127 and c not in '"\\' else "\\x%04x" % ord(c)
                   for c in text)


if __name__ == "__main__":
    sys.stdout.write(escape(sys.argv[1]))
