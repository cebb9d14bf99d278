#!/usr/bin/env python3
"""Fails when a document's table of exit codes and the setup's own table part.

    check_exit_codes.py SOURCE_ROOT

The setup's codes are the rows of setup/exit_codes.def. README.md and
docs/deployment.md each hold a table under the heading "## Exit codes" whose
first column is the code; administrators configure their deployment tools
from those tables, so a code the setup returns and a document leaves out, or
one a document promises and the setup never returns, is a fault. Each is
named with the document it concerns.
"""
import re
import sys
from pathlib import Path

TABLE = "setup/exit_codes.def"
DOCUMENTS = ["README.md", "docs/deployment.md"]
HEADING = "## Exit codes"
ROW = re.compile(r"^\s*VESPODAR_EXIT_CODE\(\s*(\w+)\s*,\s*(\d+)\s*,")


class Unreadable(Exception):
    pass


def setup_codes(text: str) -> dict:
    """{code: enumerator} from the rows of the C++ table."""
    codes = {}
    for number, line in enumerate(text.splitlines(), 1):
        match = ROW.match(line)
        if not match:
            continue
        name, code = match.group(1), int(match.group(2))
        if code in codes:
            raise Unreadable(f"line {number}: {code} stands twice ({codes[code]}, {name})")
        codes[code] = name
    if not codes:
        raise Unreadable("no VESPODAR_EXIT_CODE row")
    return codes


def document_codes(text: str) -> list:
    """The first column of the first table under the exit codes heading."""
    lines = text.splitlines()
    try:
        start = lines.index(HEADING)
    except ValueError:
        raise Unreadable(f'no heading "{HEADING}"') from None
    cells = []
    for line in lines[start + 1:]:
        if line.startswith("#"):
            break
        if line.startswith("|"):
            cells.append(line.strip("|").split("|", 1)[0].strip())
        elif cells:
            break
    # The header row and the row of dashes under it.
    rows = cells[2:]
    if not rows:
        raise Unreadable(f'no table under "{HEADING}"')
    codes = []
    for cell in rows:
        if not re.fullmatch(r"\d+", cell):
            raise Unreadable(f'"{cell}" in the first column is no exit code')
        codes.append(int(cell))
    return codes


def differences(setup: dict, document: str, listed: list) -> list:
    problems = []
    for code in sorted({code for code in listed if listed.count(code) > 1}):
        problems.append(f"{document}: {code} stands twice in its table")
    for code in sorted(set(setup) - set(listed)):
        problems.append(f"{document}: {code} ({setup[code]}) is missing from its table")
    for code in sorted(set(listed) - set(setup)):
        problems.append(f"{document}: {code} is in its table, but the setup never returns it")
    return problems


def main() -> int:
    if len(sys.argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    root = Path(sys.argv[1])
    try:
        setup = setup_codes((root / TABLE).read_text(encoding="utf-8"))
    except Unreadable as problem:
        print(f"{TABLE}: {problem}")
        return 1
    problems = []
    for document in DOCUMENTS:
        try:
            listed = document_codes((root / document).read_text(encoding="utf-8"))
        except Unreadable as problem:
            problems.append(f"{document}: {problem}")
            continue
        problems += differences(setup, document, listed)
    for problem in problems:
        print(problem)
    if problems:
        return 1
    print(f"{', '.join(DOCUMENTS)}: the setup's {len(setup)} exit codes, no more, no fewer")
    return 0


if __name__ == "__main__":
    sys.exit(main())
