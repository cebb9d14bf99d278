"""A damaged or changed setup refuses to install; a signed one installs."""
import shutil
import struct
import subprocess
from pathlib import Path

import pytest

from expected import EXIT_DISTORTED, EXIT_SUCCESS, EXIT_UNREADABLE, error_box
from wine_machine import oversized_copy


@pytest.fixture(scope="module")
def setups(build, tmp_path_factory):
    """The built setup, signed and damaged copies of it, and one of each signed."""
    out = tmp_path_factory.mktemp("setups")
    original = (build / "VespodarUpdate.exe").read_bytes()
    copies = {"intact": original}

    pe = struct.unpack_from("<I", original, 60)[0]
    sections = struct.unpack_from("<H", original, pe + 6)[0]
    table = pe + 24 + struct.unpack_from("<H", original, pe + 20)[0]
    text_raw = next(struct.unpack_from("<I", original, table + 40 * i + 20)[0] for i in range(sections)
                    if original[table + 40 * i:table + 40 * i + 5] == b".text")
    package_at = original.find((build / "package" / "vdq2.cok").read_bytes()[:4096])
    assert package_at > 0
    for name, offset in {"code": text_raw + 0x100, "package": package_at + 1_000_000,
                         "headers": pe + 8, "last byte": len(original) - 1}.items():
        damaged = bytearray(original)
        damaged[offset] ^= 0x01
        copies[f"flipped {name}"] = bytes(damaged)
    copies["appended"] = original + b"\0"

    key, cert = out / "key.pem", out / "cert.pem"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                    "-days", "2", "-subj", "/CN=Vespodar test signer"], check=True, capture_output=True)
    # Stamped again naming the signer, as the team's build does before it signs.
    (out / "intact.exe").write_bytes(original)
    subprocess.run([build / "host" / "update_tool", "stamp", out / "intact.exe", cert], check=True)
    subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-h", "sha256", "-n", "Vespodar update",
                    "-in", out / "intact.exe", "-out", out / "signed.exe"], check=True, capture_output=True)
    signed = (out / "signed.exe").read_bytes()
    assert len(signed) > len(original)
    copies["signed"] = signed
    # A covered byte that no code runs before the check: the package. (Code
    # that the runtime runs before main cannot guard itself.)
    flipped = bytearray(signed)
    flipped[package_at + 500_000] ^= 0x80
    copies["signed flipped"] = bytes(flipped)
    copies["signed appended"] = signed + b"x" * 16

    paths = {}
    for name, data in copies.items():
        path = out / (name.replace(" ", "_") + ".exe")
        path.write_bytes(data)
        paths[name] = path
    return paths


def test_damaged_setups_are_refused_and_write_nothing(machine, setups):
    product = machine.install_product(f"{machine.program_files}\\Vespodar")
    old = product.read("vdq2.cok")
    for name in ("flipped code", "flipped package", "flipped headers", "flipped last byte", "appended",
                 "signed flipped", "signed appended"):
        run = machine.run_setup("modest", setup=setups[name], settle_ms=0)
        assert run.shown() == [error_box("distorted", machine.lang)], name
        assert run.exit_code == EXIT_DISTORTED, name
        assert product.read("vdq2.cok") == old, name
        assert "EstimatedSize" not in (machine.uninstall_entry() or {}), name


def test_signed_setup_installs(machine_en, setups, package):
    machine = machine_en
    product = machine.install_product(f"{machine.program_files}\\Vespodar")
    run = machine.run_setup("modest", setup=setups["signed"], settle_ms=0)
    assert run.shown() == []
    assert run.exit_code == EXIT_SUCCESS
    assert product.read("vdq2.cok") == package
    assert machine.uninstall_entry().get("EstimatedSize") == ("REG_DWORD", product.tree_size_kib())


def test_setup_too_large_to_check_is_refused(machine_one, tmp_path):
    # The check cannot take the size of its own file: it says so instead of
    # calling the file distorted, and installs nothing.
    machine = machine_one
    product = machine.install_product(f"{machine.program_files}\\Vespodar")
    old = product.read("vdq2.cok")
    setup = oversized_copy(machine.build / "VespodarUpdate.exe", tmp_path / "oversized.exe")
    try:
        run = machine.run_setup(answers=("ok",), setup=setup, settle_ms=0)
    finally:
        setup.unlink()  # pytest keeps tmp_path: no 4 GiB file left to copy by mistake
    assert run.shown() == [error_box("unreadable", machine.lang)]
    assert run.exit_code == EXIT_UNREADABLE
    assert product.read("vdq2.cok") == old
    assert "EstimatedSize" not in (machine.uninstall_entry() or {})


def test_setup_replaced_on_disk_while_it_waits_installs_what_it_checked(machine, setups, build,
                                                                        tmp_path):
    # The setup takes its package from its own file, not from the image that
    # runs, and holds that file open from its check to its end. Here the file
    # is swapped for another whole, stamped setup (another package) after the
    # check, while the setup waits for the running product to quit: what it
    # writes must still be the package it checked, not what the new file
    # carries.
    package = (build / "package" / "vdq2.cok").read_bytes()
    other = bytearray(setups["intact"].read_bytes())
    package_at = bytes(other).find(package[:4096])
    other[package_at + 100_000] ^= 0x20
    other_path = tmp_path / "other.exe"
    other_path.write_bytes(other)
    subprocess.run([str(build / "host" / "update_tool"), "stamp", str(other_path)], check=True,
                   capture_output=True)
    assert subprocess.run([str(build / "host" / "update_tool"), "check", str(other_path)],
                          capture_output=True).returncode == 0
    setup = tmp_path / "VespodarUpdate.exe"
    shutil.copyfile(setups["intact"], setup)

    product = machine.install_product(f"{machine.program_files}\\Vespodar",
                                      settings={"quit_delay_ms": "6000"})
    machine.start_product(product)
    pending = machine.start_setup("modest", setup=setup, settle_ms=0)
    assert product.wait_for_log("quitting", timeout=30), product.log_lines()
    setup.rename(tmp_path / "started.exe")
    shutil.copyfile(other_path, setup)
    run = pending.wait()

    assert "quit" in product.log_lines(), "the setup did not wait for the product"
    assert run.shown() == []
    assert run.exit_code == EXIT_SUCCESS
    assert product.read("vdq2.cok") == package


@pytest.mark.parametrize("planted", ["manifest file", "local folder", "local file"])
def test_redirecting_file_beside_the_setup_is_refused(machine_en, planted):
    # XP takes VespodarUpdate.exe.manifest over the embedded manifest, and
    # VespodarUpdate.exe.local redirects DLL loads on every version. Wine acts
    # on neither; what is checked is that the setup refuses before it writes.
    machine = machine_en
    downloads = machine.drive_c / "users" / "Public" / "Downloads"
    downloads.mkdir(parents=True, exist_ok=True)
    setup = downloads / "VespodarUpdate.exe"
    shutil.copyfile(machine.build / "VespodarUpdate.exe", setup)
    name, kind = planted.split()
    beside = downloads / f"VespodarUpdate.exe.{name}"
    if kind == "folder":
        beside.mkdir()
        (beside / "comctl32.dll").write_bytes(b"MZ")
    elif name == "manifest":
        beside.write_bytes((Path(__file__).parents[2] / "resources" / "setup.manifest").read_bytes())
    else:
        beside.write_bytes(b"")
    product = machine.install_product(f"{machine.program_files}\\Vespodar")
    old = product.read("vdq2.cok")

    run = machine.run_setup("modest", setup=setup, settle_ms=0, answers=("ok",))

    assert run.shown() == [error_box("distorted", machine.lang)]
    assert run.exit_code == EXIT_DISTORTED
    assert product.read("vdq2.cok") == old
    assert "EstimatedSize" not in (machine.uninstall_entry() or {})
