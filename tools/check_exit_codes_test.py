#!/usr/bin/env python3
"""check_exit_codes.py on copies of the real files, each changed one way.

    check_exit_codes_test.py SOURCE_ROOT
"""
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

ROOT = Path(sys.argv.pop(1)).resolve() if len(sys.argv) > 1 else Path(__file__).resolve().parents[1]
CHECK = Path(__file__).resolve().with_name("check_exit_codes.py")
FILES = ["setup/exit_codes.def", "README.md", "docs/deployment.md"]


def add_row(path: Path, after: str, row: str):
    lines = path.read_text(encoding="utf-8").splitlines(keepends=True)
    at = next(i for i, line in enumerate(lines) if line.startswith(after))
    lines.insert(at + 1, row + "\n")
    path.write_text("".join(lines), encoding="utf-8")


def drop_row(path: Path, start: str):
    lines = path.read_text(encoding="utf-8").splitlines(keepends=True)
    path.write_text("".join(line for line in lines if not line.startswith(start)),
                    encoding="utf-8")


class CheckExitCodesTest(unittest.TestCase):
    def run_check(self, change):
        with tempfile.TemporaryDirectory() as scratch:
            tree = Path(scratch)
            for name in FILES:
                (tree / name).parent.mkdir(parents=True, exist_ok=True)
                shutil.copyfile(ROOT / name, tree / name)
            change(tree)
            done = subprocess.run([sys.executable, str(CHECK), str(tree)],
                                  capture_output=True, text=True)
            return done.returncode, done.stdout.splitlines()

    def test_each_disagreement_is_named(self):
        cases = [
            ("the sources as they are", lambda tree: None, []),
            ("a code the documents lack",
             lambda tree: add_row(tree / "setup/exit_codes.def", "VESPODAR_EXIT_CODE(kExitFailure,",
                                  'VESPODAR_EXIT_CODE(kExitRebootStarted, 1641, "restarting")'),
             ["README.md: 1641 (kExitRebootStarted) is missing from its table",
              "docs/deployment.md: 1641 (kExitRebootStarted) is missing from its table"]),
            ("a code one document promises",
             lambda tree: add_row(tree / "docs/deployment.md", "| 1620 |", "| 1644 | patch | x | x | x |"),
             ["docs/deployment.md: 1644 is in its table, but the setup never returns it"]),
            ("a row the other document lost",
             lambda tree: drop_row(tree / "README.md", "| 87 |"),
             ["README.md: 87 (kExitInvalidParameter) is missing from its table"]),
            ("a row written twice",
             lambda tree: add_row(tree / "README.md", "| 5 |", "| 5 | again |"),
             ["README.md: 5 stands twice in its table"]),
            ("a first column that holds no code",
             lambda tree: add_row(tree / "README.md", "| 5 |", "| five | again |"),
             ['README.md: "five" in the first column is no exit code']),
            ("a table that went",
             lambda tree: drop_row(tree / "README.md", "|"),
             ['README.md: no table under "## Exit codes"']),
            ("a table without its rows",
             lambda tree: drop_row(tree / "setup/exit_codes.def", "VESPODAR_EXIT_CODE("),
             ["setup/exit_codes.def: no VESPODAR_EXIT_CODE row"]),
        ]
        for what, change, expected in cases:
            with self.subTest(what):
                status, lines = self.run_check(change)
                if expected:
                    self.assertEqual(1, status)
                    self.assertEqual(expected, lines)
                else:
                    self.assertEqual(0, status, lines)


if __name__ == "__main__":
    unittest.main()
