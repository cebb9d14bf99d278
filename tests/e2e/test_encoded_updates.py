"""Updates that carry their file compressed, or only the change from the
installed version (a delta), built with the team's build command
(scripts/build-update.sh --compress, --delta-from OLD) and run through the
real setup: each installs the file byte for byte, a delta applies only over
its base (1642 elsewhere, nothing touched), a damaged frame leaves the old
file as it was (1603), and a held target waits for the restart (3010)."""
import hashlib
import os
import random
import struct
import subprocess

import pytest

from checks import assert_marker, cok_version, small_drive, tree
from expected import (CAPTION_EN, EXIT_FAILURE, EXIT_RESTART_REQUIRED, EXIT_SUCCESS,
                      PROGRESS_WINDOW, install_error_box, launch_question)
from updates import TITLE, build_update, file_sha256, write_large_cok
from wine_machine import windows_join

EXIT_PATCH_TARGET_NOT_FOUND = 1642
MAGIC = b"VdPkZstd"


def cok(version: int, changed: int = 0) -> bytes:
    """A content file that compresses as real ones do: lines of a table."""
    body = bytearray()
    for i in range(60_000):
        body += b"entry %d: north %d south %d\n" % (i, i * 7 % 1000, (i + changed) * 13 % 997)
    body[0:7] = b"vdq\0\0" + struct.pack("<H", version)
    return bytes(body)


def code_cok(version: int, moved: bool = False) -> bytes:
    """A content file of x86 code, roughly: calls and jumps to a few hundred
    targets among other bytes, which the build compresses through its branch
    filter. MOVED: the same code with 37 bytes more at 700,000, so that every
    call after them reaches back by 37 more (as in the next build of a
    program), which a delta carries as its differences from the old file,
    the old calls moved through the alignment."""
    body = bytearray(b"vdq\0\0" + struct.pack("<H", version))
    x = 1
    while len(body) < 1_500_000:
        if moved and len(body) >= 700_000 and len(body) < 700_005:
            body += bytes(range(37))
        x = (x * 1103515245 + 12345) & 0xFFFFFFFF
        if x >> 29 < 2:
            target = 0x1000 + (x >> 8) % 300 * 0x340
            body += bytes([0xE8 | (x >> 16) & 1]) + struct.pack("<i", target - len(body) - 5)
        else:
            body += bytes([0x48, 0x89, (x >> 8) & 0xFF])
    return bytes(body)


def random_cok(version: int, edited: bool = False) -> bytes:
    """2 MiB of seeded random bytes, as media inside a content file; EDITED:
    300 runs of a few bytes put in or taken out, which a zstd patch carries in
    fewer bytes than the differences (each run one more record)."""
    generator = random.Random(3)
    body = bytearray(generator.getrandbits(8) for _ in range(2 << 20))
    for i in range(300 if edited else 0):
        at = generator.randrange(100, len(body) - 100)
        if i % 2:
            body[at:at] = bytes(generator.getrandbits(8) for _ in range(generator.randrange(1, 8)))
        else:
            del body[at:at + generator.randrange(1, 8)]
    body[0:7] = b"vdq\0\0" + struct.pack("<H", version)
    return bytes(body)


OLD, NEW, CODE = cok(6), cok(7, changed=1), code_cok(7)
OLD_CODE, MOVED_CODE = code_cok(6), code_cok(7, moved=True)
OLD_RANDOM, EDITED_RANDOM = random_cok(6), random_cok(7, edited=True)
# What each kind of update installs over what (the rest: NEW over OLD).
PAIRS = {"code": (OLD, CODE), "code delta": (OLD_CODE, MOVED_CODE),
         "patch delta": (OLD_RANDOM, EDITED_RANDOM)}


@pytest.fixture(scope="module")
def encoded(build, tmp_path_factory):
    folder = tmp_path_factory.mktemp("encoded")
    (folder / "old").mkdir()
    old = folder / "old" / "vdq2.cok"
    old.write_bytes(OLD)
    content = folder / "vdq2.cok"
    content.write_bytes(NEW)
    updates = {}
    for kind, options in {"stored": [], "compressed": ["--compress"],
                          "delta": ["--delta-from", str(old), "--with-full"]}.items():
        result = build_update(content, folder / kind, "--title", TITLE, *options)
        assert result.ok, result.output
        updates[kind] = result.setup
    (folder / "code").mkdir()
    (folder / "code" / "vdq2.cok").write_bytes(CODE)
    result = build_update(folder / "code" / "vdq2.cok", folder / "code" / "out", "--title", TITLE,
                          "--compress")
    assert result.ok and "branch filter for x86 code: on" in result.output, result.output
    updates["code"] = result.setup
    (folder / "code" / "old").mkdir()
    (folder / "code" / "old" / "vdq2.cok").write_bytes(OLD_CODE)
    (folder / "code" / "moved").mkdir()
    (folder / "code" / "moved" / "vdq2.cok").write_bytes(MOVED_CODE)
    result = build_update(folder / "code" / "moved" / "vdq2.cok", folder / "code" / "delta",
                          "--title", TITLE, "--delta-from", str(folder / "code" / "old" / "vdq2.cok"))
    assert result.ok and "delta: the differences from the old file" in result.output and \
        "branches moved through the alignment: on" in result.output, result.output
    updates["code delta"] = result.setup
    (folder / "random" / "old").mkdir(parents=True)
    (folder / "random" / "old" / "vdq2.cok").write_bytes(OLD_RANDOM)
    (folder / "random" / "vdq2.cok").write_bytes(EDITED_RANDOM)
    result = build_update(folder / "random" / "vdq2.cok", folder / "random" / "delta",
                          "--title", TITLE, "--delta-from", str(folder / "random" / "old" / "vdq2.cok"))
    assert result.ok and "delta: a zstd patch" in result.output, result.output
    updates["patch delta"] = result.setup
    # Built beside the delta in the same run, for the machines without OLD.
    updates["full"] = folder / "delta" / "full" / "VespodarUpdate.exe"
    assert os.path.getsize(updates["delta"]) < os.path.getsize(updates["compressed"]) < \
        os.path.getsize(updates["stored"])
    # A byte of the compressed frame changed, and the setup stamped anew, so
    # that its own check passes and only the decoding can tell.
    damaged = bytearray(updates["compressed"].read_bytes())
    at = damaged.rfind(MAGIC)  # the resource's, not the decoder's constant
    assert at > 0 and damaged[at + 12] == 0, "the table is no code: no filter"
    damaged[at + 96 + 2000] ^= 0x20
    updates["damaged"] = folder / "damaged.exe"
    updates["damaged"].write_bytes(bytes(damaged))
    subprocess.run([build / "host" / "update_tool", "stamp", updates["damaged"]], check=True,
                   capture_output=True)
    return updates


def _product_with(machine, installed: bytes, drive: str = None):
    product = machine.install_product(windows_join(drive or machine.program_files, "Vespodar"))
    (product.path / "vdq2.cok").write_bytes(installed)
    return product


@pytest.mark.parametrize("kind", ["stored", "compressed", "delta", "code", "code delta",
                                  "patch delta"])
def test_each_kind_installs_the_file_byte_for_byte(machine_en, encoded, kind):
    # The code compressed through the x86 branch filter; the moved code as
    # differences; the edited random bytes as a zstd patch.
    old, new = PAIRS.get(kind, (OLD, NEW))
    product = _product_with(machine_en, old)
    before = tree(product.path)

    run = machine_en.run_setup("modest", setup=encoded[kind], settle_ms=0)

    assert run.shown() == []
    assert run.exit_code == EXIT_SUCCESS
    assert product.read("vdq2.cok") == new
    assert tree(product.path) == before, "a staging file was left"
    assert_marker(machine_en.uninstall_entry(), "vdq2.cok", new, cok_version(new))


@pytest.mark.parametrize("switch", ["modest", "/quiet"])
def test_delta_over_another_version_changes_nothing(machine_en, encoded, switch):
    other = cok(5)
    product = _product_with(machine_en, other)
    entry = machine_en.uninstall_entry()
    target = windows_join(product.windows_dir, "vdq2.cok")

    run = machine_en.run_setup(switch, setup=encoded["delta"], settle_ms=0, answers=("ok",))

    assert run.exit_code == EXIT_PATCH_TARGET_NOT_FOUND
    assert run.shown() == ([] if switch == "/quiet" else [install_error_box(target, "en")])
    assert product.read("vdq2.cok") == other
    assert machine_en.uninstall_entry() == entry
    # The full update built beside the delta applies there.
    run = machine_en.run_setup(switch, setup=encoded["full"], settle_ms=0)
    assert run.exit_code == EXIT_SUCCESS
    assert product.read("vdq2.cok") == NEW


def test_damaged_frame_leaves_the_old_file(machine_en, encoded):
    product = _product_with(machine_en, OLD)
    before = tree(product.path)
    target = windows_join(product.windows_dir, "vdq2.cok")

    run = machine_en.run_setup("modest", setup=encoded["damaged"], settle_ms=0, answers=("ok",))

    assert run.exit_code == EXIT_FAILURE
    assert run.shown() == [install_error_box(target, "en")]
    assert product.read("vdq2.cok") == OLD
    assert tree(product.path) == before, "the staging file was left"


@pytest.mark.parametrize("kind", ["compressed", "delta"])
def test_full_drive_leaves_the_old_file(machine_en, encoded, kind, tmp_path):
    # Room for the product and its old file, not for the new one beside it. A
    # delta decodes into a view of the whole staging file: the drive must
    # refuse it as an error, never as a fault on a page of the view.
    with small_drive(machine_en, tmp_path, f"{len(OLD) // 1024 + 1024}k") as drive:
        product = _product_with(machine_en, OLD, drive)
        before = tree(product.path)
        target = windows_join(product.windows_dir, "vdq2.cok")

        run = machine_en.run_setup("modest", setup=encoded[kind], settle_ms=0, answers=("ok",))

        assert run.exit_code == EXIT_FAILURE
        assert run.shown() == [install_error_box(target, "en")]
        assert product.read("vdq2.cok") == OLD
        assert tree(product.path) == before, "the staging file was left"


@pytest.mark.parametrize("kind", ["compressed", "delta"])
def test_held_target_waits_for_the_restart_decoded(machine_en, encoded, kind):
    product = _product_with(machine_en, OLD)
    target = windows_join(product.windows_dir, "vdq2.cok")

    # Held as a running program holds its data file: readable (a delta reads
    # its base), but not to be replaced.
    run = machine_en.run_setup_while_held(target, "/quiet", setup=encoded[kind], settle_ms=0,
                                          share_read=True)

    assert run.exit_code == EXIT_RESTART_REQUIRED
    assert product.read("vdq2.cok") == OLD
    staged = [p for p in product.path.iterdir() if p.name.startswith("~vdq2.cok.")]
    assert len(staged) == 1 and hashlib.sha256(staged[0].read_bytes()).digest() == \
        hashlib.sha256(NEW).digest(), "the file waiting for the restart is not the new one"
    assert_marker(machine_en.uninstall_entry(), "vdq2.cok", NEW, cok_version(NEW))


LARGE_MIB = 1024


@pytest.fixture(scope="module")
def large_compressed(tmp_path_factory):
    """A compressed update of a 1 GiB content file: long enough to write that
    the progress window comes up."""
    folder = tmp_path_factory.mktemp("large")
    content = folder / "vdq2.cok"
    digest = write_large_cok(content, LARGE_MIB, 8)
    result = build_update(content, folder / "out", "--title", TITLE, "--compress")
    assert result.ok, result.output
    content.unlink()
    return result.setup, digest


def test_long_write_shows_its_progress(machine_en, large_compressed):
    setup, digest = large_compressed
    product = _product_with(machine_en, OLD)

    run = machine_en.run_setup(answers=("yes", "no"), setup=setup, settle_ms=0, timeout_s=300,
                               shots=True, watch=PROGRESS_WINDOW)

    assert run.exit_code == EXIT_SUCCESS
    assert len(run.boxes) == 2 and run.boxes[1].shown() == launch_question(TITLE + "8")
    assert file_sha256(product.path / "vdq2.cok") == digest
    # Up while the file was written, with the update's caption and the
    # package's title and version, its bar moving forward.
    assert run.watched, "the progress window never came up"
    assert all((seen["title"], seen["texts"]) == (CAPTION_EN, [TITLE + "8"])
               for seen in run.watched), run.watched
    positions = [seen["position"] for seen in run.watched]
    assert positions == sorted(positions) and positions[0] < positions[-1], positions
    assert run.watched[0]["picture"].exists()
    # Gone before the launch question.
    assert [w for w in run.boxes[1].windows if w["class"] == PROGRESS_WINDOW] == []

    # A modest run writes the same without it.
    (product.path / "vdq2.cok").write_bytes(OLD)
    quiet = machine_en.run_setup("modest", setup=setup, settle_ms=0, timeout_s=300,
                                 watch=PROGRESS_WINDOW)
    assert quiet.exit_code == EXIT_SUCCESS
    assert quiet.watched == []
    assert file_sha256(product.path / "vdq2.cok") == digest
