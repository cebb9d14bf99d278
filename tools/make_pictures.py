#!/usr/bin/env python3
"""Makes the pictures of every box a user of the setup can meet, in English
and in Russian, for the README.

    /usr/bin/python3 tools/make_pictures.py BUILD_DIR OUT_DIR [--work DIR]

Run it under a display of its own (scripts/make-pictures.sh does): another
program's window over a box would be in its picture. Each picture comes from
a real run of the built setup on a stand-in installation, prepared the way
the end-to-end tests prepare the situation that leads to the box, on Wine's
virtual desktop so that the title bar is in the picture, with Wine's own
Tahoma and Marlett, the fonts of a Windows box of the XP era. A run that does not
show the expected box stops the script: a picture of the wrong box must never
reach the README.
"""
import argparse
import os
import shutil
import sys
from pathlib import Path
from typing import Callable, Dict, List, NamedTuple, Tuple

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests" / "e2e"))

from expected import (INSTALL_QUESTION, LAUNCH_QUESTION, PROGRESS_WINDOW,  # noqa: E402
                      error_box, install_error_box)
from pictures import to_png  # noqa: E402
from updates import TITLE, build_update, write_large_cok  # noqa: E402
from wine_machine import (UNINSTALL_KEY, Machine, oversized_copy, pristine_prefix,  # noqa: E402
                          windows_join)

# Few colours keep a picture a few KB; the boxes' anti-aliased text stays
# readable with this many.
COLOURS = 32


class Situation(NamedTuple):
    """What leads to some boxes: how to prepare the machine, how to answer,
    and which boxes of the run to keep, by index, under which name."""
    prepare: Callable[[Machine, Path], dict]  # gives run_setup's keyword arguments
    answers: Tuple[str, ...]
    keep: Dict[int, str]
    expected: Callable[[Machine], List[tuple]]  # the boxes the run must show


def _product_dir(machine: Machine) -> str:
    return windows_join(machine.program_files, "Vespodar")


def _installed(machine: Machine, _setups: Path) -> dict:
    machine.install_product(_product_dir(machine))
    return {}


def _no_rights(machine: Machine, _setups: Path) -> dict:
    machine.install_product(_product_dir(machine))
    machine.take_away_rights()
    return {}


def _product_missing(machine: Machine, _setups: Path) -> dict:
    machine.install_product(_product_dir(machine), with_exe=False)
    return {}


def _install_fails(machine: Machine, _setups: Path) -> dict:
    # A folder where the file belongs: the file cannot be written there.
    target = machine.install_product(_product_dir(machine)).path / "vdq2.cok"
    target.unlink()
    target.mkdir()
    return {}


def _registry_error(machine: Machine, _setups: Path) -> dict:
    machine.install_product(_product_dir(machine), register=False)
    machine.reg_add(UNINSTALL_KEY, "UninstallString", "5", kind="REG_DWORD")
    return {}


def _distorted(machine: Machine, setups: Path) -> dict:
    machine.install_product(_product_dir(machine))
    damaged = bytearray((machine.build / "VespodarUpdate.exe").read_bytes())
    damaged[-1] ^= 0x01
    path = setups / "distorted.exe"
    path.write_bytes(damaged)
    return {"setup": path}


def _unreadable(machine: Machine, setups: Path) -> dict:
    machine.install_product(_product_dir(machine))
    return {"setup": oversized_copy(machine.build / "VespodarUpdate.exe", setups / "oversized.exe")}


def _target(machine: Machine) -> str:
    return windows_join(_product_dir(machine), "vdq2.cok")


SITUATIONS = {
    "questions": Situation(
        _installed, ("yes", "yes"), {0: "install-question", 1: "launch-question"},
        lambda m: [INSTALL_QUESTION[m.lang], LAUNCH_QUESTION]),
    "no-rights": Situation(_no_rights, ("ok",), {0: "no-rights"},
                           lambda m: [error_box("no_rights", m.lang)]),
    "product-missing": Situation(_product_missing, ("ok",), {0: "product-missing"},
                                 lambda m: [error_box("product_missing", m.lang)]),
    "install-failed": Situation(
        _install_fails, ("yes", "ok", "no"), {1: "install-failed"},
        lambda m: [INSTALL_QUESTION[m.lang], install_error_box(_target(m), m.lang),
                   LAUNCH_QUESTION]),
    "registry-error": Situation(_registry_error, ("ok",), {0: "registry-error"},
                                lambda m: [error_box("registry", m.lang)]),
    "distorted": Situation(_distorted, ("ok",), {0: "distorted"},
                           lambda m: [error_box("distorted", m.lang)]),
    "unreadable": Situation(_unreadable, ("ok",), {0: "unreadable"},
                            lambda m: [error_box("unreadable", m.lang)]),
}

# The launch question is the same for every user (Russian text, English
# caption): one picture of it is enough.
SAME_FOR_EVERY_USER = {"launch-question"}


def make(build: Path, out: Path, work: Path, cache: Path, arch: str = "win32") -> List[Path]:
    made = []
    out.mkdir(parents=True, exist_ok=True)
    for lang in ("en", "ru"):
        for name, situation in SITUATIONS.items():
            case = work / f"{name}-{lang}"
            shutil.rmtree(case, ignore_errors=True)
            case.mkdir(parents=True)
            machine = Machine(pristine_prefix(cache, arch, case), arch, lang, case, build)
            machine.start()
            try:
                machine.add_wine_fonts()
                machine.use_virtual_desktop()
                run = machine.run_setup(answers=situation.answers, settle_ms=0, shots=True,
                                        **situation.prepare(machine, case))
            finally:
                machine.stop()
            expected = situation.expected(machine)
            if run.shown() != expected:
                raise SystemExit(f"{name} ({lang}) showed {run.shown()}, not {expected}; "
                                 f"see {run.artifacts}")
            for index, picture in situation.keep.items():
                if picture in SAME_FOR_EVERY_USER:
                    if lang != "en":
                        continue
                    target = out / f"{picture}.png"
                else:
                    target = out / f"{picture}-{lang}.png"
                to_png(run.boxes[index].picture, target, colours=COLOURS)
                made.append(target)
                print(f"{target}  ({name}, {lang}, exit code {run.exit_code})", flush=True)
            # Kept only when something went wrong; the oversized setup would
            # fill a disk when copied without its holes.
            shutil.rmtree(case)
    return made


def make_progress(build: Path, out: Path, work: Path, cache: Path, arch: str = "win32") -> Path:
    """The progress window half-way through the write of a compressed update
    of 1 GiB, built with scripts/build-update.sh --compress."""
    case = work / "progress"
    shutil.rmtree(case, ignore_errors=True)
    case.mkdir(parents=True)
    content = case / "vdq2.cok"
    write_large_cok(content, 1024, 8)
    update = build_update(content, case / "update", "--title", TITLE, "--compress")
    content.unlink()
    if not update.ok:
        raise SystemExit(f"the 1 GiB update was not built:\n{update.output}")
    machine = Machine(pristine_prefix(cache, arch, case), arch, "en", case, build)
    machine.start()
    try:
        machine.add_wine_fonts()
        machine.use_virtual_desktop()
        run = machine.run_setup(answers=("yes", "no"), settle_ms=0, shots=True, timeout_s=300,
                                watch=PROGRESS_WINDOW, setup=update.setup,
                                **_installed(machine, case))
    finally:
        machine.stop()
    taken = [seen for seen in run.watched if seen.get("picture") and seen["position"] < 100]
    if run.exit_code != 0 or not taken:
        raise SystemExit(f"no picture of the progress window on the way: {run.watched}; "
                         f"see {run.artifacts}")
    middle = min(taken, key=lambda seen: abs(seen["position"] - 50))
    target = out / "progress.png"
    to_png(middle["picture"], target, colours=COLOURS)
    print(f"{target}  (the write at {middle['position']} %)", flush=True)
    shutil.rmtree(case)
    return target


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("build", type=Path, help="the win32 build (VespodarUpdate.exe, tests/)")
    parser.add_argument("out", type=Path, help="where the PNGs go")
    parser.add_argument("--work", type=Path, help="scratch directory (default BUILD/pictures)")
    args = parser.parse_args()
    if not os.environ.get("DISPLAY"):
        raise SystemExit("no DISPLAY: the boxes need one (run under xvfb-run)")
    build = args.build.resolve()
    cache = Path(os.environ.get("VESPODAR_PREFIX_CACHE",
                                Path.home() / ".cache" / "vespodar-prefixes"))
    work = (args.work or build / "pictures").resolve()
    make(build, args.out.resolve(), work, cache)
    make_progress(build, args.out.resolve(), work, cache)


if __name__ == "__main__":
    main()
