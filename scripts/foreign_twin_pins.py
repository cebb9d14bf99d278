#!/usr/bin/env python3
"""Prints the pins (NAME:NATIVE=VERSION, one a line) that let apt install a
foreign-architecture package, e.g. wine32:i386, when a mirror lacks one of
that architecture's indexes.

A Multi-Arch "same" library must have one version in every architecture.
When the mirror's i386 index of the security suite is missing, an amd64
library installed at a security version has no i386 twin of that version, and
apt refuses the whole package. Each such library among the package's
dependencies is pinned to the newest version that both architectures have
(a downgrade, usually); apt then installs the twins side by side.

    foreign_twin_pins.py wine32:i386

Exits 1, saying which library, when one has no version in common at all.
Why each pin was chosen goes to standard error.
"""
import subprocess
import sys
from typing import Dict, List, NamedTuple, Set, Tuple


class Pin(NamedTuple):
    name: str
    installed: str
    version: str


class NoCommonVersion(Exception):
    pass


def dependency_closure(depends_text: str, arch: str) -> Set[str]:
    """The names of the packages of arch that `apt-cache depends --recurse`
    visited. Only its unindented lines name a package; a virtual one is in
    <angle brackets> and has no version to pin."""
    suffix = ":" + arch
    return {line[:-len(suffix)] for line in depends_text.splitlines()
            if line.endswith(suffix) and not line.startswith((" ", "<"))}


def installed_same(dpkg_text: str, arch: str) -> Dict[str, str]:
    """Name -> version of the installed Multi-Arch "same" packages of arch,
    from dpkg-query -f '${Package}\\t${Architecture}\\t${Version}\\t${Multi-Arch}\\t${db:Status-Abbrev}\\n'."""
    found = {}
    for line in dpkg_text.splitlines():
        fields = line.split("\t")
        if len(fields) < 5:
            continue
        name, package_arch, version, multi_arch, status = fields[:5]
        # "rc" and the like: only its configuration is left, no library.
        if package_arch == arch and multi_arch == "same" and status.strip() == "ii":
            found[name] = version
    return found


def madison_versions(madison_text: str, native: str) -> Dict[Tuple[str, str], List[str]]:
    """(name, arch) -> the versions the mirror has, newest first (as apt
    orders them). apt-cache madison leaves the native architecture unnamed."""
    versions: Dict[Tuple[str, str], List[str]] = {}
    for line in madison_text.splitlines():
        fields = [field.strip() for field in line.split("|")]
        if len(fields) != 3 or not fields[2].endswith("Packages"):
            continue  # a source package's line
        name, version, _ = fields
        name, _, arch = name.partition(":")
        known = versions.setdefault((name, arch or native), [])
        if version not in known:
            known.append(version)
    return versions


def choose_pins(closure: Set[str], installed: Dict[str, str],
                versions: Dict[Tuple[str, str], List[str]], native: str,
                foreign: str) -> List[Pin]:
    pins = []
    for name in sorted(closure & installed.keys()):
        foreign_versions = versions.get((name, foreign), [])
        if installed[name] in foreign_versions:
            continue
        common = [v for v in versions.get((name, native), []) if v in foreign_versions]
        if not common:
            raise NoCommonVersion(
                f"{name}: {native} {installed[name]} is installed, and no version is there for both "
                f"{native} and {foreign} ({foreign}: {', '.join(foreign_versions) or 'none'})")
        pins.append(Pin(name, installed[name], common[0]))
    return pins


def _run(*command: str) -> str:
    return subprocess.run(command, check=True, capture_output=True, text=True,
                          stdin=subprocess.DEVNULL).stdout


def main(argv: List[str]) -> int:
    if len(argv) != 2 or ":" not in argv[1]:
        print("usage: foreign_twin_pins.py NAME:ARCH", file=sys.stderr)
        return 2
    package, foreign = argv[1], argv[1].partition(":")[2]
    native = _run("dpkg", "--print-architecture").strip()
    closure = dependency_closure(_run(
        "apt-cache", "depends", "--recurse", "--no-recommends", "--no-suggests",
        "--no-conflicts", "--no-breaks", "--no-replaces", "--no-enhances", package), foreign)
    installed = installed_same(_run(
        "dpkg-query", "-W",
        "-f=${Package}\t${Architecture}\t${Version}\t${Multi-Arch}\t${db:Status-Abbrev}\n"),
        native)
    names = sorted(closure & installed.keys())
    if not names:
        return 0
    versions = madison_versions(_run(
        "apt-cache", "madison", *(f"{name}:{arch}" for name in names for arch in (native, foreign))),
        native)
    try:
        pins = choose_pins(closure, installed, versions, native, foreign)
    except NoCommonVersion as error:
        print(error, file=sys.stderr)
        return 1
    for pin in pins:
        print(f"{pin.name}: {native} {pin.installed} has no {foreign} twin; pinned to {pin.version}",
              file=sys.stderr)
        print(f"{pin.name}:{native}={pin.version}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
