"""Deployment as administrators run it: the switches, nobody to answer a box,
the log, a file still in use replaced at the next restart, a running product
left alone until the update will really be written.

What Wine cannot show: it runs every program as an elevated administrator of
one session, never as SYSTEM in session 0 and without user account control,
so the start in the console user's session and the start refused when only
the setup's elevated rights would make it are covered by the unit test of the
choice (setup/product_test.cpp) alone; and its Restart Manager names no
holder of a file ("in use by: unknown")."""
import os
import re
import time

import pytest

from checks import (assert_marker, assert_not_started, assert_started_from, assert_untouched,
                    assert_updated, cok_version, tree)
from expected import (EXIT_ALREADY_RUNNING, EXIT_DECLINED, EXIT_DISTORTED, EXIT_FAILURE, EXIT_INVALID_PARAMETER,
                      EXIT_NO_RIGHTS, EXIT_PRODUCT_MISSING, EXIT_RESTART_REQUIRED, EXIT_SUCCESS,
                      INSTALL_QUESTION, error_box, usage_box)
from wine_machine import UNINSTALL_KEY, windows_join

PENDING_KEY = r"HKLM\SYSTEM\CurrentControlSet\Control\Session Manager"
STAGING_PREFIX = "~vdq2.cok."


def _default_product(machine, **kwargs):
    return machine.install_product(windows_join(machine.program_files, "Vespodar"), **kwargs)


def _distorted_copy(build, tmp_path):
    data = bytearray((build / "VespodarUpdate.exe").read_bytes())
    data[len(data) // 2] ^= 0x01  # inside the package, which the check covers
    path = tmp_path / "distorted.exe"
    path.write_bytes(bytes(data))
    return path


def _read_log(path):
    raw = path.read_bytes()
    assert raw.startswith(b"\xef\xbb\xbf"), "the log does not begin with a byte order mark"
    return raw[3:].decode("utf-8").splitlines()


def _provoke(kind, machine, build, tmp_path):
    """Sets the machine up for one failure; returns the setup to run."""
    if kind == "no rights":
        _default_product(machine)
        machine.take_away_rights()
    elif kind == "registry":
        _default_product(machine, register=False)
        machine.reg_add(UNINSTALL_KEY, "UninstallString", "5", kind="REG_DWORD")
    elif kind == "distorted":
        _default_product(machine)
        return _distorted_copy(build, tmp_path)
    elif kind == "no product":
        pass
    elif kind == "directory":
        # The target's name is taken by a directory: the write fails.
        product = _default_product(machine)
        os.remove(product.path / "vdq2.cok")
        (product.path / "vdq2.cok").mkdir()
    return None


FAILURES = {
    "no rights": (EXIT_NO_RIGHTS, "no right to change machine-wide settings"),
    "registry": (EXIT_FAILURE, "registry error"),
    "distorted": (EXIT_DISTORTED, "own file check: not intact"),
    "no product": (EXIT_PRODUCT_MISSING, "product executable missing"),
    "directory": (EXIT_FAILURE, "package not written: error 336"),
}


@pytest.mark.parametrize("kind", FAILURES)
def test_quiet_failure_shows_no_box_and_logs_the_step(machine_pair, build, tmp_path, kind):
    machine = machine_pair
    setup = _provoke(kind, machine, build, tmp_path)
    log = tmp_path / "update.log"

    run = machine.run_setup("/quiet", "/log=" + machine.windows_path(log), setup=setup,
                            settle_ms=0)

    code, step = FAILURES[kind]
    assert run.shown() == []
    assert run.exit_code == code
    lines = _read_log(log)
    assert any(line[24:].startswith(step) for line in lines), lines
    assert lines[-1][24:].startswith(f"exit code {code}: "), lines


class TestHiddenStation:
    """Started where nobody sees a box (a service, SYSTEM in session 0): no
    box, and the run ends by itself with its code."""

    def test_interactive_run_is_not_answered_and_writes_nothing(self, machine_pair):
        machine = machine_pair
        product = _default_product(machine)
        entry = machine.uninstall_entry()

        result = machine.run_on_hidden_station()

        assert result["station_visible"] is False
        assert (result["status"], result["exit_code"]) == ("exited", EXIT_DECLINED)
        assert_untouched(machine, product, entry)

    @pytest.mark.parametrize("arguments", [("modest",), ()], ids=["modest", "interactive"])
    def test_a_failure_ends_with_its_code(self, machine_pair, arguments):
        result = machine_pair.run_on_hidden_station(*arguments)

        assert (result["status"], result["exit_code"]) == ("exited", EXIT_PRODUCT_MISSING)


def test_target_held_for_the_whole_run_is_replaced_at_the_restart(machine_pair, package, tmp_path):
    machine = machine_pair
    product = _default_product(machine)
    target = windows_join(product.windows_dir, "vdq2.cok")
    log = tmp_path / "update.log"
    run = machine.run_setup_while_held(target, "/quiet", "runapp", "/log",
                                       machine.windows_path(log), settle_ms=0)

    assert run.shown() == []
    assert run.exit_code == EXIT_RESTART_REQUIRED
    assert product.read("vdq2.cok") == product.files["vdq2.cok"], "the old file was damaged"
    staging = [name for name in os.listdir(product.path) if name.startswith(STAGING_PREFIX)]
    assert len(staging) == 1, staging
    assert (product.path / staging[0]).read_bytes() == package
    pending = (machine.reg_key(PENDING_KEY) or {}).get("PendingFileRenameOperations")
    assert pending and pending[0] == "REG_MULTI_SZ", pending
    pairs = list(zip(pending[1][0::2], pending[1][1::2]))
    assert any(source.lower().endswith(staging[0].lower()) and
               destination.lower().endswith(target.lower()[2:]) for source, destination in pairs), pairs
    entry = machine.uninstall_entry()
    assert entry.get("EstimatedSize") == ("REG_DWORD", product.tree_size_kib()), entry
    assert_marker(entry, "vdq2.cok", package, cok_version(package))  # the pending file
    assert_not_started(product)
    lines = [line[24:] for line in _read_log(log)]
    assert "replacement at the next restart: scheduled" in lines, lines
    assert any(line.startswith("in use by: ") for line in lines), lines

    # Wine carries out pending renames at its restart, as Windows at boot.
    assert machine.wine("wineboot", "-r", what="wineboot") == 0
    assert product.read("vdq2.cok") == package
    assert not (product.path / staging[0]).exists()


def test_second_run_while_one_is_under_way_ends_with_1618(machine_pair, package, tmp_path):
    """Deployment tools retry 1618: the second run writes nothing and waits for
    nothing, the first goes on (here to the restart, its target held), and
    both append whole lines to the one log."""
    machine = machine_pair
    product = _default_product(machine)
    target = windows_join(product.windows_dir, "vdq2.cok")
    log = tmp_path / "update.log"
    arguments = ("/quiet", "/log=" + machine.windows_path(log))
    holder = machine.hold_file(target)
    try:
        first = machine.start_setup(*arguments, settle_ms=0)
        # The first run retries its held target for seconds once its staging
        # file is there: the second starts meanwhile.
        deadline = time.monotonic() + 60
        while not any(name.startswith(STAGING_PREFIX) for name in os.listdir(product.path)):
            assert time.monotonic() < deadline, "the first run wrote no staging file"
            time.sleep(0.05)
        second = machine.run_setup(*arguments, settle_ms=0)
        staged = [name for name in os.listdir(product.path) if name.startswith(STAGING_PREFIX)]
        first = first.wait()
    finally:
        holder.kill()
        holder.wait(timeout=60)

    assert second.shown() == [] and first.shown() == []
    assert second.exit_code == EXIT_ALREADY_RUNNING, _read_log(log)
    assert first.exit_code == EXIT_RESTART_REQUIRED, _read_log(log)
    assert len(staged) == 1, f"the second run staged a file too: {staged}"
    lines = _read_log(log)
    assert all(re.match(r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} ", line) for line in lines), lines
    said = [line[24:] for line in lines]
    assert said.count("exit code 1618: another run is under way") == 1
    assert said.count("exit code 3010: success, replaced at the next restart") == 1, said


def test_product_directory_cannot_be_swapped_while_the_setup_works_in_it(machine_pair, package,
                                                                          tmp_path):
    """A user who may write the product directory renames it (to put a
    junction in its place) while the setup waits for a held target: the
    setup holds the directory, so the rename fails, and the package lands in
    the real directory."""
    machine = machine_pair
    product = _default_product(machine)
    target = windows_join(product.windows_dir, "vdq2.cok")
    log = tmp_path / "update.log"
    # Holds the target until the setup's staging file is there, tries the
    # rename, then lets go while the setup still retries.
    holder = machine.hold_file(target, rename_directory=product.windows_dir)
    try:
        run = machine.run_setup("/quiet", "/log=" + machine.windows_path(log), settle_ms=0)
        rename_error = holder.wait(timeout=60)
    finally:
        if holder.poll() is None:
            holder.kill()

    assert rename_error == 32, f"the rename ended with {rename_error} (32: sharing violation)"
    assert not (product.path.parent / (product.path.name + "-moved")).exists()
    assert run.shown() == []
    assert run.exit_code == EXIT_SUCCESS, _read_log(log)
    assert product.read("vdq2.cok") == package
    assert not [name for name in os.listdir(product.path) if name.startswith(STAGING_PREFIX)]


def test_uninstall_entry_that_refuses_full_access_is_a_registry_failure(machine_pair, package):
    """Only an entry that is not there means "no entry": one that is there but
    refuses full access is reported, after the package was written."""
    machine = machine_pair
    product = _default_product(machine)
    machine.take_away_rights(key=UNINSTALL_KEY.split("\\", 1)[1])

    run = machine.run_setup("modest", answers=("ok",))

    assert run.shown() == [error_box("registry", machine.lang)]
    assert run.exit_code == EXIT_FAILURE
    assert product.read("vdq2.cok") == package


def test_no_to_the_question_leaves_the_running_product_running(machine_pair):
    machine = machine_pair
    product = _default_product(machine, settings={"hold": "vdq2.cok"})
    entry = machine.uninstall_entry()
    running = machine.start_product(product)
    try:
        run = machine.run_setup(answers=("no",), settle_ms=0)

        assert run.shown() == [INSTALL_QUESTION[machine.lang]]
        assert run.exit_code == EXIT_DECLINED
        assert running.poll() is None, "the product was ended"
        assert "quit" not in product.log_lines(), product.log_lines()
        assert_untouched(machine, product, entry)
    finally:
        running.kill()
        running.wait(timeout=60)


class TestSwitches:
    @pytest.mark.parametrize("switch", ["/S", "/VERYSILENT", "-qn"])
    def test_unattended_switches_install_without_a_box(self, machine_pair, package, switch):
        machine = machine_pair
        product = _default_product(machine)
        before = tree(product.path)

        run = machine.run_setup(switch, "/norestart", settle_ms=0)

        assert run.shown() == []
        assert run.exit_code == EXIT_SUCCESS
        assert_updated(machine, product, package, before)
        assert_not_started(product)

    def test_quiet_runapp_starts_the_product(self, machine_pair, package, tmp_path):
        machine = machine_pair
        product = _default_product(machine)
        before = tree(product.path)
        log = tmp_path / "update.log"

        run = machine.run_setup("/quiet", "runapp", "/log=" + machine.windows_path(log),
                                settle_ms=0)

        assert run.shown() == []
        assert run.exit_code == EXIT_SUCCESS, _read_log(log)
        assert_updated(machine, product, package, before)
        assert product.wait_for_start(), f"the product was not started; {_read_log(log)}"
        assert_started_from(product)

    def test_log_in_a_cyrillic_directory(self, machine_pair, package, tmp_path):
        machine = machine_pair
        product = _default_product(machine)
        folder = tmp_path / "Журналы установки"
        folder.mkdir()
        log = folder / "обновление.log"
        log.write_bytes(b"\xef\xbb\xbfan earlier run\r\n")

        run = machine.run_setup("modest", "/LOG=" + machine.windows_path(log), settle_ms=0)

        assert run.exit_code == EXIT_SUCCESS
        lines = _read_log(log)
        # Appended: the earlier run's line stays first, and no second mark.
        assert lines[0] == "an earlier run"
        steps = [line[24:] for line in lines[1:]]
        assert steps[0].startswith("command line: ") and "обновление.log" in steps[0], steps
        assert any(step.startswith("package: vdq2.cok, ") and "SHA-256" in step
                   for step in steps), steps
        assert steps[-1] == "exit code 0: success", steps

    def test_log_path_that_is_no_log_file_is_refused(self, machine_pair, tmp_path):
        """Whoever writes the command line chooses the log path: one that Windows
        would run at the next logon, a pipe server's or a stream is an invalid
        parameter, and nothing is written anywhere."""
        machine = machine_pair
        product = _default_product(machine)
        entry = machine.uninstall_entry()
        folder = tmp_path / "logs"
        startup = folder / "StartUp"
        startup.mkdir(parents=True)
        bat = startup / "v.bat"

        codes = [machine.run_setup("/quiet", "/log=" + path, settle_ms=0).exit_code
                 for path in (machine.windows_path(bat), r"\\.\pipe\x",
                              machine.windows_path(folder / "u.log") + ":s")]

        assert codes == [EXIT_INVALID_PARAMETER] * 3
        assert not bat.exists()
        assert os.listdir(folder) == ["StartUp"] and os.listdir(startup) == []
        assert_untouched(machine, product, entry)

    def test_log_in_a_folder_that_does_not_exist_yet(self, machine_pair, package, tmp_path):
        machine = machine_pair
        product = _default_product(machine)
        log = tmp_path / "Logs" / "Vespodar" / "update.log"

        run = machine.run_setup("/quiet", "/log=" + machine.windows_path(log), settle_ms=0)

        assert run.exit_code == EXIT_SUCCESS
        assert _read_log(log)[-1][24:] == "exit code 0: success"
        assert product.read("vdq2.cok") == package

    def test_command_line_breaks_never_begin_a_log_line(self, machine_pair, package, tmp_path):
        machine = machine_pair
        product = _default_product(machine)
        log = tmp_path / "update.log"

        run = machine.run_setup("/quiet", "/log=" + machine.windows_path(log),
                                "x\r\nnet localgroup administrators\r\nrem", settle_ms=0)

        assert run.exit_code == EXIT_SUCCESS
        lines = _read_log(log)
        assert all(re.match(r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} ", line) for line in lines), lines
        assert product.read("vdq2.cok") == package

    def test_usage(self, machine_pair):
        machine = machine_pair
        product = _default_product(machine)
        entry = machine.uninstall_entry()

        shown = machine.run_setup("/?", answers=("ok",), settle_ms=0)
        unknown = machine.run_setup("/x", answers=("ok",), settle_ms=0)
        unknown_quiet = machine.run_setup("/x", "/quiet", settle_ms=0)

        assert shown.shown() == [usage_box(machine.lang)]
        assert shown.exit_code == EXIT_SUCCESS
        # A mistyped switch never reaches the install question.
        assert unknown.shown() == [usage_box(machine.lang)]
        assert unknown.exit_code == EXIT_INVALID_PARAMETER
        assert unknown_quiet.shown() == []
        assert unknown_quiet.exit_code == EXIT_INVALID_PARAMETER
        assert_untouched(machine, product, entry)
