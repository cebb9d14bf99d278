"""Guarded updates of each kind of the product's files, built with the team's
build command (scripts/build-update.sh --guard) and run through the real
setup: a newer installed file is replaced by the older package only after the
user agreed; an older one, or one without a readable version, is replaced
through the temporary file without a question."""
import re
from dataclasses import dataclass
from pathlib import Path
from typing import Callable, Dict

import pytest

from checks import assert_marker, tree
from pictures import Picture
from expected import (PROGRESS_WINDOW, EXIT_DECLINED, EXIT_FAILURE, EXIT_RESTART_REQUIRED, EXIT_SUCCESS,
                      downgrade_question,
                      install_error_box, install_question, language_file_error_box,
                      launch_question)
from updates import TITLE, build_update, deploy_notes, guarded_options
from wine_machine import windows_join

PAYLOAD = bytes(range(256)) * 64
PENDING_KEY = r"HKLM\SYSTEM\CurrentControlSet\Control\Session Manager"
# The suite's display (run_e2e.sh) and the progress window's outer size.
SCREEN = (1024, 768)
PROGRESS_SIZE = (408, 76)
GREY = (128, 128, 128)
# The progress window comes up on its own thread, just after the box that
# follows the question; the scripted user gives it this long.
LOOK_MS = 300


def cok(version: int) -> bytes:
    return b"vdq\x00\x00" + version.to_bytes(2, "little") + PAYLOAD


def pak(version: int) -> bytes:
    return b"VPAK\x00\x00" + version.to_bytes(2, "little") + PAYLOAD


def three_bs(version: int) -> bytes:
    return b"V3BS\x00\x00" + bytes([version]) + PAYLOAD


def lng(version) -> bytes:
    return f"[langver]\r\n{version}\r\n[soundquest]\r\nQuestion\r\n".encode()


@dataclass
class Kind:
    file_name: str                      # as in the product directory
    make: Callable[[object], bytes]     # a file of that kind with a version
    package_version: object             # the version the update carries
    older: object                       # an installed version not newer
    newer: object
    short: bytes                        # too short to hold a version: 0


def stand_in_exe(build: Path, version) -> bytes:
    name = "Vespodar.exe" if version is None else f"Vespodar-{version}.exe"
    return (build / "tests" / name).read_bytes()


KINDS: Dict[str, Kind] = {
    "cok": Kind("vdq2.cok", cok, 5, 4, 9, b"vdq\x00"),
    "pak": Kind("world.pak", pak, 5, 5, 300, b"VPAK\x00\x00\x07"),
    "3bs": Kind("scene.3bs", three_bs, 5, 4, 9, b"V3BS\x00\x00"),
    "lng": Kind("english.lng", lng, 5, 4, 9, b""),
    # The product's own executable: FileVersion texts.
    "exe": Kind("Vespodar.exe", None, "2.0.0.0", "2.0.0.0", "3.0.0.0", b"MZ"),
}


def content(build: Path, kind: Kind, version) -> bytes:
    if kind.make is None:
        data = stand_in_exe(build, version)
        # The same version with other bytes: a replacement can be seen.
        return data if version == kind.package_version else data + b"\0" * 512
    return kind.make(version)


@pytest.fixture(scope="session")
def guarded(build):
    """The guarded update of each kind, built once for the whole suite."""
    setups = {}
    for name, kind in KINDS.items():
        folder = build / "guarded" / name
        folder.mkdir(parents=True, exist_ok=True)
        source = folder / kind.file_name
        source.write_bytes(content(build, kind, kind.package_version))
        result = build_update(source, folder / "out", *guarded_options())
        assert result.ok, result.output
        setups[name] = result
    return setups


def display_name(kind: Kind) -> str:
    return TITLE + str(kind.package_version).split(".")[0]


def progress_windows(box):
    return [w for w in box.windows if w["class"] == PROGRESS_WINDOW]


def assert_no_temporary_file(product, kind):
    # Its name is the file's with "~" in front and a fresh tag behind.
    left = [p.name for p in product.path.iterdir() if p.name.startswith("~" + kind.file_name)]
    assert not left, f"the temporary file was left: {left}"


def install(machine, build, kind, installed: bytes, directory: str = None):
    product = machine.install_product(
        directory or windows_join(machine.program_files, "Vespodar"))
    (product.path / kind.file_name).write_bytes(installed)
    return product


def assert_progress_window_on_screen(screen, present):
    """The progress window is drawn where it stands: along its bottom edge,
    below the progress bar, the screen shows its grey background (the stock
    grey brush). Only the ends of that edge are looked at: the box in the
    middle of the screen is narrower than the window, and which of the two is
    drawn in front differs from run to run under Wine."""
    picture = Picture.read(screen)
    assert (picture.width, picture.height) == SCREEN
    left = (SCREEN[0] - PROGRESS_SIZE[0]) // 2
    top = (SCREEN[1] - PROGRESS_SIZE[1]) // 2
    right = left + PROGRESS_SIZE[0]
    for start, end in ((left + 8, left + 40), (right - 40, right - 8)):
        band = [row[start:end] for row in picture.rows[top + 66:top + 71]]
        colour = Picture.dominant([pixel for row in band for pixel in row])
        assert (colour == GREY) == present, \
            f"{screen}: {colour} along the progress window's edge at x {start}-{end}"


def assert_size_recorded(machine, product):
    entry = machine.uninstall_entry()
    assert entry.get("EstimatedSize") == ("REG_DWORD", product.tree_size_kib()), entry


# The "cok" cases take pictures of the screen: they have the display to
# themselves, or another case's box could stand in the picture.
@pytest.mark.parametrize(
    "name", [pytest.param(name, marks=pytest.mark.screen) if name == "cok" else name
             for name in KINDS])
class TestEveryKind:
    def test_build_reads_the_version_from_the_file(self, guarded, name, build):
        kind = KINDS[name]
        check = guarded[name].check
        assert check["package"].startswith(kind.file_name.lower()), check
        assert check["version"] == str(kind.package_version)
        assert check["size"] == f"{len(content(build, kind, kind.package_version))} bytes"

    def test_older_or_equal_installed_file_is_replaced_without_a_question(
            self, machine_pair, guarded, build, name):
        kind = KINDS[name]
        product = install(machine_pair, build, kind, content(build, kind, kind.older))
        before = tree(product.path)

        run = machine_pair.run_setup(answers=("yes", "no"), setup=guarded[name].setup,
                                     look_ms=LOOK_MS, shots=name == "cok")

        assert run.shown() == [install_question(machine_pair.lang, display_name(kind)),
                               launch_question(display_name(kind))]
        assert run.exit_code == EXIT_SUCCESS
        assert product.read(kind.file_name) == content(build, kind, kind.package_version)
        assert tree(product.path) == before
        assert_size_recorded(machine_pair, product)
        # What the build told the administrator to detect is what the setup wrote.
        notes = deploy_notes(guarded[name].setup.parent / "VespodarUpdate.deploy.txt")
        entry = machine_pair.uninstall_entry()
        assert entry.get(notes["detection value name"]) == (
            "REG_DWORD", int(notes["detection version"])), entry
        assert entry.get(notes["exact match value name"]) == (
            "REG_SZ", notes["exact match sha256"]), entry
        # No question, no progress window.
        assert progress_windows(run.boxes[1]) == []
        if name == "cok":
            assert_progress_window_on_screen(run.boxes[1].screen, False)

    def test_newer_installed_file_is_kept_on_no_and_replaced_on_yes(
            self, machine_pair, guarded, build, name):
        kind = KINDS[name]
        newer = content(build, kind, kind.newer)
        product = install(machine_pair, build, kind, newer)
        before = tree(product.path)
        target = windows_join(product.windows_dir, kind.file_name)
        question = downgrade_question(machine_pair.lang, target, str(kind.newer),
                                      str(kind.package_version))
        boxes = [install_question(machine_pair.lang, display_name(kind)), question,
                 launch_question(display_name(kind))]

        # One kind is enough for the screen's pictures.
        kept = machine_pair.run_setup(answers=("yes", "no", "no"), setup=guarded[name].setup,
                                      look_ms=LOOK_MS, shots=name == "cok")

        assert kept.shown() == boxes
        assert kept.exit_code == EXIT_DECLINED
        assert product.read(kind.file_name) == newer
        assert tree(product.path) == before
        assert_no_temporary_file(product, kind)
        assert_size_recorded(machine_pair, product)
        # Hidden while the question is up; shown again, with empty texts and
        # centred on the screen, once it has been asked.
        assert progress_windows(kept.boxes[1]) == []
        shown = progress_windows(kept.boxes[2])
        assert len(shown) == 1, kept.boxes[2].windows
        left = (SCREEN[0] - PROGRESS_SIZE[0]) // 2
        top = (SCREEN[1] - PROGRESS_SIZE[1]) // 2
        assert shown[0]["rect"] == [left, top, left + PROGRESS_SIZE[0], top + PROGRESS_SIZE[1]]
        assert shown[0]["title"] == "" and set(shown[0]["texts"]) <= {""}, shown[0]
        if name == "cok":
            assert_progress_window_on_screen(kept.boxes[2].screen, True)

        replaced = machine_pair.run_setup(answers=("yes", "yes", "no"),
                                          setup=guarded[name].setup)

        assert replaced.shown() == boxes
        assert replaced.exit_code == EXIT_SUCCESS
        assert product.read(kind.file_name) == content(build, kind, kind.package_version)
        assert tree(product.path) == before

    def test_installed_file_without_a_readable_version_counts_as_0(
            self, machine_pair, guarded, build, name):
        kind = KINDS[name]
        product = install(machine_pair, build, kind, kind.short)
        before = tree(product.path)

        run = machine_pair.run_setup("modest", answers=("ok",), setup=guarded[name].setup)

        target = windows_join(product.windows_dir, kind.file_name)
        # A language file that holds no version is reported; the others are
        # simply taken as version 0.
        expected = [language_file_error_box(target, machine_pair.lang)] if name == "lng" else []
        assert run.shown() == expected
        assert run.exit_code == EXIT_SUCCESS
        assert product.read(kind.file_name) == content(build, kind, kind.package_version)
        assert tree(product.path) == before


@pytest.mark.parametrize("switch,exit_code", [("modest", EXIT_DECLINED), ("/quiet", EXIT_SUCCESS)])
def test_silent_run_keeps_a_newer_installed_file_without_asking(machine_pair, guarded, build,
                                                                switch, exit_code):
    """Unattended, the machine already has what the update brings, or newer:
    a success, or every deployment tool would run it again each day. The
    marker names the file kept."""
    kind = KINDS["pak"]
    newer = content(build, kind, kind.newer)
    product = install(machine_pair, build, kind, newer)
    before = tree(product.path)

    run = machine_pair.run_setup(switch, setup=guarded["pak"].setup, look_ms=LOOK_MS)

    assert run.shown() == []
    assert run.exit_code == exit_code
    assert product.read(kind.file_name) == newer
    assert tree(product.path) == before
    assert_size_recorded(machine_pair, product)
    assert_marker(machine_pair.uninstall_entry(), kind.file_name, newer, kind.newer)


def test_language_file_under_a_path_with_an_exclamation_mark_is_always_replaced(
        machine_en, guarded, build):
    kind = KINDS["lng"]
    directory = windows_join(machine_en.program_files, "Games!", "Vespodar")
    product = install(machine_en, build, kind, lng(99), directory)

    run = machine_en.run_setup("modest", setup=guarded["lng"].setup)

    assert run.shown() == []
    assert run.exit_code == EXIT_SUCCESS
    assert product.read(kind.file_name) == lng(5)


def test_installed_executable_without_file_version_is_replaced_without_a_question(
        machine_en, guarded, build):
    kind = KINDS["exe"]
    product = install(machine_en, build, kind, stand_in_exe(build, None))

    run = machine_en.run_setup("modest", setup=guarded["exe"].setup)

    assert run.shown() == []
    assert run.exit_code == EXIT_SUCCESS
    assert product.read(kind.file_name) == stand_in_exe(build, "2.0.0.0")


@pytest.fixture(scope="session")
def unparsable_language_update(build):
    folder = build / "guarded" / "lng-unparsable"
    folder.mkdir(parents=True, exist_ok=True)
    source = folder / "english.lng"
    source.write_bytes(b"[soundquest]\r\nQuestion\r\n")
    result = build_update(source, folder / "out", *guarded_options(version="7"))
    assert result.ok, result.output
    return source.read_bytes(), result.setup


def test_package_language_file_without_version_is_reported_with_its_temporary_path(
        machine_pair, unparsable_language_update):
    package, setup = unparsable_language_update
    product = install(machine_pair, None, KINDS["lng"], lng(3))
    target = windows_join(product.windows_dir, "english.lng")

    run = machine_pair.run_setup(answers=("yes", "ok", "yes", "no"), setup=setup)

    # The temporary file's name carries a fresh tag: the box tells which.
    shown = run.shown()
    tag = re.search(r"~english\.lng\.[a-z]{8}\.tmp", shown[1][1] if len(shown) > 1 else "")
    assert tag, shown
    temporary = windows_join(product.windows_dir, tag.group(0))
    assert shown == [
        install_question(machine_pair.lang, TITLE + "7"),
        language_file_error_box(temporary, machine_pair.lang),
        downgrade_question(machine_pair.lang, target, "3", "0"),
        launch_question(TITLE + "7"),
    ]
    assert run.exit_code == EXIT_SUCCESS
    assert product.read("english.lng") == package
    assert_no_temporary_file(product, KINDS["lng"])


def test_kind_the_guard_does_not_know_is_written_straight(machine_en, build):
    folder = build / "guarded" / "txt"
    folder.mkdir(parents=True, exist_ok=True)
    source = folder / "notes.txt"
    source.write_bytes(b"version 1 of the notes\r\n" * 50)
    result = build_update(source, folder / "out", *guarded_options(version="1"))
    assert result.ok, result.output
    product = machine_en.install_product(windows_join(machine_en.program_files, "Vespodar"))
    (product.path / "notes.txt").write_bytes(b"[langver]\r\n99\r\n")
    before = tree(product.path)

    run = machine_en.run_setup("modest", setup=result.setup)

    assert run.shown() == []
    assert run.exit_code == EXIT_SUCCESS
    assert product.read("notes.txt") == source.read_bytes()
    assert tree(product.path) == before


def test_guarded_write_over_a_held_file_fails_whole(machine_pair, guarded, build):
    kind = KINDS["cok"]
    installed = content(build, kind, kind.older)
    product = install(machine_pair, build, kind, installed)
    before = tree(product.path)
    target = windows_join(product.windows_dir, kind.file_name)
    run = machine_pair.run_setup_while_held(target, "modest", answers=("ok",),
                                            setup=guarded["cok"].setup)

    assert run.shown() == [install_error_box(target, machine_pair.lang)]
    assert run.exit_code == EXIT_FAILURE
    assert product.read(kind.file_name) == installed
    assert tree(product.path) == before, "the temporary file was left"


def test_guarded_quiet_run_over_a_held_file_is_replaced_at_the_restart(machine_pair, guarded,
                                                                       build):
    """The guarded write is the same write: a target held for the whole run
    waits for the restart (3010), as in a setup without the guard."""
    kind = KINDS["cok"]
    installed = content(build, kind, kind.older)
    product = install(machine_pair, build, kind, installed)
    target = windows_join(product.windows_dir, kind.file_name)
    run = machine_pair.run_setup_while_held(target, "/quiet", setup=guarded["cok"].setup,
                                            settle_ms=0)

    assert run.shown() == []
    assert run.exit_code == EXIT_RESTART_REQUIRED
    assert product.read(kind.file_name) == installed, "the old file was damaged"
    pending = (machine_pair.reg_key(PENDING_KEY) or {}).get("PendingFileRenameOperations")
    assert pending and pending[0] == "REG_MULTI_SZ", pending
    assert_size_recorded(machine_pair, product)

    # Wine carries out pending renames at its restart, as Windows at boot.
    assert machine_pair.wine("wineboot", "-r", what="wineboot") == 0
    assert product.read(kind.file_name) == content(build, kind, kind.package_version)
    assert_no_temporary_file(product, kind)
