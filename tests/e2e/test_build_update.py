"""The product team's build command refuses what would make a wrong update:
every refusal ends with exit 1, a message that names the problem, and no
update in the output directory. What it builds comes with the notes an
administrator types into a deployment tool, naming the marker the setup
leaves for that update."""
import hashlib
import subprocess

import pytest

from updates import BUILD_UPDATE, TITLE, build_update, deploy_notes

COK_5 = b"vdq\x00\x00\x05\x00" + b"content" * 100
# Version 0x0203 in bytes 5-6 (from 0): the wrong byte order reads 770, the
# bytes one place earlier 768.
COK_515 = b"vdq\x00\x00\x03\x02" + b"content" * 100
UNINSTALL_KEY = r"HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Vespodar"
UNINSTALL_KEY_32 = (r"HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion"
                    r"\Uninstall\Vespodar")


@pytest.mark.parametrize("file_name, data, options, message", [
    ("vdq2.cok", None, [], "does not exist"),
    ("vdq2.cok", b"", [], "is empty"),
    ("vdq2.cok", b"VDQ\x00\x00\x05\x00rest", [], "does not begin with \"vdq\""),
    ("vdq2.cok", b"vdq\x00", [], "too short to hold a version"),
    ("english.lng", b"[soundquest]\r\nQuestion\r\n", [], "no whole number on the line after [langver]"),
    ("Vespodar.exe", b"MZ" + bytes(300), [], "no FileVersion"),
    ("notes.txt", b"text", [], "carry no version the setup knows"),
    ("vdq2.cok", COK_5, ["--version", "6"], "carries version 5, not 6"),
    ("vdq2.cok", COK_5, ["--version", "five"], "--version must be a whole number"),
    ("vdq2", COK_5, [], "has no extension"),
    ("vdq-2.cok", COK_5, [], "may hold only letters, digits and _"),
    ("vdq2.cok", COK_5, ["--timestamp", "http://127.0.0.1:9/"], "--timestamp timestamps a signature"),
], ids=["missing", "empty", "cok-without-signature", "cok-too-short", "lng-without-version",
        "exe-without-file-version", "unknown-kind", "version-differs", "version-not-a-number",
        "no-extension", "bad-name", "timestamp-unsigned"])
def test_build_stops_with_a_clear_message(tmp_path, file_name, data, options, message):
    source = tmp_path / file_name
    if data is not None:
        source.write_bytes(data)
    out = tmp_path / "out"

    result = build_update(source, out, "--title", TITLE, *options)

    assert result.code == 1, result.output
    assert message in result.output
    assert not (out / "VespodarUpdate.exe").exists()
    assert not (out / "VespodarUpdate.deploy.txt").exists()


def test_version_given_for_a_file_without_one_is_used(tmp_path):
    source = tmp_path / "notes.txt"
    source.write_bytes(b"text")

    result = build_update(source, tmp_path / "out", "--title", TITLE, "--version", "3")

    assert result.ok, result.output
    assert result.check["package"].startswith("notes.txt"), result.check
    assert (tmp_path / "out" / "VespodarUpdate.exe").is_file()


def test_signature_is_timestamped_when_asked(tmp_path, timestamps):
    source = tmp_path / "vdq2.cok"
    source.write_bytes(COK_5)
    key, cert = tmp_path / "team.key", tmp_path / "team.pem"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
                    "-out", cert, "-days", "2", "-subj", "/CN=Vespodar team"],
                   check=True, capture_output=True)

    result = build_update(source, tmp_path / "out", "--title", TITLE, "--sign-cert", str(cert),
                          "--sign-key", str(key), "--timestamp", timestamps.url)

    assert result.ok, result.output
    verified = timestamps.verification(result.setup, cert)
    assert "Timestamp Server Signature verification: ok" in verified, verified


@pytest.mark.parametrize("new_mib, old_mib, said", [
    # Past the setup's image (1536 MiB; the 64-bit twin's 1900 MiB).
    (1901, None, "vdq2.cok is 1901 MiB"),
    # Past the delta's window (1 GiB on 32-bit; the twin's 2 GiB).
    (2049, 1, "must each be under"),
    # Each within the window, but more together than a setup maps at once.
    (1000, 1000, "at most"),
])
def test_package_too_large_to_install_is_refused_before_anything_is_built(tmp_path, new_mib,
                                                                         old_mib, said):
    # Sparse: the refusal comes from the sizes alone, before a byte is read,
    # so the test writes nothing of them.
    def sparse(path, mib):
        path.parent.mkdir(exist_ok=True)
        with open(path, "wb") as f:
            f.write(COK_5)
            f.truncate(mib * 1024 * 1024)

    source = tmp_path / "vdq2.cok"
    sparse(source, new_mib)
    options = []
    if old_mib:
        sparse(tmp_path / "old" / "vdq2.cok", old_mib)
        options = ["--delta-from", str(tmp_path / "old" / "vdq2.cok")]
    out = tmp_path / "out"

    result = subprocess.run([str(BUILD_UPDATE), str(source), "--title", TITLE, *options,
                             "--out", str(out)],
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=60)

    assert result.returncode == 1, result.stdout
    assert said in result.stdout and "nothing was built" in result.stdout, result.stdout
    assert not (out / "VespodarUpdate.exe").exists()


def test_deploy_notes_name_the_marker_of_the_content_built(tmp_path):
    source = tmp_path / "vdq2.cok"
    source.write_bytes(COK_515)
    out = tmp_path / "out"

    result = build_update(source, out, "--title", TITLE)

    assert result.ok, result.output
    written = out / "VespodarUpdate.deploy.txt"
    notes = deploy_notes(written)
    assert notes["detection key"] == UNINSTALL_KEY
    assert notes["detection key 32-bit entry"] == UNINSTALL_KEY_32
    assert notes["detection value name"] == "vdq2.cok version"
    assert notes["detection version"] == "515"
    assert notes["exact match value name"] == "vdq2.cok sha256"
    assert notes["exact match sha256"] == hashlib.sha256(COK_515).hexdigest()
    assert notes["setup sha256"] == hashlib.sha256(result.setup.read_bytes()).hexdigest()
    assert written.read_text(encoding="utf-8") in result.output
