"""Updates built the way the product team builds them: scripts/build-update.sh
on a content file, into a directory of the test run.

Every build goes through one build tree (build/update-tree), so builds are
taken in turn under a lock, also across the suite's worker processes. An
update already built from the same bytes with the same options is reused.
"""
import fcntl
import hashlib
import json
import os
import random
import struct
import subprocess
from dataclasses import dataclass
from pathlib import Path
from typing import List, Optional

ROOT = Path(__file__).resolve().parents[2]
BUILD_UPDATE = ROOT / "scripts" / "build-update.sh"
DEPLOY_NOTES = ROOT / "scripts" / "deploy-notes.sh"
TITLE = "\"Тарвелин\" версии "
BUILD_TIMEOUT = 900  # the first build compiles the whole setup


@dataclass
class BuildResult:
    code: int
    output: str
    setup: Path
    check: dict  # what the build's own check printed, key by key

    @property
    def ok(self) -> bool:
        return self.code == 0


def _lock_path() -> Path:
    (ROOT / "build").mkdir(exist_ok=True)
    return ROOT / "build" / "update-tree.lock"


def build_update(content: Path, out: Path, *options: str) -> BuildResult:
    """Runs the team's build command; returns its exit code and what it printed."""
    key = hashlib.sha256()
    if content.is_file():
        key.update(file_sha256(content))
    key.update(json.dumps([content.name, list(options)]).encode())
    for option in options:  # a delta's old file
        if os.path.isfile(option):
            key.update(Path(option).read_bytes())
    # A changed setup or build command makes every update anew.
    key.update(os.environ.get("VESPODAR_WIN64", "0").encode())
    for made_by in (ROOT / "build" / "win32" / "VespodarUpdate.exe", BUILD_UPDATE, DEPLOY_NOTES,
                    ROOT / "tools" / "encode_package.py",
                    ROOT / "cmake" / "package.cmake", ROOT / "setup" / "exit_codes.def"):
        key.update(made_by.read_bytes() if made_by.exists() else b"")
    digest = key.hexdigest()
    out.mkdir(parents=True, exist_ok=True)
    done = out / "build-result.json"
    with open(_lock_path(), "a") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if done.exists():
            saved = json.loads(done.read_text(encoding="utf-8"))
            if saved["key"] == digest and (saved["code"] != 0 or (out / "VespodarUpdate.exe").exists()):
                return _result(saved["code"], saved["output"], out)
        log = out / "build-update.log"
        with open(log, "wb") as f:
            code = subprocess.run([str(BUILD_UPDATE), str(content), *options, "--out", str(out)],
                                  stdout=f, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                  timeout=BUILD_TIMEOUT, env=_build_env()).returncode
        output = log.read_text(encoding="utf-8", errors="replace")
        done.write_text(json.dumps({"key": digest, "code": code, "output": output}),
                        encoding="utf-8")
        return _result(code, output, out)


def file_sha256(path: Path) -> bytes:
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for piece in iter(lambda: f.read(1 << 20), b""):
            digest.update(piece)
    return digest.digest()


def write_large_cok(path: Path, mib: int, version: int) -> bytes:
    """A content file of MIB MiB, each MiB the same random one under a
    number of its own, so that it compresses fast and decodes at full speed;
    returns its SHA-256."""
    block = bytearray(random.Random(25).randbytes(1 << 20))
    with open(path, "wb") as f:
        for number in range(mib):
            block[0:7] = (b"vdq\0\0" + struct.pack("<H", version)) if number == 0 \
                else b"%07d" % number
            f.write(block)
    return file_sha256(path)


def _build_env() -> dict:
    env = dict(os.environ)
    # The build runs its own tools; the suite's display and Wine settings are
    # not its business.
    for name in ("WINEPREFIX", "WINEARCH", "DISPLAY"):
        env.pop(name, None)
    return env


def _result(code: int, output: str, out: Path) -> BuildResult:
    check = {}
    for line in output.splitlines():
        name, sep, value = line.partition(": ")
        if sep:
            check[name] = value
    return BuildResult(code, output, out / "VespodarUpdate.exe", check)


def guarded_options(version: Optional[str] = None) -> List[str]:
    options = ["--title", TITLE, "--guard"]
    if version is not None:
        options += ["--version", version]
    return options


def deploy_notes(path: Path) -> dict:
    """The deploy notes' "key: value" lines; a key stands once."""
    notes = {}
    for line in path.read_text(encoding="utf-8").splitlines():
        if not line or line.startswith("#"):
            continue
        key, sep, value = line.partition(": ")
        assert sep and key not in notes, line
        notes[key] = value
    return notes
