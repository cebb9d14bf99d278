"""A Windows machine for one test: a cloned Wine prefix with its own server.

Everything a test does to the machine goes through here: installing the
stand-in product, writing and reading the registry, running the setup under
the scripted user, and reading what the user saw.

Wine's output never goes through a pipe: Wine's background processes inherit
it and keep it open as long as the server lives, so a read would hang. Every
Wine process writes into a file of the test's own directory instead.
"""
import fcntl
import json
import os
import shutil
import subprocess
import time
from dataclasses import dataclass, field
from pathlib import Path, PureWindowsPath
from typing import Dict, List, Optional, Tuple

LOCALES = {"en": "en_US.UTF-8", "ru": "ru_RU.UTF-8"}

UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vespodar"
WINE_FONT_DIR = Path("/usr/share/wine/fonts")
WINE_FONTS = ("tahoma.ttf", "tahomabd.ttf", "marlett.ttf")
WINE_TIMEOUT = 120  # seconds for any single Wine command; only a hang reaches it
# The loader that starts every Windows program. "wine" picks the 32-bit one,
# which a kernel without 32-bit support cannot run: there scripts/test.sh names
# Wine's 64-bit loader, and the suite runs a 64-bit build on 64-bit prefixes.
WINE = os.environ.get("VESPODAR_WINE", "wine")


class WineError(RuntimeError):
    pass


class NeverStarted(WineError):
    """Wine ended the scripted user before its first line, so the setup was
    never started: a fault of the test bed, seen once in a few hundred runs
    on a loaded machine (exit code 1, nothing logged)."""


def _wine_version(work: Path) -> str:
    out_file = work / "wine-version.txt"
    with open(out_file, "wb") as out:
        subprocess.run([WINE, "--version"], stdout=out, stderr=subprocess.DEVNULL,
                       stdin=subprocess.DEVNULL, timeout=60, check=True)
    return out_file.read_text().strip()


def pristine_prefix(cache: Path, arch: str, work: Path) -> Path:
    """The ready prefix of one kind, made once and kept in the cache.

    Several test processes may ask at once: the first makes it under a lock,
    the others wait and reuse it. A prefix made by another Wine version is
    made anew.
    """
    cache.mkdir(parents=True, exist_ok=True)
    target = cache / arch
    ready = target / ".vespodar-ready"
    version = _wine_version(work)
    with open(cache / f"{arch}.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if ready.exists() and ready.read_text() == version:
            return target
        building = cache / f"{arch}.building"
        shutil.rmtree(building, ignore_errors=True)
        shutil.rmtree(target, ignore_errors=True)
        env = dict(os.environ, WINEPREFIX=str(building), WINEARCH=arch, WINEDEBUG="-all",
                   LC_ALL=LOCALES["en"])
        env.pop("DISPLAY", None)
        log = work / f"wineboot-{arch}.log"
        with open(log, "wb") as out:
            subprocess.run([WINE, "wineboot", "-i"], env=env, stdout=out, stderr=out,
                           stdin=subprocess.DEVNULL, timeout=600, check=True)
            subprocess.run(["wineserver", "-w"], env=env, stdout=out, stderr=out,
                           stdin=subprocess.DEVNULL, timeout=600, check=True)
        if not (building / "drive_c" / "windows").is_dir():
            raise WineError(f"wineboot made no prefix for {arch}; see {log}")
        building.rename(target)
        ready.write_text(version)
        return target


def oversized_copy(setup: Path, path: Path) -> Path:
    """A copy of the setup grown past 4 GiB: a file whose size the setup's
    self-check cannot take (as a 32-bit number).

    Wine's loader looks at the size's low 32 bits only, which must still
    cover the whole image: so the file grows by exactly 4 GiB, as a hole
    that costs no disk.
    """
    shutil.copyfile(setup, path)
    os.truncate(path, path.stat().st_size + 4 * 1024 ** 3)
    return path


def windows_join(*parts: str) -> str:
    return str(PureWindowsPath(*parts))


@dataclass
class Box:
    caption: str
    text: str
    buttons: List[str]
    answer: str
    scripted: bool
    mismatch: bool
    picture: Optional[Path] = None  # the box as the screen showed it (BMP), with shots=
    # The setup's other visible top-level windows while the box was up.
    windows: List[dict] = field(default_factory=list)
    screen: Optional[Path] = None  # the whole screen at that moment (BMP), with shots=

    def shown(self) -> Tuple[str, str, List[str]]:
        """What the user saw, without what the script did with it."""
        return (self.caption, self.text, self.buttons)


@dataclass
class SetupRun:
    boxes: List[Box]
    result: dict
    artifacts: Path
    # With watch=: each sighting of a watched window (a progress window) while
    # the setup ran: its title, texts, bar position and, with shots, picture.
    watched: List[dict] = field(default_factory=list)

    @property
    def exit_code(self) -> int:
        assert self.result.get("status") == "exited", (
            f"the setup did not end by itself: {self.result} (see {self.artifacts})")
        return self.result["exit_code"]

    @property
    def foreground(self) -> Tuple[str, bool]:
        return (self.result["foreground_class"], self.result["foreground_iconic"])

    def shown(self):
        return [box.shown() for box in self.boxes]


@dataclass
class Product:
    """One installed copy of the stand-in product."""
    machine: "Machine"
    windows_dir: str          # as Windows names it, without trailing backslash
    log: Path                 # the stand-in's log, outside the product directory
    files: Dict[str, bytes] = field(default_factory=dict)

    @property
    def path(self) -> Path:
        return self.machine.unix_path(self.windows_dir)

    @property
    def exe(self) -> str:
        return windows_join(self.windows_dir, "Vespodar.exe")

    @property
    def uninstaller(self) -> str:
        return windows_join(self.windows_dir, "uninst.exe")

    def read(self, name: str) -> bytes:
        return (self.path / name).read_bytes()

    def tree_size_kib(self) -> int:
        """The size of the whole product tree, counted here, not by the setup."""
        total = 0
        for root, _dirs, files in os.walk(self.path):
            for name in files:
                total += os.lstat(os.path.join(root, name)).st_size
        return (total % 2**32) // 1024

    def log_lines(self) -> List[str]:
        if not self.log.exists():
            return []
        return self.log.read_text(encoding="utf-8").splitlines()

    def log_value(self, key: str) -> Optional[str]:
        for line in self.log_lines():
            if line.startswith(key + "="):
                return line[len(key) + 1:]
        return None

    def starts(self) -> int:
        return self.log_lines().count("start")

    def wait_for_log(self, line: str, timeout: float = 30) -> bool:
        return self._wait(lambda lines: line in lines, timeout)

    def wait_for_start(self, timeout: float = 30) -> bool:
        """Waits until the product has logged a start and where it runs from.

        The setup may hand the start to the desktop shell, which starts the
        product when it gets round to it, after the setup has ended too."""
        return self._wait(lambda lines: "start" in lines and
                          any(line.startswith("cwd=") for line in lines), timeout)

    def _wait(self, done, timeout: float) -> bool:
        deadline = time.monotonic() + timeout
        while True:
            if done(self.log_lines()):
                return True
            if time.monotonic() >= deadline:
                return False
            time.sleep(0.1)


class Machine:
    """A cloned prefix of one architecture, used by one test under one locale."""

    def __init__(self, pristine: Path, arch: str, lang: str, work: Path, build: Path):
        self.arch = arch
        self.lang = lang
        self.work = work
        self.build = build
        self.prefix = work / "prefix"
        self._pristine = pristine
        self._commands = 0
        self.env = dict(os.environ, WINEPREFIX=str(self.prefix), WINEDEBUG="-all",
                        LC_ALL=LOCALES[lang], LANG=LOCALES[lang])
        self.env.pop("WINEARCH", None)
        self.env.pop("LANGUAGE", None)
        # Extra arguments of every Wine process (the Unix user it runs as).
        self._as_user: Dict[str, object] = {}

    @property
    def win64(self) -> bool:
        return self.arch == "win64"

    # ---- life cycle -------------------------------------------------------

    def start(self) -> None:
        subprocess.run(["cp", "-a", str(self._pristine), str(self.prefix)], check=True,
                       stdin=subprocess.DEVNULL, timeout=600)
        if self._as_user:
            # Wine refuses a prefix that is not its user's own.
            owner = f"{self._as_user['user']}:{self._as_user['group']}"
            subprocess.run(["chown", "-R", owner, str(self.prefix)], check=True,
                           stdin=subprocess.DEVNULL, timeout=600)
        # One server for the whole case: it keeps the registry (and a DACL put on
        # it) in memory, and spares every Wine start the server's start-up.
        with open(self.work / "wineserver.log", "ab") as out:
            subprocess.run(["wineserver", "-p"], env=self.env, stdout=out, stderr=out,
                           stdin=subprocess.DEVNULL, timeout=60, check=True, **self._as_user)

    def stop(self, keep: bool = False) -> None:
        with open(self.work / "wineserver.log", "ab") as out:
            subprocess.run(["wineserver", "-k"], env=self.env, stdout=out, stderr=out,
                           stdin=subprocess.DEVNULL, timeout=60, **self._as_user)
            subprocess.run(["wineserver", "-w"], env=self.env, stdout=out, stderr=out,
                           stdin=subprocess.DEVNULL, timeout=60, **self._as_user)
        if not keep:
            shutil.rmtree(self.prefix, ignore_errors=True)

    def add_wine_fonts(self) -> None:
        """Gives the machine Wine's own Tahoma and Marlett (Debian's fonts-wine).

        Wine does not find them where Debian puts them: without them the
        boxes are set in a fontconfig substitute and a title bar's close
        button, a Marlett glyph, shows as the letter "r". Wine reads the
        Windows font folder at each start, so copying is all it takes.
        """
        fonts = self.drive_c / "windows" / "Fonts"
        fonts.mkdir(parents=True, exist_ok=True)
        for name in WINE_FONTS:
            source = WINE_FONT_DIR / name
            if not source.is_file():
                raise WineError(f"{source} is missing (Debian package fonts-wine)")
            shutil.copyfile(source, fonts / name)

    def use_virtual_desktop(self, size: str = "800x600") -> None:
        """Runs every program of the machine inside one virtual desktop window.

        Xvfb has no window manager, so a box there has no title bar; on a
        virtual desktop Wine draws the frame itself and a picture shows the
        whole box. It is the prefix's setting and not `wine explorer
        /desktop=NAME program`: that puts only the program on the desktop,
        and the product, which the setup starts through the desktop's shell,
        opens outside it, where the setup never finds its window. Restarts
        the server, so call it before anything that lives in the server's
        memory (take_away_rights).
        """
        self.reg_add(r"HKCU\Software\Wine\Explorer", "Desktop", "Default")
        self.reg_add(r"HKCU\Software\Wine\Explorer\Desktops", "Default", size)
        # The desktop in use was made without it: only a new server makes a
        # new one.
        self.stop(keep=True)
        with open(self.work / "wineserver.log", "ab") as out:
            subprocess.run(["wineserver", "-p"], env=self.env, stdout=out, stderr=out,
                           stdin=subprocess.DEVNULL, timeout=60, check=True)

    # ---- paths ------------------------------------------------------------

    @property
    def drive_c(self) -> Path:
        return self.prefix / "drive_c"

    @property
    def program_files(self) -> str:
        """The machine's Program Files (the 64-bit one on 64-bit Windows)."""
        return r"C:\Program Files"

    @property
    def program_files_x86(self) -> str:
        assert self.win64
        return r"C:\Program Files (x86)"

    def unix_path(self, windows_path: str) -> Path:
        path = PureWindowsPath(windows_path)
        drive = path.drive.upper()
        rest = path.parts[1:]
        if drive == "C:":
            return self.drive_c.joinpath(*rest)
        if drive == "Z:":
            return Path("/").joinpath(*rest)
        link = self.prefix / "dosdevices" / drive.lower()
        if link.is_symlink():
            return Path(os.readlink(link)).joinpath(*rest)
        raise ValueError(f"no Unix path for {windows_path}")

    def windows_path(self, unix_path: Path) -> str:
        unix_path = Path(unix_path).absolute()
        try:
            rest = unix_path.relative_to(self.drive_c)
            return windows_join("C:\\", *rest.parts)
        except ValueError:
            return windows_join("Z:\\", *unix_path.parts[1:])

    # ---- running Wine -----------------------------------------------------

    def _log_file(self, what: str) -> Path:
        self._commands += 1
        return self.work / f"wine-{self._commands:02d}-{what}.log"

    def wine(self, *args: str, what: str = "cmd", timeout: float = WINE_TIMEOUT) -> int:
        with open(self._log_file(what), "wb") as out:
            done = subprocess.run([WINE, *args], env=self.env, stdout=out, stderr=out,
                                  stdin=subprocess.DEVNULL, timeout=timeout, **self._as_user)
        return done.returncode

    def wine_background(self, *args: str, what: str = "bg") -> subprocess.Popen:
        out = open(self._log_file(what), "wb")
        try:
            return subprocess.Popen([WINE, *args], env=self.env, stdout=out, stderr=out,
                                    stdin=subprocess.DEVNULL, **self._as_user)
        finally:
            out.close()

    # ---- registry ---------------------------------------------------------

    def _view(self, view: Optional[int]) -> List[str]:
        # A 32-bit Windows has one view; name one only where two exist.
        if not self.win64:
            assert view in (None, 32), "a 32-bit prefix has no 64-bit view"
            return []
        return [f"/reg:{view or 64}"]

    def reg_add(self, key: str, name: str, data: str, kind: str = "REG_SZ",
                view: Optional[int] = None) -> None:
        code = self.wine("reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f",
                         *self._view(view), what="reg-add")
        if code != 0:
            raise WineError(f"reg add {key} {name} failed with {code}")

    def reg_delete(self, key: str, name: str, view: Optional[int] = None) -> None:
        """Removes one value; a value that is not there is no error."""
        self.wine("reg", "delete", key, "/v", name, "/f", *self._view(view), what="reg-delete")

    def reg_key(self, key: str, view: Optional[int] = None) -> Optional[Dict[str, tuple]]:
        """The values of one key as (type, data), or None when the key is missing."""
        # reg says 1 for a missing key, and so does a start that Wine itself
        # failed under load ("ShellExecuteEx failed: Internal error"): a
        # missing key is missing on the second try too.
        for _ in range(2):
            export = self.work / f"export-{self._commands + 1:02d}.reg"
            code = self.wine("reg", "export", key, self.windows_path(export), "/y",
                             *self._view(view), what="reg-export")
            if code == 0:
                return parse_reg_export(export.read_bytes().decode("utf-16"), key)
        return None

    def uninstall_entry(self, view: Optional[int] = None) -> Optional[Dict[str, tuple]]:
        return self.reg_key(UNINSTALL_KEY, view)

    # ---- the product ------------------------------------------------------

    def install_product(self, windows_dir: str, *, entry_view: Optional[int] = None,
                        uninstall_string: Optional[str] = None, register: bool = True,
                        with_exe: bool = True, settings: Optional[Dict[str, str]] = None,
                        tag: str = "product") -> Product:
        """Installs the stand-in product as its own installer would have.

        The tree holds the executable, the uninstaller, an older vdq2.cok and a
        few data files in subfolders; the Uninstall entry names the uninstaller
        in the given registry view.
        """
        log = self.work / f"{tag}.log"
        product = Product(self, windows_dir, log)
        root = product.path
        root.mkdir(parents=True, exist_ok=False)
        files = {
            "uninst.exe": b"MZ" + bytes(range(256)) * 9,
            "vdq2.cok": b"vdq\x00\x00\x00\x00old content " * 700,
            "readme.txt": "Весподар\r\n".encode("utf-8") * 37,
            "data/maps/north.3bs": bytes((i * 7) % 251 for i in range(12_345)),
            "data/maps/south.3bs": b"\x01" * 3_001,
            "data/sounds.pak": b"pak" * 1_111,
            "language/russian.lng": "langver=1\r\n".encode() * 99,
        }
        if with_exe:
            files["Vespodar.exe"] = (self.build / "tests" / "Vespodar.exe").read_bytes()
        for name, content in files.items():
            path = root / name
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(content)
        (root / "saves").mkdir()  # an empty folder counts for nothing
        ini = {"log": self.windows_path(log)}
        ini.update(settings or {})
        (root / "standin.ini").write_text(
            "".join(f"{key}={value}\n" for key, value in ini.items()), encoding="utf-8")
        product.files = files
        if register:
            self.reg_add(UNINSTALL_KEY, "UninstallString",
                         uninstall_string if uninstall_string is not None else product.uninstaller,
                         view=entry_view)
        return product

    def start_product(self, product: Product) -> subprocess.Popen:
        """Starts the product as the user would, and waits until its window is up."""
        running = self.wine_background(product.exe, what="product")
        if not product.wait_for_log("window", timeout=60):
            raise WineError(f"the stand-in product did not come up; log: {product.log_lines()}")
        return running

    # ---- rights -----------------------------------------------------------

    def take_away_rights(self, key: Optional[str] = None) -> None:
        """Leaves the machine to the setup as a user without rights would see
        it; with key (under HKLM), only that key refuses full access."""
        tool = self.windows_path(self.build / "tests" / "no_rights.exe")
        views = ["--view32", "--view64"] if self.win64 else []
        if key:
            views += ["--key", key]
        if self.wine(tool, "lock", *views, what="no-rights-lock") != 0:
            raise WineError("no_rights lock failed")
        # The lock lives in the server's memory: prove that it holds before
        # any conclusion is drawn from the setup's behaviour.
        if self.wine(tool, "probe", *views, what="no-rights-probe") != 5:
            raise WineError("the key still grants full access after the lock")

    # ---- the setup --------------------------------------------------------

    def run_setup(self, *args: str, answers: Tuple[str, ...] = (), cwd: Optional[Path] = None,
                  setup: Optional[Path] = None, settle_ms: int = 1000,
                  timeout_s: int = 60, shots: bool = False, look_ms: int = 0,
                  watch: Optional[str] = None) -> SetupRun:
        """Runs the setup as a user who answers its boxes from the script.

        With shots, each box is saved as a picture first (Box.picture). With
        look_ms the user looks at each box that long before answering. With
        watch, the user also watches the setup's windows of that class while
        it runs (SetupRun.watched).
        """
        for attempt in range(2):
            try:
                return self.start_setup(*args, answers=answers, cwd=cwd, setup=setup,
                                        settle_ms=settle_ms, timeout_s=timeout_s, shots=shots,
                                        look_ms=look_ms, watch=watch).wait()
            except NeverStarted:
                # Nothing of the setup ran, so running it again tests the same.
                if attempt:
                    raise

    def start_setup(self, *args: str, answers: Tuple[str, ...] = (), cwd: Optional[Path] = None,
                    setup: Optional[Path] = None, settle_ms: int = 1000,
                    timeout_s: int = 60, shots: bool = False,
                    look_ms: int = 0, watch: Optional[str] = None) -> "PendingRun":
        """Starts the setup under the scripted user and returns at once."""
        self._commands += 1
        run_dir = self.work / f"run-{self._commands:02d}"
        run_dir.mkdir()
        if self._as_user:
            os.chown(run_dir, self._as_user["user"], self._as_user["group"])
        boxes_log = run_dir / "boxes.jsonl"
        result = run_dir / "result.json"
        user = self.windows_path(self.build / "tests" / "scripted_user.exe")
        command = [user, "--log", self.windows_path(boxes_log),
                   "--result", self.windows_path(result),
                   "--timeout", str(timeout_s), "--settle", str(settle_ms)]
        if answers:
            command += ["--answers", ",".join(answers)]
        if look_ms:
            command += ["--look", str(look_ms)]
        if cwd is not None:
            command += ["--cwd", self.windows_path(cwd)]
        if shots:
            (run_dir / "shots").mkdir()
            command += ["--shots", self.windows_path(run_dir / "shots")]
        if watch:
            command += ["--watch", watch,
                        "--watch-log", self.windows_path(run_dir / "watched.jsonl")]
        command += ["--", self.windows_path(setup or self.build / "VespodarUpdate.exe"), *args]
        process = self.wine_background(*command, what="scripted-user")
        # The scripted user first waits up to a minute for the desktop's shell
        # (which, for a user it never answers, takes the whole minute), then
        # gives the setup timeout_s: the wait here covers both, and a margin.
        return PendingRun(process, run_dir, timeout_s + 120, shots)

    def run_on_hidden_station(self, *args: str, timeout_s: int = 60) -> dict:
        """Runs the setup on a window station of its own that nobody sees, as
        a service or SYSTEM in session 0 runs it; returns the helper's result
        (status, exit_code, station_visible). A box there would wait until
        the helper's timeout ends the setup."""
        self._commands += 1
        result = self.work / f"hidden-{self._commands:02d}.json"
        tool = self.windows_path(self.build / "tests" / "hidden_station.exe")
        code = self.wine(tool, self.windows_path(result), str(timeout_s), "--",
                         self.windows_path(self.build / "VespodarUpdate.exe"), *args,
                         what="hidden-station", timeout=timeout_s + 60)
        if not result.exists():
            raise WineError(f"hidden_station ended with {code} and left no result")
        return json.loads(result.read_text(encoding="utf-8"))

    # ---- faults -----------------------------------------------------------

    def link_drive(self, letter: str, unix_dir: Path) -> str:
        """Makes unix_dir the drive of that letter (a small file system, say);
        returns the drive's root as Windows names it."""
        link = self.prefix / "dosdevices" / f"{letter.lower()}:"
        if link.is_symlink() or link.exists():
            link.unlink()
        link.symlink_to(unix_dir)
        return f"{letter.upper()}:\\"

    def hold_file(self, windows_path: str, hold_ms: int = 0,
                  rename_directory: Optional[str] = None, share_read: bool = False) -> subprocess.Popen:
        """Another process holds the file open without sharing: for hold_ms, or
        (0) until it is ended. Returns once the file is held. With
        rename_directory, it holds the file until a staging file appears in
        that directory, then tries to rename the directory, lets go, and ends
        with the rename's Windows error (100: the rename succeeded)."""
        self._commands += 1
        ready = self.work / f"held-{self._commands:02d}"
        tool = self.windows_path(self.build / "tests" / "hold_file.exe")
        extra = [rename_directory] if rename_directory else []
        hold = str(hold_ms) + ("+read" if share_read else "")
        holder = self.wine_background(tool, windows_path, self.windows_path(ready), hold,
                                      *extra, what="hold-file")
        deadline = time.monotonic() + WINE_TIMEOUT
        while not ready.exists():
            if holder.poll() is not None:
                raise WineError(f"hold_file ended with {holder.returncode} before holding")
            if time.monotonic() > deadline:
                holder.kill()
                raise WineError("hold_file did not hold the file in time")
            time.sleep(0.05)
        return holder

    def run_setup_while_held(self, windows_path: str, *args: str, share_read: bool = False,
                             **kwargs) -> "SetupRun":
        """Runs the setup while another process holds the file open without
        sharing (or, with share_read, letting others read it) from before the
        start to after the end."""
        holder = self.hold_file(windows_path, share_read=share_read)
        try:
            run = self.run_setup(*args, **kwargs)
            assert holder.poll() is None, "the holder let go during the run"
        finally:
            holder.kill()
            holder.wait(timeout=60)
        return run

    def run_as(self, user: int, group: int) -> None:
        """Every later Wine process of this machine runs as that Unix user (a user
        without the root's power over file permissions). Call before start()."""
        self._as_user = {"user": user, "group": group, "extra_groups": []}
        self.env["HOME"] = str(self.work)
        # The server keeps its socket under TMPDIR in a directory of its
        # user's own; root's under /tmp would be refused.
        server_dir = self.work / "tmp"
        server_dir.mkdir(exist_ok=True)
        os.chown(server_dir, user, group)
        self.env["TMPDIR"] = str(server_dir)

    def windows_processes(self, image_name: str) -> List[int]:
        """The Unix process ids of this machine's Wine processes that run image_name."""
        found = []
        for entry in Path("/proc").iterdir():
            if not entry.name.isdigit():
                continue
            try:
                command = (entry / "cmdline").read_bytes()
                if image_name.lower().encode() not in command.lower():
                    continue
                environment = (entry / "environ").read_bytes().split(b"\0")
            except OSError:
                continue
            if f"WINEPREFIX={self.prefix}".encode() in environment:
                found.append(int(entry.name))
        return found


@dataclass
class PendingRun:
    """A setup started under the scripted user, not yet waited for."""
    process: subprocess.Popen
    run_dir: Path
    timeout_s: int
    shots: bool = False

    def wait(self) -> SetupRun:
        try:
            self.process.wait(timeout=self.timeout_s)
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise
        result = self.run_dir / "result.json"
        if not result.exists():
            # The scripted user makes its log before it starts the setup.
            if not (self.run_dir / "boxes.jsonl").exists():
                raise NeverStarted(f"the scripted user never started (exit code "
                                   f"{self.process.returncode}) in {self.run_dir}")
            raise WineError(f"the scripted user left no result in {self.run_dir}")
        boxes = []
        boxes_log = self.run_dir / "boxes.jsonl"
        lines = boxes_log.read_text(encoding="utf-8").splitlines() if boxes_log.exists() else []
        outcome = json.loads(result.read_text(encoding="utf-8"))
        if outcome.get("boxes", len(lines)) != len(lines):
            # A box answered and not logged is the test bed's fault, not the setup's.
            raise WineError(f"the scripted user answered {outcome['boxes']} boxes and logged "
                            f"{len(lines)} in {self.run_dir}")
        for line in lines:
            entry = json.loads(line)
            picture = entry.get("picture")
            if self.shots and not picture:
                raise WineError(f"box {entry['index']} was not saved as a picture: "
                                f"error {entry.get('picture_error')} (see {self.run_dir})")
            boxes.append(Box(entry["caption"], entry["text"], entry["buttons"], entry["answer"],
                             entry["scripted"], entry["mismatch"],
                             self.run_dir / "shots" / picture if picture else None,
                             entry.get("windows", []),
                             self.run_dir / "shots" / entry["screen"] if entry.get("screen") else None))
        watched_log = self.run_dir / "watched.jsonl"
        watched = []
        for line in (watched_log.read_text(encoding="utf-8").splitlines()
                     if watched_log.exists() else []):
            entry = json.loads(line)
            if entry.get("picture"):
                entry["picture"] = self.run_dir / "shots" / entry["picture"]
            watched.append(entry)
        return SetupRun(boxes, outcome, self.run_dir, watched)


def parse_reg_export(text: str, key: str) -> Dict[str, tuple]:
    """The values of `key` in the text of `reg export` (REGEDIT5 format)."""
    wanted = key.lower().replace("hklm\\", "hkey_local_machine\\").replace(
        "hkcu\\", "hkey_current_user\\")
    values: Dict[str, tuple] = {}
    inside = False
    lines = text.replace("\r\n", "\n").split("\n")
    logical = []
    for line in lines:  # hex values continue with a trailing backslash
        if logical and logical[-1].endswith("\\") and not logical[-1].endswith('"'):
            logical[-1] = logical[-1][:-1] + line.strip()
        else:
            logical.append(line)
    for line in logical:
        if line.startswith("["):
            inside = line.strip()[1:-1].lower() == wanted
            continue
        if not inside or not line.startswith(("\"", "@")):
            continue
        name, data = _split_value(line)
        if data.startswith('"'):
            values[name] = ("REG_SZ", _unquote(data))
        elif data.startswith("dword:"):
            values[name] = ("REG_DWORD", int(data[6:], 16))
        elif data.startswith("hex(2):"):
            raw = bytes.fromhex(data[7:].replace(",", ""))
            values[name] = ("REG_EXPAND_SZ", raw.decode("utf-16-le").rstrip("\0"))
        elif data.startswith("hex(7):"):
            # A list of texts, each ended by a NUL, and the list by another.
            raw = bytes.fromhex(data[7:].replace(",", ""))
            text = raw.decode("utf-16-le")
            values[name] = ("REG_MULTI_SZ", text[:-2].split("\0") if text.endswith("\0\0") else
                            text.rstrip("\0").split("\0"))
        else:
            values[name] = ("OTHER", data)
    return values


def _split_value(line: str) -> Tuple[str, str]:
    if line.startswith("@="):
        return "", line[2:]
    i = 1
    while line[i] != '"':
        i += 2 if line[i] == "\\" else 1
    return _unquote(line[: i + 1]), line[i + 2:]


def _unquote(quoted: str) -> str:
    body = quoted[1:-1]
    out, i = [], 0
    while i < len(body):
        if body[i] == "\\" and i + 1 < len(body):
            out.append(body[i + 1])
            i += 2
        else:
            out.append(body[i])
            i += 1
    return "".join(out)
