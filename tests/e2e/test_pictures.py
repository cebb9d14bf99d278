"""The scripted user's pictures show the box the user saw."""
import pytest

from expected import (EXIT_PRODUCT_MISSING, EXIT_SUCCESS, INSTALL_QUESTION, LAUNCH_QUESTION,
                      PRODUCT_WINDOW, error_box)
from pictures import Picture


def _dark(pixel) -> bool:
    return sum(pixel) < 200


TITLE_BAR = (3, 15)  # rows of the title bar, where there is one
BLACK = (0, 0, 0)    # the empty X screen, where nothing was drawn


def assert_is_a_box(picture: Picture, where) -> None:
    # A box of two lines of text, on a 1024x768 screen or an 800x600 desktop:
    # neither the whole screen nor a sliver of it.
    assert 120 <= picture.width <= 700 and 60 <= picture.height <= 400, (
        f"{where}: {picture.width}x{picture.height} is not the size of a box")
    # Below the title bar: mostly the light face of a dialog with dark text on
    # it, not a black (unread) or flat area of the screen.
    body = picture.band(TITLE_BAR[1] + 10, picture.height)
    face = Picture.dominant(body)
    assert min(face) > 180, f"{where}: the most common colour is {face}, not a dialog's face"
    dark = sum(map(_dark, body)) / len(body)
    assert 0.005 < dark < 0.3, f"{where}: {dark:.1%} of the box is dark text"


@pytest.mark.screen
def test_a_box_is_saved_as_the_screen_shows_it(machine_one):
    machine = machine_one
    machine.install_product(f"{machine.program_files}\\Vespodar", with_exe=False)

    plain = machine.run_setup(answers=("ok",), settle_ms=0, shots=True)
    assert plain.shown() == [error_box("product_missing", "en")]
    assert plain.boxes[0].picture.name == "box-01.bmp"
    assert_is_a_box(Picture.read(plain.boxes[0].picture), "without a window manager")

    machine.use_virtual_desktop()
    framed_run = machine.run_setup(answers=("ok",), settle_ms=0, shots=True)
    # The desktop changes nothing the setup does or the user is told.
    assert framed_run.shown() == plain.shown()
    assert framed_run.exit_code == plain.exit_code == EXIT_PRODUCT_MISSING
    framed = Picture.read(framed_run.boxes[0].picture)
    assert_is_a_box(framed, "on the virtual desktop")
    # Wine drew the title bar: the top of the picture is neither the dialog's
    # face nor the empty screen that a box without a frame leaves there.
    title = Picture.dominant(framed.band(*TITLE_BAR))
    assert title not in (Picture.dominant(framed.pixels()), BLACK), (
        f"no title bar in the picture (its top is {title})")


@pytest.mark.screen
@pytest.mark.front
def test_a_whole_run_on_the_virtual_desktop_as_the_demo_makes_it(machine_one, package):
    # The demo and the README's pictures run the setup this way: the run must
    # go as without the desktop, down to the product in front.
    machine = machine_one
    machine.add_wine_fonts()
    machine.use_virtual_desktop()
    product = machine.install_product(f"{machine.program_files}\\Vespodar")

    run = machine.run_setup(answers=("yes", "yes"), shots=True)

    assert run.shown() == [INSTALL_QUESTION["en"], LAUNCH_QUESTION]
    assert run.exit_code == EXIT_SUCCESS
    assert product.read("vdq2.cok") == package
    assert run.foreground == (PRODUCT_WINDOW, False)
    # One picture a box, in the order of the boxes, each of its own box.
    assert [box.picture.name for box in run.boxes] == ["box-01.bmp", "box-02.bmp"]
    question, launch = (Picture.read(box.picture) for box in run.boxes)
    for picture, which in ((question, "install question"), (launch, "launch question")):
        assert_is_a_box(picture, which)
    # The launch question has two more lines of text than the install question.
    assert launch.height > question.height
