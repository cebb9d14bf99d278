"""Assertions shared by the cases: what an administrator finds on the machine."""
import hashlib
import os
import struct
import subprocess
from contextlib import contextmanager
from pathlib import Path
from typing import Optional, Set

import pytest

from wine_machine import Machine, Product


def mount(source_args, target):
    """mount(8) on the host; the case is skipped where that is not permitted."""
    done = subprocess.run(["mount", *source_args, str(target)], stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)
    if done.returncode != 0:
        pytest.skip("mount is not permitted here: " + done.stdout.decode(errors="replace").strip())


def unmount(target):
    if subprocess.run(["umount", str(target)], stdin=subprocess.DEVNULL,
                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode != 0:
        subprocess.run(["umount", "-l", str(target)], stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


@contextmanager
def small_drive(machine: Machine, tmp_path: Path, size: str):
    """Drive E: of the machine: a file system of SIZE (tmpfs's size=),
    removed afterwards; yields its root as Windows names it."""
    mount_point = tmp_path / "small-drive"
    mount_point.mkdir()
    mount(["-t", "tmpfs", "-o", "size=" + size, "tmpfs"], mount_point)
    try:
        yield machine.link_drive("E", mount_point)
    finally:
        unmount(mount_point)


def tree(root: Path) -> Set[str]:
    """Every file and folder under root, relative, with forward slashes."""
    found = set()
    for base, dirs, files in os.walk(root):
        for name in dirs + files:
            found.add(os.path.relpath(os.path.join(base, name), root).replace(os.sep, "/"))
    return found


def same_path(a: Optional[str], b: str) -> bool:
    """Windows paths are the same regardless of letter case and a final backslash."""
    return a is not None and a.rstrip("\\").lower() == b.rstrip("\\").lower()


def assert_updated(machine: Machine, product: Product, package: bytes, before: Set[str],
                   size_view: Optional[int] = None) -> None:
    """The package is in place, the size is recorded and nothing else changed."""
    assert product.read("vdq2.cok") == package, "vdq2.cok is not the setup's package"
    assert tree(product.path) == before, "the setup left other files in the product directory"
    entry = machine.uninstall_entry(size_view)
    assert entry is not None, "the Uninstall entry is missing"
    assert entry.get("EstimatedSize") == ("REG_DWORD", product.tree_size_kib()), (
        f"EstimatedSize must be the tree's size in KiB; the entry holds {entry}")
    assert_marker(entry, "vdq2.cok", package, cok_version(package))


def cok_version(content: bytes) -> int:
    """The version a content file carries in its header (bytes 5-6)."""
    return struct.unpack_from("<H", content, 5)[0]


def assert_marker(entry, file_name: str, content: bytes, version: Optional[int]) -> None:
    """The detection marker names the file now in place, or pending the restart:
    what a deployment tool's detection rule reads."""
    assert entry.get(f"{file_name} sha256") == ("REG_SZ", hashlib.sha256(content).hexdigest()), entry
    assert entry.get(f"{file_name} version") == (
        None if version is None else ("REG_DWORD", version)), entry


def assert_untouched(machine: Machine, product: Product, entry_before, view: Optional[int] = None):
    """Nothing written: the old file and the Uninstall entry as they were."""
    assert product.read("vdq2.cok") == product.files["vdq2.cok"], "vdq2.cok was changed"
    assert machine.uninstall_entry(view) == entry_before, "the Uninstall entry was changed"


def assert_started_from(product: Product) -> None:
    """The product was started once, from its own directory."""
    assert product.wait_for_start(), f"the product was not started; log: {product.log_lines()}"
    assert product.starts() == 1, f"expected one start of the product; log: {product.log_lines()}"
    assert same_path(product.log_value("module"), product.exe), product.log_lines()
    assert same_path(product.log_value("cwd"), product.windows_dir), product.log_lines()


def assert_not_started(product: Product) -> None:
    assert product.starts() == 0, f"the product was started: {product.log_lines()}"
