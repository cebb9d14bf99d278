"""foreign_twin_pins.py on canned apt-cache and dpkg-query output: run with pytest."""
import pytest

from foreign_twin_pins import (NoCommonVersion, Pin, choose_pins, dependency_closure,
                               installed_same, madison_versions)

DEPENDS = """\
wine32:i386
  Depends: libc6:i386
  Depends: libwine:i386
libc6:i386
  Depends: libgcc-s1:i386
libwine:i386
  Depends: libgstreamer-plugins-base1.0-0:i386
 |Depends: ocl-icd-libopencl1:i386
  Depends: <libopencl1:i386>
    ocl-icd-libopencl1:i386
  Depends: <libz-mingw-w64:i386>
    libz-mingw-w64
libgstreamer-plugins-base1.0-0:i386
  Depends: zlib1g:i386
  Depends: libcap2:i386
  Depends: libfoo:i386
zlib1g:i386
libcap2:i386
libfoo:i386
libgcc-s1:i386
fontconfig-config
<libopencl1:i386>
"""

SEC = "http://deb.debian.org/debian-security bookworm-security/main"
MAIN = "http://deb.debian.org/debian bookworm/main"
UPDATES = "http://deb.debian.org/debian bookworm-updates/main"


def madison(name, arch, *entries):
    shown = name if arch == "amd64" else f"{name}:{arch}"
    return "".join(f"  {shown} | {version} | {where} {arch} Packages\n" for version, where in entries)


def dpkg(name, version, multi_arch="same", status="ii ", arch="amd64"):
    return f"{name}\t{arch}\t{version}\t{multi_arch}\t{status}\n"


GST = "libgstreamer-plugins-base1.0-0"


def test_closure_names_the_visited_packages_of_the_architecture_only():
    assert dependency_closure(DEPENDS, "i386") == {
        "wine32", "libc6", "libwine", GST, "zlib1g", "libcap2", "libfoo", "libgcc-s1"}


def test_madison_skips_sources_and_names_the_native_architecture():
    text = (madison("zlib1g", "amd64", ("1:1.2.13.dfsg-1+deb12u1", SEC), ("1:1.2.13.dfsg-1", MAIN))
            + madison("zlib1g", "i386", ("1:1.2.13.dfsg-1", MAIN))
            + f"    zlib1g | 1:1.2.13.dfsg-1 | {MAIN} Sources\n")
    assert madison_versions(text, "amd64") == {
        ("zlib1g", "amd64"): ["1:1.2.13.dfsg-1+deb12u1", "1:1.2.13.dfsg-1"],
        ("zlib1g", "i386"): ["1:1.2.13.dfsg-1"]}


CASES = {
    # The measured case: a security version on amd64, the i386 index of the
    # security suite missing: back to the newest version of another suite.
    "security version downgraded": (
        dpkg(GST, "1.22.0-3+deb12u7"),
        madison(GST, "amd64", ("1.22.0-3+deb12u7", SEC), ("1.22.0-3+deb12u6", UPDATES),
                ("1.22.0-3+deb12u5", MAIN))
        + madison(GST, "i386", ("1.22.0-3+deb12u6", UPDATES), ("1.22.0-3+deb12u5", MAIN)),
        [Pin(GST, "1.22.0-3+deb12u7", "1.22.0-3+deb12u6")]),
    "twin of the installed version exists": (
        dpkg("zlib1g", "1:1.2.13.dfsg-1"),
        madison("zlib1g", "amd64", ("1:1.2.13.dfsg-1+deb12u1", SEC), ("1:1.2.13.dfsg-1", MAIN))
        + madison("zlib1g", "i386", ("1:1.2.13.dfsg-1", MAIN)),
        []),
    # An image older than the point release: the newest common version,
    # not the newest amd64 one.
    "older than both, pinned to the newest common": (
        dpkg("libcap2", "1:2.66-4+deb12u2+b2"),
        madison("libcap2", "amd64", ("1:2.66-4+deb12u4", SEC), ("1:2.66-4+deb12u3+b1", MAIN))
        + madison("libcap2", "i386", ("1:2.66-4+deb12u3+b1", MAIN)),
        [Pin("libcap2", "1:2.66-4+deb12u2+b2", "1:2.66-4+deb12u3+b1")]),
    "not Multi-Arch same": (
        dpkg("libfoo", "2", multi_arch="foreign"),
        madison("libfoo", "amd64", ("2", SEC)) + madison("libfoo", "i386", ("1", MAIN)),
        []),
    "only its configuration left": (
        dpkg("libfoo", "2", status="rc "),
        madison("libfoo", "amd64", ("2", SEC)) + madison("libfoo", "i386", ("1", MAIN)),
        []),
    "not a dependency": (
        dpkg("libbar", "2"),
        madison("libbar", "amd64", ("2", SEC)) + madison("libbar", "i386", ("1", MAIN)),
        []),
    "amd64 not installed, i386 installed": (
        dpkg(GST, "1.22.0-3+deb12u7", arch="i386"),
        madison(GST, "amd64", ("1.22.0-3+deb12u7", SEC)) + madison(GST, "i386", ("1.0", MAIN)),
        []),
}


@pytest.mark.parametrize("installed, versions, expected", CASES.values(), ids=CASES.keys())
def test_pins(installed, versions, expected):
    assert choose_pins(dependency_closure(DEPENDS, "i386"), installed_same(installed, "amd64"),
                       madison_versions(versions, "amd64"), "amd64", "i386") == expected


def test_no_common_version_names_the_library():
    versions = madison(GST, "amd64", ("1.22.0-3+deb12u7", SEC)) + madison(GST, "i386", ("1.20", MAIN))
    with pytest.raises(NoCommonVersion, match=GST):
        choose_pins({GST}, {GST: "1.22.0-3+deb12u7"}, madison_versions(versions, "amd64"),
                    "amd64", "i386")
