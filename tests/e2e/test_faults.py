"""Faults of the machine around the setup: a full drive, a held file, a user
whom the file system refuses, registry values of every wrong kind, unusual
product directories, large and looping trees, two setups at once and a setup
killed while it writes. Each case checks what the user saw, the exit code and
what is left in the product directory and the registry; whenever the new
file was not written, the old one must be intact and no staging file left."""
import os
import signal
import subprocess
import time

import pytest

from checks import assert_updated, mount, small_drive, tree, unmount
from expected import (EXIT_ALREADY_RUNNING, EXIT_FAILURE, EXIT_NO_RIGHTS, EXIT_PRODUCT_MISSING,
                      EXIT_SUCCESS, INSTALL_QUESTION, LAUNCH_QUESTION, error_box,
                      install_error_box)
from wine_machine import UNINSTALL_KEY, windows_join

STAGING_PREFIX = "~vdq2.cok."
# How long a held target stays held once the setup has met it: the setup tries
# again for about five seconds.
RELEASE_AFTER_S = 1.0


def _default_product(machine, **kwargs):
    return machine.install_product(windows_join(machine.program_files, "Vespodar"), **kwargs)


def staging_files(product):
    return sorted(name for name in os.listdir(product.path) if name.startswith(STAGING_PREFIX))


def assert_write_failed(machine, product, run, before):
    """The install error box alone (the runs are modest), 1603, the old file as
    it was, nothing else in the directory, and the size of what is there
    recorded all the same."""
    target = windows_join(product.windows_dir, "vdq2.cok")
    assert run.shown() == [install_error_box(target, machine.lang)]
    assert run.exit_code == EXIT_FAILURE
    assert product.read("vdq2.cok") == product.files["vdq2.cok"], "the old file was damaged"
    assert staging_files(product) == [], "a staging file was left behind"
    assert tree(product.path) == before
    entry = machine.uninstall_entry()
    assert entry.get("EstimatedSize") == ("REG_DWORD", product.tree_size_kib()), entry


def run_quiet_update(machine, product, package, **run_options):
    """A modest run that must install: no box, exit 0, the package in place and
    the tree's size recorded."""
    before = tree(product.path)
    run = machine.run_setup("modest", settle_ms=0, **run_options)
    assert run.shown() == []
    assert run.exit_code == EXIT_SUCCESS
    assert_updated(machine, product, package, before)


class TestFileSystem:
    def test_full_drive_keeps_the_old_file(self, machine_en, tmp_path):
        machine = machine_en
        # 1 MiB: too small for the package (about 2 MiB) but not for the product.
        with small_drive(machine, tmp_path, "1m") as drive:
            product = machine.install_product(windows_join(drive, "Vespodar"))
            before = tree(product.path)

            run = machine.run_setup("modest", settle_ms=0)

            assert_write_failed(machine, product, run, before)

    def test_directory_the_user_may_not_write(self, machine_unprivileged):
        # The product directory belongs to root; Wine runs as nobody, so the
        # file system refuses the staging file as Windows refuses a user
        # without write access to Program Files.
        machine = machine_unprivileged
        product = _default_product(machine)
        before = tree(product.path)
        probe = subprocess.run(["test", "-w", str(product.path)], user=machine._as_user["user"],
                               group=machine._as_user["group"], extra_groups=[],
                               stdin=subprocess.DEVNULL)
        assert probe.returncode != 0, "the user may write the product directory"

        run = machine.run_setup("modest", settle_ms=0)

        assert_write_failed(machine, product, run, before)


class TestHeldTarget:
    """vdq2.cok held open without sharing by another program, as a scanner or a
    second copy of the product holds it."""

    def test_held_for_the_whole_run(self, machine_en):
        machine = machine_en
        product = _default_product(machine)
        before = tree(product.path)
        holder = machine.hold_file(windows_join(product.windows_dir, "vdq2.cok"))
        try:
            started = time.monotonic()
            run = machine.run_setup("modest", settle_ms=0)
            elapsed = time.monotonic() - started
            assert holder.poll() is None, "the holder let go during the run"
        finally:
            holder.kill()
            holder.wait(timeout=60)

        assert_write_failed(machine, product, run, before)
        # It was tried again for about five seconds before it gave up.
        assert elapsed >= 5, elapsed

    def test_released_while_the_setup_tries_again(self, machine_en, package):
        machine = machine_en
        product = _default_product(machine)
        before = tree(product.path)
        holder = machine.hold_file(windows_join(product.windows_dir, "vdq2.cok"))
        pending = machine.start_setup("modest", settle_ms=0)
        # The setup must meet the held file: its staging file stands ready
        # while the holder still holds the target. Only then is it let go,
        # a while later but well within the setup's five seconds of tries,
        # however long the setup took to get there.
        met_held_file = None
        try:
            while pending.process.poll() is None:
                now = time.monotonic()
                if met_held_file is None and staging_files(product):
                    met_held_file = now
                if met_held_file is not None and now - met_held_file >= RELEASE_AFTER_S:
                    if holder.poll() is None:
                        holder.kill()
                time.sleep(0.02)
            run = pending.wait()
        finally:
            holder.kill()
            holder.wait(timeout=60)

        assert met_held_file is not None, "the setup did not reach the write while the file was held"
        assert run.shown() == []
        assert run.exit_code == EXIT_SUCCESS
        assert_updated(machine, product, package, before)


class TestProductDirectory:
    def test_chinese_directory_under_a_russian_locale(self, machine_ru, package):
        machine = machine_ru
        product = machine.install_product(r"C:\游戏\Vespodar")
        before = tree(product.path)

        run = machine.run_setup(answers=("yes", "no"))

        assert run.shown() == [INSTALL_QUESTION["ru"], LAUNCH_QUESTION]
        assert run.exit_code == EXIT_SUCCESS
        assert_updated(machine, product, package, before)

    def test_uninstall_string_with_dot_components(self, machine_en, package):
        # Windows resolves ".", ".." and doubled backslashes in a plain path;
        # the long-path form the setup uses would take them literally and find
        # no product there.
        machine = machine_en
        product = machine.install_product(
            windows_join(machine.program_files, "Vespodar"),
            uninstall_string=machine.program_files + "\\Old\\..\\.\\Vespodar\\\\uninst.exe")

        run_quiet_update(machine, product, package)

    def test_directory_path_of_250_characters(self, machine_en, package):
        # The file's own path and its staging file's go past MAX_PATH.
        machine = machine_en
        directory = "C:\\Vespodar"
        while len(directory) < 250:
            directory += "\\" + "d" * min(40, 250 - len(directory) - 1)
        assert len(directory) == 250
        product = machine.install_product(directory)

        run_quiet_update(machine, product, package)


class TestSizeWalk:
    def test_hundred_thousand_files(self, machine_en, package):
        machine = machine_en
        product = _default_product(machine)
        bulk = product.path / "bulk"
        for folder in range(1000):
            directory = bulk / f"f{folder:03d}"
            directory.mkdir(parents=True)
            for number in range(100):
                (directory / f"{number:02d}.dat").write_bytes(b"v" * ((folder + number) % 7))
        assert len(tree(product.path)) > 100_000

        run_quiet_update(machine, product, package, timeout_s=300)

    def test_link_back_to_a_parent(self, machine_en, package):
        # Wine shows a Unix link to a directory as a directory with the
        # reparse-point attribute: counted once, not followed.
        machine = machine_en
        product = _default_product(machine)
        (product.path / "data" / "maps" / "loop").symlink_to("..")
        (product.path / "data" / "self").symlink_to(".")

        run_quiet_update(machine, product, package)

    def test_directory_mounted_inside_itself(self, machine_en, package):
        # A bind mount looks like a plain directory to Windows programs: the
        # walk must notice that it is the directory it came from.
        machine = machine_en
        product = _default_product(machine)
        inner = product.path / "data" / "again"
        inner.mkdir()
        (product.path / "vdq2.cok").write_bytes(package)  # the size after the update
        expected = product.tree_size_kib()
        product.path.joinpath("vdq2.cok").write_bytes(product.files["vdq2.cok"])
        mount(["--bind", str(product.path)], inner)
        try:
            assert (inner / "data" / "again").is_dir(), "the mount does not loop"
            run = machine.run_setup("modest", settle_ms=0)
        finally:
            unmount(inner)

        assert run.exit_code == EXIT_SUCCESS
        assert product.read("vdq2.cok") == package
        assert machine.uninstall_entry().get("EstimatedSize") == ("REG_DWORD", expected)


class TestConcurrency:
    def test_two_setups_at_once(self, machine_en, package):
        machine = machine_en
        product = _default_product(machine)
        before = tree(product.path)

        # The later of two overlapping runs leaves it all to the earlier one
        # (1618, no box); two that do not overlap both install.
        runs = [machine.start_setup("modest", settle_ms=0) for _ in range(2)]
        runs = [pending.wait() for pending in runs]

        for run in runs:
            assert run.exit_code in (EXIT_SUCCESS, EXIT_ALREADY_RUNNING), run.result
            assert run.shown() == []
        assert EXIT_SUCCESS in [run.exit_code for run in runs]
        assert_updated(machine, product, package, before)

    def test_setup_killed_while_it_writes(self, machine_en, package, build):
        # Killed the moment its staging file appears, again and again: the
        # installed file is the old one or the new one, whole, every time.
        # The whole write takes a few milliseconds, so on every other attempt
        # the target is held open meanwhile: the setup then waits with its
        # staging file written, and the kill surely lands before the rename.
        # Unheld, the kill lands wherever the polling finds the setup.
        machine = machine_en
        product = _default_product(machine)
        old = product.files["vdq2.cok"]
        setup = machine.windows_path(build / "VespodarUpdate.exe")
        target = windows_join(product.windows_dir, "vdq2.cok")
        outcomes = []
        for attempt in range(4):
            (product.path / "vdq2.cok").write_bytes(old)
            for name in staging_files(product):
                (product.path / name).unlink()
            held = attempt % 2 == 0
            holder = machine.hold_file(target) if held else None
            launcher = machine.wine_background(setup, "modest", what="killed-setup")
            killed = False
            deadline = time.monotonic() + 60
            while launcher.poll() is None and time.monotonic() < deadline:
                if staging_files(product):
                    for pid in machine.windows_processes("VespodarUpdate.exe") or [launcher.pid]:
                        try:
                            os.kill(pid, signal.SIGKILL)
                        except ProcessLookupError:
                            pass
                    killed = True
                    break
            launcher.wait(timeout=60)
            if holder is not None:
                holder.kill()
                holder.wait(timeout=60)
            if held:
                assert killed, "the setup ended before its staging file was seen"
            elif not killed:
                # It finished first: then it installed.
                assert launcher.returncode == EXIT_SUCCESS
            installed = product.read("vdq2.cok")
            assert installed in (old, package), (
                f"attempt {attempt}: vdq2.cok is a mixture ({len(installed)} bytes)")
            outcomes.append(("new" if installed == package else "old", staging_files(product)))
        # Whatever a killed run leaves, it is never the installed file: a
        # staging file left over has its own name, and a later run installs.
        print("killed runs:", outcomes)
        for name in staging_files(product):
            (product.path / name).unlink()
        run_quiet_update(machine, product, package)


# ---- registry values of every kind -------------------------------------------

SHELL_FOLDERS = r"Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders"
CURRENT_VERSION = r"HKLM\Software\Microsoft\Windows\CurrentVersion"
NT_CURRENT_VERSION = r"HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion"
LONG_TEXT = "C:\\" + "x" * 3997

# (key, value name, registry view, what a text of 4,000 characters stands for)
READ_VALUES = {
    "ProgramFilesDir": (CURRENT_VERSION, "ProgramFilesDir", None, LONG_TEXT),
    "CommonDesktop": ("HKLM\\" + SHELL_FOLDERS, "Common Desktop", None, LONG_TEXT),
    "CommonPrograms": ("HKLM\\" + SHELL_FOLDERS, "Common Programs", None, LONG_TEXT),
    "Programs": ("HKCU\\" + SHELL_FOLDERS, "Programs", None, LONG_TEXT),
    "Desktop": ("HKCU\\" + SHELL_FOLDERS, "Desktop", None, LONG_TEXT),
    "Startup": ("HKCU\\" + SHELL_FOLDERS, "Startup", None, LONG_TEXT),
    "UninstallString": (UNINSTALL_KEY, "UninstallString", None,
                        windows_join("C:\\", "a" * 3985, "uninst.exe")),
    "UninstallString32": (UNINSTALL_KEY, "UninstallString", 32,
                          windows_join("C:\\", "a" * 3985, "uninst.exe")),
    "ProductName": (NT_CURRENT_VERSION, "ProductName", None, "Microsoft Windows " + "x" * 3982),
}
VARIANTS = {
    "REG_DWORD": ("REG_DWORD", "5"),
    "REG_BINARY": ("REG_BINARY", "56657370"),
    "REG_MULTI_SZ": ("REG_MULTI_SZ", "C:\\a\\0C:\\b"),
    "empty": ("REG_SZ", ""),
    "long": ("REG_SZ", None),
}


def expected_outcome(value: str, variant: str):
    """What the setup's documented rules make of one value: the error box's
    kind (None: no box) and the exit code."""
    text_read_by_the_accessor = value != "ProductName"
    if variant.startswith("REG_") and text_read_by_the_accessor:
        return "registry", EXIT_FAILURE  # a non-text value where a text is read
    if value == "ProgramFilesDir" and variant == "empty":
        return "no_rights", EXIT_NO_RIGHTS  # the rights test needs a drive path
    if value.startswith("UninstallString") and variant == "long":
        return "product_missing", EXIT_PRODUCT_MISSING  # no product in that directory
    # An empty UninstallString has no directory part: the default location,
    # where the product is. The description of Windows falls back to its
    # version numbers without a readable ProductName.
    return None, EXIT_SUCCESS


@pytest.mark.parametrize("value", READ_VALUES)
def test_registry_values_of_every_kind(machine_en, package, value):
    machine = machine_en
    key, name, view, long_text = READ_VALUES[value]
    if view == 32 and not machine.win64:
        pytest.skip("a 32-bit Windows has one registry view")
    # The product where the default location points, so that an entry without
    # a directory still finds it; its entry in the view under test.
    product = _default_product(machine, entry_view=view)
    old = product.files["vdq2.cok"]
    before = tree(product.path)

    def plant(variant, kind, text):
        machine.reg_add(key, name, text, kind=kind, view=view)
        stored = stored_value()
        if kind == "REG_SZ":
            assert stored == ("REG_SZ", text), f"{variant} was not stored: {stored}"
        else:
            read_as = kind if kind in ("REG_DWORD", "REG_MULTI_SZ") else "OTHER"
            assert stored and stored[0] == read_as, stored
        return stored

    def stored_value():
        # Value names are compared without regard to case (Wine's is "StartUp").
        values = machine.reg_key(key, view) or {}
        return {k.lower(): v for k, v in values.items()}.get(name.lower())

    for variant, (kind, data) in VARIANTS.items():
        text = long_text if data is None else data
        planted = plant(variant, kind, text)
        run = machine.run_setup("modest", answers=("ok",), settle_ms=0)
        if stored_value() != planted:
            # Wine's shell writes its own path back into a shell folder value
            # whenever a program (its desktop, starting with the first
            # window) asks for that folder; the setup may then have read
            # Wine's value instead. Once the desktop is up, a second run
            # reads what was planted.
            (product.path / "vdq2.cok").write_bytes(old)
            machine.reg_delete(UNINSTALL_KEY, "EstimatedSize", view=view)
            planted = plant(variant, kind, text)
            run = machine.run_setup("modest", answers=("ok",), settle_ms=0)
            assert stored_value() == planted, f"{variant}: Wine rewrote the value again"

        box, code = expected_outcome(value, variant)
        assert run.shown() == ([error_box(box, machine.lang)] if box else []), variant
        assert run.exit_code == code, variant
        # The size goes to the entry in the view under test.
        entry = machine.uninstall_entry(view) or {}
        if code == EXIT_SUCCESS:
            assert_updated(machine, product, package, before, size_view=view)
        else:
            assert product.read("vdq2.cok") == old, variant
            assert "EstimatedSize" not in entry, variant
        # The next variant starts from the old file and no recorded size.
        (product.path / "vdq2.cok").write_bytes(old)
        machine.reg_delete(UNINSTALL_KEY, "EstimatedSize", view=view)
