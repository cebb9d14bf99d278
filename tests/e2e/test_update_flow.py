"""The update as a user meets it: the questions, the answers, the quiet mode,
and the runs that must end before anything is written."""

import re
import subprocess

import pytest

from checks import (assert_not_started, assert_started_from, assert_untouched, assert_updated,
                    tree)
from expected import (EXIT_DECLINED, EXIT_FAILURE, EXIT_NO_RIGHTS,
                      EXIT_PRODUCT_MISSING, EXIT_SUCCESS, INSTALL_QUESTION, LAUNCH_QUESTION,
                      PRODUCT_WINDOW, error_box, install_error_box)
from wine_machine import WINE, windows_join


def _default_product(machine, **kwargs):
    return machine.install_product(windows_join(machine.program_files, "Vespodar"), **kwargs)


class TestQuestions:
    @pytest.mark.front
    def test_yes_to_both_installs_records_and_brings_the_product_up(self, machine, package):
        product = _default_product(machine)
        before = tree(product.path)

        run = machine.run_setup(answers=("yes", "yes"))

        assert run.shown() == [INSTALL_QUESTION[machine.lang], LAUNCH_QUESTION]
        assert run.exit_code == EXIT_SUCCESS
        assert_updated(machine, product, package, before)
        assert_started_from(product)
        assert run.foreground == (PRODUCT_WINDOW, False)

    def test_no_to_the_install_question_writes_nothing(self, machine):
        product = _default_product(machine)
        entry = machine.uninstall_entry()

        run = machine.run_setup(answers=("no",), settle_ms=0)

        assert run.shown() == [INSTALL_QUESTION[machine.lang]]
        assert run.exit_code == EXIT_DECLINED
        assert_untouched(machine, product, entry)
        assert_not_started(product)

    def test_no_to_the_launch_question_keeps_the_update(self, machine, package):
        product = _default_product(machine)
        before = tree(product.path)

        run = machine.run_setup(answers=("yes", "no"))

        assert run.shown() == [INSTALL_QUESTION[machine.lang], LAUNCH_QUESTION]
        assert run.exit_code == EXIT_SUCCESS
        assert_updated(machine, product, package, before)
        assert_not_started(product)


class TestCommandLine:
    @pytest.mark.parametrize("arguments", [("modest",), ("MODEST",), ("Modest", "later")],
                             ids=["modest", "MODEST", "modest-other"])
    def test_modest_asks_nothing_and_starts_nothing(self, machine, package, arguments):
        product = _default_product(machine)
        before = tree(product.path)

        run = machine.run_setup(*arguments)

        assert run.shown() == []
        assert run.exit_code == EXIT_SUCCESS
        assert_updated(machine, product, package, before)
        assert_not_started(product)

    def test_a_silent_run_loads_no_user_interface_library(self, machine, package):
        # What a silent run maps beside the setup: the core system DLLs and
        # nothing for boxes, windows or the shell, whose start-up alone cost
        # the run more than its work (Wine's comctl32 started a desktop
        # process on every run). Wine's loader lists each DLL it maps.
        product = _default_product(machine)
        before = tree(product.path)
        env = dict(machine.env, WINEDEBUG="+loaddll")
        done = subprocess.run([WINE, machine.windows_path(machine.build / "VespodarUpdate.exe"),
                               "modest"], env=env, stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=120)

        assert done.returncode == EXIT_SUCCESS, done.stderr[-2000:]
        assert_updated(machine, product, package, before)
        trace = done.stderr.decode(errors="replace")
        loaded = {name.lower() for name in re.findall(r'Loaded L"[^"]*\\\\([^"\\]+)" at', trace)}
        loaded -= {"vespodarupdate.exe"}
        assert loaded, "the loader listed nothing: the trace did not reach the test"
        assert loaded <= {"kernelbase.dll", "kernel32.dll", "msvcrt.dll", "ucrtbase.dll",
                          "sechost.dll", "advapi32.dll"}, sorted(loaded)

    @pytest.mark.front
    def test_modest_runapp_brings_a_minimised_product_to_the_front(self, machine, package):
        product = _default_product(machine, settings={"minimized": "1"})
        before = tree(product.path)

        run = machine.run_setup("modest", "RunApp")

        assert run.shown() == []
        assert run.exit_code == EXIT_SUCCESS
        assert_updated(machine, product, package, before)
        assert_started_from(product)
        # Restored from its minimised start and in front.
        assert run.foreground == (PRODUCT_WINDOW, False)

    @pytest.mark.parametrize("arguments", [("runapp",), ("runapp", "modest")],
                             ids=["runapp", "runapp-modest"])
    def test_without_modest_first_both_questions_are_asked(self, machine, package, arguments):
        product = _default_product(machine)
        before = tree(product.path)

        run = machine.run_setup(*arguments, answers=("yes", "no"))

        assert run.shown() == [INSTALL_QUESTION[machine.lang], LAUNCH_QUESTION]
        assert run.exit_code == EXIT_SUCCESS
        assert_updated(machine, product, package, before)
        assert_not_started(product)


class TestRefusals:
    def test_product_executable_missing(self, machine):
        product = _default_product(machine, with_exe=False)
        entry = machine.uninstall_entry()

        run = machine.run_setup(answers=("ok",), settle_ms=0)

        assert run.shown() == [error_box("product_missing", machine.lang)]
        assert run.exit_code == EXIT_PRODUCT_MISSING
        assert_untouched(machine, product, entry)

    def test_user_without_rights(self, machine):
        product = _default_product(machine)
        entry = machine.uninstall_entry()
        machine.take_away_rights()

        run = machine.run_setup(answers=("ok",), settle_ms=0)

        assert run.shown() == [error_box("no_rights", machine.lang)]
        assert run.exit_code == EXIT_NO_RIGHTS
        assert_untouched(machine, product, entry)
        assert_not_started(product)


class TestWriteFailure:
    def test_package_that_cannot_be_written_is_reported(self, machine):
        product = _default_product(machine)
        # A folder where the file belongs: no way to write the file there.
        target = product.path / "vdq2.cok"
        target.unlink()
        target.mkdir()
        before = tree(product.path)

        run = machine.run_setup(answers=("yes", "ok", "no"))

        assert run.shown() == [
            INSTALL_QUESTION[machine.lang],
            install_error_box(windows_join(product.windows_dir, "vdq2.cok"), machine.lang),
            LAUNCH_QUESTION,
        ]
        assert run.exit_code == EXIT_FAILURE
        assert target.is_dir()
        assert tree(product.path) == before, "the failed write left files behind"
        # The size of what is there is still recorded.
        entry = machine.uninstall_entry()
        assert entry.get("EstimatedSize") == ("REG_DWORD", product.tree_size_kib()), entry
        assert_not_started(product)
