"""The elevated setup against what a standard user of the same machine can
prepare: the user's command interpreter and its AutoRun, links planted in a
product directory that users may write, DLLs planted beside the setup, a
changed or foreign-signed setup, a relative UninstallString, an entry in one
registry branch only."""
import shutil
import struct
import subprocess

import pytest

from checks import assert_updated, tree
from expected import (EXIT_DISTORTED, EXIT_FAILURE, EXIT_SUCCESS, INSTALL_QUESTION, LAUNCH_QUESTION,
                      error_box)
from updates import build_update, guarded_options
from wine_machine import UNINSTALL_KEY, windows_join

COMMAND_PROCESSOR = r"HKCU\Software\Microsoft\Command Processor"


def marker_ran(path) -> bool:
    """Whether the marker program or DLL at path ever ran (tests/marker.cpp)."""
    return path.with_name(path.name + ".ran").exists()


def test_console_probe_runs_nothing_the_user_named(machine_en, package):
    # Reported as 6.2, as every release from 8 on is without a manifest: the
    # description asks the console's "ver". The user points ComSpec and the
    # interpreter's AutoRun at a program of their own. (Wine's cmd ignores
    # AutoRun: there ComSpec is what shows it.)
    machine = machine_en
    assert machine.wine("winecfg", "-v", "win10") == 0
    recorder = machine.drive_c / "users" / "Public" / "recorder.exe"
    recorder.parent.mkdir(parents=True, exist_ok=True)
    shutil.copyfile(machine.build / "tests" / "marker.exe", recorder)
    machine.reg_add(r"HKCU\Environment", "ComSpec", machine.windows_path(recorder))
    machine.reg_add(COMMAND_PROCESSOR, "AutoRun", machine.windows_path(recorder))
    product = machine.install_product(windows_join(machine.program_files, "Vespodar"))
    before = tree(product.path)

    run = machine.run_setup("modest")

    assert not marker_ran(recorder), "the user's interpreter ran with the setup's rights"
    assert run.shown() == []
    assert run.exit_code == EXIT_SUCCESS
    # The description still tells the Windows apart: the entry is found in
    # the branch it names, and the size written there.
    assert_updated(machine, product, package, before)


@pytest.fixture(scope="module")
def guarded_cok(build):
    folder = build / "guarded-hardening"
    folder.mkdir(parents=True, exist_ok=True)
    source = folder / "vdq2.cok"
    source.write_bytes(b"vdq\x00\x00" + (5).to_bytes(2, "little") + bytes(range(256)) * 64)
    result = build_update(source, folder / "out", *guarded_options())
    assert result.ok, result.output
    return result.setup, source.read_bytes()


def test_links_planted_in_the_product_directory_are_not_followed(machine_en, guarded_cok):
    # A product directory outside Program Files that users may write, itself
    # reached through a link (a product moved to another drive): the guard's
    # temporary name and the installed file are links to files elsewhere.
    machine = machine_en
    setup, package = guarded_cok
    moved = machine.drive_c / "Moved" / "Vespodar"
    moved.parent.mkdir()
    product = machine.install_product(r"C:\Moved\Vespodar")
    (machine.drive_c / "Games").mkdir()
    (machine.drive_c / "Games" / "Vespodar").symlink_to(moved, target_is_directory=True)
    machine.reg_add(UNINSTALL_KEY, "UninstallString", r"C:\Games\Vespodar\uninst.exe")
    victims = {}
    for name in ("~vdq2.cok", "vdq2.cok"):
        victim = machine.drive_c / "windows" / f"victim-{name.strip('~')}-{len(victims)}.dat"
        victim.write_bytes(b"vdq\x00\x00\x01\x00 not the setup's to change")
        (moved / name).unlink(missing_ok=True)
        (moved / name).symlink_to(victim)
        victims[victim] = victim.read_bytes()

    run = machine.run_setup("modest", setup=setup)

    assert run.shown() == []
    assert run.exit_code == EXIT_SUCCESS
    for victim, content in victims.items():
        assert victim.read_bytes() == content, f"{victim.name} was written through a link"
    installed = moved / "vdq2.cok"
    assert not installed.is_symlink() and installed.read_bytes() == package
    # Nothing of the setup's left beside it; the planted link is the user's.
    assert sorted(p.name for p in moved.iterdir() if p.name.startswith("~")) == ["~vdq2.cok"]


def test_dll_planted_beside_the_setup_is_never_loaded(machine_en, package):
    # Windows without SetDefaultDllDirectories searches the setup's folder
    # first for what the system DLLs load by name; Wine has the function, so
    # the setup built as if it had not stands in. uxtheme is what user32
    # loads by name once a box is shown; Wine is told to prefer a native one.
    machine = machine_en
    downloads = machine.drive_c / "users" / "Public" / "Downloads"
    downloads.mkdir(parents=True, exist_ok=True)
    setup = downloads / "VespodarUpdate.exe"
    shutil.copyfile(machine.build / "tests" / "VespodarUpdate-without-dll-directories.exe", setup)
    planted = downloads / "uxtheme.dll"
    shutil.copyfile(machine.build / "tests" / "marker.dll", planted)
    machine.env["WINEDLLOVERRIDES"] = "uxtheme=n,b"
    product = machine.install_product(windows_join(machine.program_files, "Vespodar"))
    before = tree(product.path)

    run = machine.run_setup(answers=("yes", "no"), setup=setup, cwd=downloads)

    assert not marker_ran(planted), "the planted DLL ran inside the elevated setup"
    assert run.shown() == [INSTALL_QUESTION[machine.lang], LAUNCH_QUESTION]
    assert run.exit_code == EXIT_SUCCESS
    assert_updated(machine, product, package, before)


def _certificate_entry(image: bytes) -> int:
    pe = struct.unpack_from("<I", image, 60)[0]
    optional = pe + 24
    plus = struct.unpack_from("<H", image, optional)[0] == 0x20B
    return optional + (112 if plus else 96) + 32


@pytest.fixture(scope="module")
def changed_setups(build, tmp_path_factory, timestamps):
    """The setup appended to and pointed at, signed by the team (the stamp
    names its certificate; once also timestamped), stamped for the team and
    left unsigned, and signed setups changed where no digest of the stamp
    looks: the certificate table."""
    out = tmp_path_factory.mktemp("hardening-setups")
    original = (build / "VespodarUpdate.exe").read_bytes()
    entry = _certificate_entry(original)
    setups = {}
    pointed = bytearray(original + bytes(range(32)))
    struct.pack_into("<II", pointed, entry, len(original), 32)
    setups["appended and pointed"] = bytes(pointed)

    def certificate(name):
        key, cert = out / f"{name}.key", out / f"{name}.pem"
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
                        "-out", cert, "-days", "2", "-subj", f"/CN={name}"],
                       check=True, capture_output=True)
        return key, cert

    ours, theirs = certificate("Vespodar team"), certificate("Somebody else")
    stamped = out / "stamped.exe"
    stamped.write_bytes(original)
    subprocess.run([build / "host" / "update_tool", "stamp", stamped, ours[1]], check=True)
    # What stripping the signature leaves: the stamp still names the signer.
    setups["stamped for a signer, left unsigned"] = stamped.read_bytes()

    def sign(source, signer, name, *options):
        target = out / f"{name}.exe"
        subprocess.run(["osslsigncode", "sign", "-certs", signer[1], "-key", signer[0], "-h", "sha256",
                        "-n", "Vespodar update", *options, "-in", source, "-out", target],
                       check=True, capture_output=True)
        return target.read_bytes()

    signed = sign(stamped, ours, "signed")
    setups["signed"] = signed
    setups["signed with a timestamp"] = sign(stamped, ours, "timestamped", "-ts", timestamps.url)
    verified = timestamps.verification(out / "timestamped.exe", ours[1])
    assert "Timestamp Server Signature verification: ok" in verified, verified
    setups["foreign signature"] = sign(stamped, theirs, "foreign")
    unstamped = out / "unstamped.exe"  # the build's own stamp names no signer
    unstamped.write_bytes(original)
    setups["signed, stamp names nobody"] = sign(unstamped, ours, "unpinned")
    table, size = struct.unpack_from("<II", signed, entry)
    length = struct.unpack_from("<I", signed, table)[0]
    # Bytes hidden at the end of the signature, the entry's and the table's
    # sizes enlarged to cover them.
    hidden = bytearray(signed + b"hidden!!" * 2)
    struct.pack_into("<I", hidden, table, length + 16)
    struct.pack_into("<II", hidden, entry, table, size + 16)
    setups["hidden in the table"] = bytes(hidden)
    # The signature's entry again after it: Windows verifies the first entry
    # alone, so whatever a second one carries goes unchecked.
    assert len(signed) == table + size
    second = signed[table:table + length]
    doubled = bytearray(signed + second + bytes(-len(second) % 8))
    struct.pack_into("<II", doubled, entry, table, len(doubled) - table)
    setups["second certificate entry"] = bytes(doubled)
    # Unauthenticated attributes are outside what the signature signs: one
    # of a type Authenticode has no use for can carry anything.
    subprocess.run(["osslsigncode", "add", "-addUnauthenticatedBlob", "-in", out / "signed.exe",
                    "-out", out / "blob.exe"], check=True, capture_output=True)
    setups["unauthenticated attribute"] = (out / "blob.exe").read_bytes()
    # One byte of the signature value, near the end of the PKCS#7 blob.
    der = 4 + struct.unpack_from(">H", signed, table + 10)[0]
    assert signed[table + 8:table + 10] == b"\x30\x82"
    flipped = bytearray(signed)
    flipped[table + 8 + der - 20] ^= 0x01
    setups["signature changed"] = bytes(flipped)

    paths = {}
    for name, data in setups.items():
        path = out / (name.replace(" ", "_").replace(",", "") + ".exe")
        path.write_bytes(data)
        paths[name] = path
    return paths


@pytest.mark.parametrize("name", ["appended and pointed", "foreign signature",
                                  "signed, stamp names nobody", "hidden in the table",
                                  "signature changed", "stamped for a signer, left unsigned",
                                  "second certificate entry", "unauthenticated attribute"])
def test_changed_or_foreign_signed_setup_is_refused(machine_en, changed_setups, name):
    machine = machine_en
    product = machine.install_product(windows_join(machine.program_files, "Vespodar"))
    run = machine.run_setup("modest", setup=changed_setups[name], answers=("ok",), settle_ms=0)
    assert run.shown() == [error_box("distorted", machine.lang)]
    assert run.exit_code == EXIT_DISTORTED
    assert product.read("vdq2.cok") == product.files["vdq2.cok"]
    assert "EstimatedSize" not in machine.uninstall_entry()


@pytest.mark.parametrize("name", ["signed", "signed with a timestamp"])
def test_setup_signed_by_the_team_installs(machine_en, changed_setups, package, name):
    machine = machine_en
    product = machine.install_product(windows_join(machine.program_files, "Vespodar"))
    before = tree(product.path)
    run = machine.run_setup("modest", setup=changed_setups[name], settle_ms=0)
    assert run.shown() == []
    assert run.exit_code == EXIT_SUCCESS
    assert_updated(machine, product, package, before)


def test_relative_uninstall_string_is_no_entry(machine_en, package):
    # Resolved against the setup's current directory, "Vespodar\uninst.exe"
    # would send the package wherever the setup was started from.
    machine = machine_en
    product = machine.install_product(windows_join(machine.program_files, "Vespodar"),
                                      uninstall_string=r"Vespodar\uninst.exe")
    start_in = machine.drive_c / "users" / "Public" / "Downloads"
    (start_in / "Vespodar").mkdir(parents=True)
    shutil.copyfile(machine.build / "tests" / "Vespodar.exe", start_in / "Vespodar" / "Vespodar.exe")
    before, elsewhere = tree(product.path), tree(start_in)

    run = machine.run_setup("modest", cwd=start_in)

    assert run.shown() == []
    assert run.exit_code == EXIT_SUCCESS
    assert tree(start_in) == elsewhere, "the setup wrote beside its current directory"
    assert_updated(machine, product, package, before)


def test_size_goes_to_the_branch_of_the_entry(machine64, package):
    # The entry only in the 32-bit branch: its size there, and no key made in
    # the 64-bit branch, where Windows would show it nowhere and the product's
    # uninstall would leave it behind.
    machine = machine64
    product = machine.install_product(windows_join(machine.program_files_x86, "Vespodar"),
                                      entry_view=32)
    before = tree(product.path)

    run = machine.run_setup("modest")

    assert run.exit_code == EXIT_SUCCESS
    assert_updated(machine, product, package, before, size_view=32)
    assert machine.uninstall_entry(64) is None


def test_question_that_cannot_be_shown_is_a_failure(machine_en):
    # No display to show the install question on: nobody answered it, so the
    # run failed; it was not declined.
    machine = machine_en
    product = machine.install_product(windows_join(machine.program_files, "Vespodar"))
    with_display = machine.env
    machine.env = {name: value for name, value in with_display.items() if name != "DISPLAY"}
    try:
        code = machine.wine(machine.windows_path(machine.build / "VespodarUpdate.exe"), what="setup")
    finally:
        machine.env = with_display
    assert code == EXIT_FAILURE & 0xFF  # Wine passes on the exit code's low byte
    assert product.read("vdq2.cok") == product.files["vdq2.cok"]
    assert "EstimatedSize" not in machine.uninstall_entry()
