"""Fixtures of the end-to-end suite: the build under test and one fresh Windows
machine (a cloned Wine prefix with its own server) per case.

Environment:
  VESPODAR_BUILD_DIR     the win32 build (VespodarUpdate.exe, tests/*.exe, package/)
  VESPODAR_PREFIX_CACHE  where the pristine prefixes are kept
                         (default ~/.cache/vespodar-prefixes)
  VESPODAR_E2E_KEEP=1    keep each case's prefix for a look afterwards
  VESPODAR_E2E_ARCHS     the prefixes that can run here (default "win32,win64");
                         a case on any other is skipped
"""
import fcntl
import os
import pwd
import shutil
import tempfile
from pathlib import Path

import pytest

from timestamp_authority import TimestampAuthority
from wine_machine import Machine, pristine_prefix

ARCHS = ("win32", "win64")
RUNNABLE_ARCHS = os.environ.get("VESPODAR_E2E_ARCHS", ",".join(ARCHS)).split(",")
LANGS = ("en", "ru")


@pytest.fixture(scope="session")
def build() -> Path:
    value = os.environ.get("VESPODAR_BUILD_DIR")
    if not value:
        pytest.exit("VESPODAR_BUILD_DIR is not set (run tests/e2e/run_e2e.sh BUILD_DIR)", 2)
    root = Path(value).absolute()
    needed = ["VespodarUpdate.exe", "package/vdq2.cok", "tests/Vespodar.exe",
              "tests/scripted_user.exe", "tests/no_rights.exe", "tests/hold_file.exe",
              "tests/hidden_station.exe"]
    missing = [name for name in needed if not (root / name).is_file()]
    if missing:
        pytest.exit(f"the build {root} lacks {', '.join(missing)}", 2)
    if not os.environ.get("DISPLAY"):
        pytest.exit("no DISPLAY: message boxes need one (run under xvfb-run)", 2)
    return root


@pytest.fixture(scope="session")
def package(build) -> bytes:
    """The bytes the setup carries: what must land in the product directory."""
    return (build / "package" / "vdq2.cok").read_bytes()


@pytest.fixture(scope="session")
def timestamps(tmp_path_factory) -> TimestampAuthority:
    """A local RFC 3161 timestamp authority: its url for osslsigncode's -ts."""
    with TimestampAuthority(tmp_path_factory.mktemp("timestamp-authority")) as authority:
        yield authority


@pytest.fixture(scope="session")
def prefix_cache() -> Path:
    default = Path.home() / ".cache" / "vespodar-prefixes"
    return Path(os.environ.get("VESPODAR_PREFIX_CACHE", default))


def _display_lock_path() -> Path:
    display = os.environ.get("DISPLAY", "none").replace(":", "_").replace("/", "_")
    return Path(tempfile.gettempdir()) / f"vespodar-e2e-display{display}.lock"


def _skip_unless_runnable(arch):
    if arch not in RUNNABLE_ARCHS:
        pytest.skip(f"no {arch} prefix can run on this machine")


def _machine(request, build, prefix_cache, tmp_path, arch, lang):
    _skip_unless_runnable(arch)
    # All machines share one X display. Wine hands the foreground to the
    # desktop when X focus moves to another prefix's window, so a case that
    # looks at the foreground has the display to itself; the others share it.
    # So has a case that takes pictures: another machine's window over the
    # box would be in the picture.
    exclusive = any(request.node.get_closest_marker(name) is not None
                    for name in ("front", "screen"))
    with open(_display_lock_path(), "a") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX if exclusive else fcntl.LOCK_SH)
        machine = Machine(pristine_prefix(prefix_cache, arch, tmp_path), arch, lang, tmp_path,
                          build)
        try:
            machine.start()
            yield machine
        finally:
            machine.stop(keep=os.environ.get("VESPODAR_E2E_KEEP") == "1")


@pytest.fixture(params=[(a, l) for a in ARCHS for l in LANGS], ids=lambda p: "-".join(p))
def machine(request, build, prefix_cache, tmp_path):
    """Each architecture under each user language."""
    yield from _machine(request, build, prefix_cache, tmp_path, *request.param)


@pytest.fixture(params=[("win64", l) for l in LANGS], ids=lambda p: "-".join(p))
def machine64(request, build, prefix_cache, tmp_path):
    """64-bit Windows only: for what only it has (two registry views)."""
    yield from _machine(request, build, prefix_cache, tmp_path, *request.param)


@pytest.fixture(params=[(a, "en") for a in ARCHS], ids=lambda p: "-".join(p))
def machine_en(request, build, prefix_cache, tmp_path):
    """Each architecture, English user: for cases no text of the setup enters."""
    yield from _machine(request, build, prefix_cache, tmp_path, *request.param)


@pytest.fixture(params=[("win32", "en"), ("win64", "ru")], ids=lambda p: "-".join(p))
def machine_pair(request, build, prefix_cache, tmp_path):
    """Both architectures and both languages in two machines: for long matrices
    whose every case still meets each prefix and each language."""
    yield from _machine(request, build, prefix_cache, tmp_path, *request.param)


@pytest.fixture(params=[("win32", "en")], ids=lambda p: "-".join(p))
def machine_one(request, build, prefix_cache, tmp_path):
    """One Windows, English user: for what no architecture or language changes."""
    yield from _machine(request, build, prefix_cache, tmp_path, *request.param)


@pytest.fixture(params=[(a, "ru") for a in ARCHS], ids=lambda p: "-".join(p))
def machine_ru(request, build, prefix_cache, tmp_path):
    """Each architecture, Russian user: for names in a script of neither language."""
    yield from _machine(request, build, prefix_cache, tmp_path, *request.param)


@pytest.fixture(params=ARCHS)
def machine_unprivileged(request, build, prefix_cache, tmp_path):
    """Each architecture, English, with Wine run as the Unix user "nobody": a
    user whom the file system refuses what root may always do."""
    _skip_unless_runnable(request.param)
    try:
        user = pwd.getpwnam("nobody")
    except KeyError:
        pytest.skip("this machine has no user nobody")
    if os.geteuid() != 0:
        pytest.skip("only root can run Wine as another user")
    # pytest's own directories are root's alone: the user's work goes elsewhere.
    work = Path(tempfile.mkdtemp(prefix="vespodar-nobody-"))
    os.chown(work, user.pw_uid, user.pw_gid)
    try:
        with open(_display_lock_path(), "a") as lock:
            fcntl.flock(lock, fcntl.LOCK_SH)
            machine = Machine(pristine_prefix(prefix_cache, request.param, tmp_path),
                              request.param, "en", work, build)
            machine.run_as(user.pw_uid, user.pw_gid)
            # The display's key, where that user can read it.
            if os.environ.get("XAUTHORITY"):
                key = work / "Xauthority"
                shutil.copy(os.environ["XAUTHORITY"], key)
                os.chown(key, user.pw_uid, user.pw_gid)
                machine.env["XAUTHORITY"] = str(key)
            try:
                machine.start()
                yield machine
            finally:
                machine.stop(keep=os.environ.get("VESPODAR_E2E_KEEP") == "1")
    finally:
        if os.environ.get("VESPODAR_E2E_KEEP") != "1":
            shutil.rmtree(work, ignore_errors=True)
