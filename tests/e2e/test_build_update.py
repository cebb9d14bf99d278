"""The product team's build command refuses what would make a wrong update:
every refusal ends with exit 1, a message that names the problem, and no
update in the output directory."""
import pytest

from updates import TITLE, build_update

COK_5 = b"vdq\x00\x00\x05\x00" + b"content" * 100


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
], ids=["missing", "empty", "cok-without-signature", "cok-too-short", "lng-without-version",
        "exe-without-file-version", "unknown-kind", "version-differs", "version-not-a-number",
        "no-extension", "bad-name"])
def test_build_stops_with_a_clear_message(tmp_path, file_name, data, options, message):
    source = tmp_path / file_name
    if data is not None:
        source.write_bytes(data)
    out = tmp_path / "out"

    result = build_update(source, out, "--title", TITLE, *options)

    assert result.code == 1, result.output
    assert message in result.output
    assert not (out / "VespodarUpdate.exe").exists()


def test_version_given_for_a_file_without_one_is_used(tmp_path):
    source = tmp_path / "notes.txt"
    source.write_bytes(b"text")

    result = build_update(source, tmp_path / "out", "--title", TITLE, "--version", "3")

    assert result.ok, result.output
    assert result.check["package"].startswith("notes.txt"), result.check
    assert (tmp_path / "out" / "VespodarUpdate.exe").is_file()
