"""The setup and the running product: a product that runs during the update is
told to quit, and the product the setup starts is the installed one, in front."""
import shutil

import pytest

from checks import assert_started_from, assert_updated, tree
from expected import EXIT_SUCCESS, PRODUCT_WINDOW
from wine_machine import windows_join

PRODUCT_END_TIMEOUT = 30  # seconds; the setup itself waits about ten


def _default_product(machine, **kwargs):
    return machine.install_product(windows_join(machine.program_files, "Vespodar"), **kwargs)


def test_running_product_is_told_to_quit_before_the_write(machine, package):
    # The running product holds vdq2.cok open with no sharing, as the real
    # one holds its data: the write can only succeed once it has quit.
    product = _default_product(machine, settings={"hold": "vdq2.cok"})
    before = tree(product.path)
    running = machine.start_product(product)
    assert "hold=vdq2.cok" in product.log_lines()

    run = machine.run_setup("modest", settle_ms=0)

    assert run.shown() == []
    assert run.exit_code == EXIT_SUCCESS
    assert product.wait_for_log("quit", PRODUCT_END_TIMEOUT), product.log_lines()
    running.wait(timeout=PRODUCT_END_TIMEOUT)
    assert_updated(machine, product, package, before)
    assert product.starts() == 1, "the setup was not to start the product again"


@pytest.mark.front
@pytest.mark.parametrize("decoy_at", ["current-directory", "setup-directory"])
def test_the_started_product_is_the_installed_one(machine, package, tmp_path, build, decoy_at):
    # Another Vespodar.exe where the user started the setup from must not be
    # the one that runs elevated.
    product = _default_product(machine)
    before = tree(product.path)
    decoy_dir = tmp_path / "downloads"
    decoy_dir.mkdir()
    shutil.copy(build / "tests" / "Vespodar.exe", decoy_dir / "Vespodar.exe")
    decoy_log = tmp_path / "decoy.log"
    (decoy_dir / "standin.ini").write_text(f"log={machine.windows_path(decoy_log)}\n",
                                           encoding="utf-8")
    if decoy_at == "setup-directory":
        setup = decoy_dir / "VespodarUpdate.exe"
        shutil.copy(build / "VespodarUpdate.exe", setup)
        run = machine.run_setup("modest", "runapp", setup=setup)
    else:
        run = machine.run_setup("modest", "runapp", cwd=decoy_dir)

    assert run.exit_code == EXIT_SUCCESS
    assert not decoy_log.exists(), "the decoy was started: " + decoy_log.read_text()
    assert_updated(machine, product, package, before)
    assert_started_from(product)
    assert run.foreground == (PRODUCT_WINDOW, False)


@pytest.mark.front
def test_a_product_slow_to_show_its_window_is_still_brought_to_the_front(machine_en, package):
    # The marker comes soon, the window seven seconds later: within what the
    # setup waits for it.
    machine = machine_en
    product = _default_product(machine, settings={"delay_ms": "1500", "window_delay_ms": "7000"})
    before = tree(product.path)

    run = machine.run_setup("modest", "runapp")

    assert run.exit_code == EXIT_SUCCESS
    assert product.wait_for_log("window"), product.log_lines()
    assert_updated(machine, product, package, before)
    assert_started_from(product)
    # The window opens without taking the front: only a setup that waited for
    # it brought it there.
    assert run.foreground == (PRODUCT_WINDOW, False)
