"""A Windows machine for end-to-end tests: a Wine prefix, an X display, and
ways to shape it (registry, Windows version, a folder mapped as a CD-ROM
drive) and to run programs in it.

On a real Windows machine the same scenarios run the binaries directly: set
DEVSTART_NATIVE_WINDOWS=1 and the prefix operations become plain registry
and file operations of the host (see `WineHost.native`).
"""
import contextlib
import fcntl
import os
import pathlib
import shutil
import subprocess
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]

WINDOWS_VERSIONS = ("win2k", "winxp", "win7", "win2008", "win10")

# No Mono/Gecko installer dialogs (offline, unused) and no crash debugger: an
# attached winedbg waits for ever, so a crash must end the program instead.
WINEDLLOVERRIDES = "mscoree,mshtml=;winedbg.exe=d"


def pe_machine(exe):
    data = pathlib.Path(exe).read_bytes()[:4096]
    off = int.from_bytes(data[0x3C:0x40], "little")
    return int.from_bytes(data[off + 4:off + 6], "little")


def wine_loader(exe):
    """wine64 for x86-64 programs, the wine launcher for 32-bit ones."""
    if pe_machine(exe) == 0x8664 and os.path.exists("/usr/lib/wine/wine64"):
        return ["/usr/lib/wine/wine64"]
    return ["wine"]


def key_values(output):
    """The `key=value` lines a helper program printed, as a dict."""
    values = {}
    for line in output.splitlines():
        if "=" in line:
            k, v = line.split("=", 1)
            values[k.strip()] = v.strip()
    return values


def finish(proc, timeout):
    """Waits for a started program's end (not for its pipes: see
    `WineHost.run`); kills it and raises TimeoutExpired when it overruns."""
    try:
        return proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()
        raise


class Display:
    """One Xvfb server for the whole run; Wine needs it for every window."""

    def __init__(self):
        self.proc = None
        self.name = None

    def start(self):
        if self.proc:
            return self.name
        for n in range(91, 120):
            if not os.path.exists(f"/tmp/.X{n}-lock"):
                self.name = f":{n}"
                break
        self.proc = subprocess.Popen(
            ["Xvfb", self.name, "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if os.path.exists(f"/tmp/.X11-unix/X{self.name[1:]}"):
                break
            time.sleep(0.05)
        return self.name

    def stop(self):
        if self.proc:
            self.proc.terminate()
            self.proc.wait(timeout=10)
            self.proc = None


class WineHost:
    def __init__(self, prefix, display, arch_exe_hint=None):
        self.prefix = pathlib.Path(prefix)
        self.display = display
        self.env = dict(os.environ)
        self.env.update({
            "WINEPREFIX": str(self.prefix),
            "WINEDEBUG": "-all",
            "DISPLAY": display,
            "WINEDLLOVERRIDES": WINEDLLOVERRIDES,
        })
        self.native = os.environ.get("DEVSTART_NATIVE_WINDOWS") == "1"
        self.desktop_keeper = None  # see hold_desktop

    # ---- prefixes -------------------------------------------------------
    @classmethod
    def make_template(cls, path, display):
        """wineboot once; later prefixes are hard-linked copies of this one."""
        path = pathlib.Path(path)
        path.parent.mkdir(parents=True, exist_ok=True)
        # Parallel test workers share one template: the first makes it.
        with open(path.with_name(path.name + ".lock"), "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            if not (path / "system.reg").exists():
                cls._boot(path, display)
        return path

    @staticmethod
    def _boot(path, display):
        tmp = path.with_name(path.name + ".tmp")
        shutil.rmtree(tmp, ignore_errors=True)
        tmp.parent.mkdir(parents=True, exist_ok=True)
        env = dict(os.environ, WINEPREFIX=str(tmp), WINEDEBUG="-all", DISPLAY=display,
                   WINEDLLOVERRIDES=WINEDLLOVERRIDES)
        loader = "/usr/lib/wine/wine64" if os.path.exists("/usr/lib/wine/wine64") else "wine"
        subprocess.run([loader, "wineboot", "-i"], env=env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600)
        subprocess.run(["wineserver", "-w"], env=env, timeout=120)
        tmp.rename(path)

    @classmethod
    def from_template(cls, template, dest, display):
        """A fresh prefix in a tenth of a second: files are hard links to the
        template (Wine never rewrites them in place), the registry is copied."""
        dest = pathlib.Path(dest)
        shutil.rmtree(dest, ignore_errors=True)
        dest.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run(["cp", "-al", str(template), str(dest)], check=True)
        for reg in pathlib.Path(template).glob("*.reg"):
            (dest / reg.name).unlink()
            shutil.copy2(reg, dest / reg.name)
        host = cls(dest, display)
        host.keep_server()
        return host

    def keep_server(self):
        """Keeps the prefix's wineserver, and with it services and other
        system processes, until `close`. Debian's wineserver otherwise ends
        the moment the last program ends, taking an installed service with
        it, so a scenario's next step could find no service at all."""
        subprocess.run(["wineserver", "-p"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60, check=False)

    def hold_desktop(self, uidriver):
        """Brings the prefix's desktop up and keeps it up until `close`, before
        programs with windows start: two programs that both bring it up race,
        and a program that starts while Wine closes an unused desktop (a moment
        after its last user ends) gets no windows at all, so a message box it
        shows is never seen."""
        if self.desktop_keeper is None:
            keeper = self.start(uidriver, ["hold", "--seconds", "3600"])
            assert keeper.stdout.readline().strip() == b"held"
            self.desktop_keeper = keeper

    def close(self):
        if self.desktop_keeper is not None:
            self.desktop_keeper.kill()
            self.desktop_keeper.wait()
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)

    def linux_pids(self, *programs):
        """Processes of this prefix whose command line names one of these
        programs, as Linux sees them: a program may live on without a
        window, which no window list shows."""
        pids = []
        tag = f"WINEPREFIX={self.prefix}".encode()
        for entry in os.scandir("/proc"):
            if not entry.name.isdigit():
                continue
            try:
                cmdline = open(f"/proc/{entry.name}/cmdline", "rb").read()
                environ = open(f"/proc/{entry.name}/environ", "rb").read()
            except OSError:
                continue
            if any(p.encode() in cmdline for p in programs) and tag in environ.split(b"\0"):
                pids.append(int(entry.name))
        return pids

    # ---- paths ----------------------------------------------------------
    def unix_path(self, windows_path):
        drive, rest = windows_path[0].lower(), windows_path[3:]
        base = (self.prefix / "dosdevices" / f"{drive}:").resolve()
        return base.joinpath(*[p for p in rest.replace("\\", "/").split("/") if p])

    @property
    def temp_dir(self):
        return self.prefix / "drive_c" / "users" / os.environ.get("USER", "root") / "Temp"

    def read_log(self, name="Devstart.Log"):
        """The trace log as lines, or None when the program wrote none."""
        path = self.temp_dir / name
        if not path.exists():
            return None
        data = path.read_bytes()
        return data.decode("utf-16-le").split("\r\n")[:-1] if data else []

    # ---- shaping the machine --------------------------------------------
    def reg_import(self, text):
        """Seeds the registry with one .reg import (both views where given)."""
        with tempfile.NamedTemporaryFile("w", suffix=".reg", delete=False, encoding="utf-16") as f:
            f.write("Windows Registry Editor Version 5.00\r\n\r\n" + text.replace("\n", "\r\n"))
            name = f.name
        try:
            self.run_tool(["regedit", "/S", self.to_windows(name)])
        finally:
            os.unlink(name)

    def reg_add(self, key, name, value, kind="REG_SZ", view64=True):
        args = ["reg", "add", key, "/v", name, "/t", kind, "/d", value, "/f"]
        if view64:
            args.append("/reg:64")
        self.run_tool(args)

    def set_windows_version(self, version):
        assert version in WINDOWS_VERSIONS, version
        self.reg_add(r"HKCU\Software\Wine", "Version", version)

    def map_cdrom(self, letter, folder):
        """Shows `folder` as a CD-ROM drive, as the phone presents its CD."""
        letter = letter.lower()
        link = self.prefix / "dosdevices" / f"{letter}:"
        if link.is_symlink() or link.exists():
            link.unlink()
        link.symlink_to(pathlib.Path(folder).resolve())
        self.reg_add(r"HKLM\Software\Wine\Drives", f"{letter}:", "cdrom")

    def to_windows(self, unix_path):
        return "Z:" + str(pathlib.Path(unix_path).resolve()).replace("/", "\\")

    # ---- running --------------------------------------------------------
    def run_tool(self, args, timeout=120):
        """A tool of the prefix (reg, regedit, sc, ...), run to its end."""
        loader = ["/usr/lib/wine/wine64"] if os.path.exists("/usr/lib/wine/wine64") else ["wine"]
        cmd = loader + args
        rc, out = self._captured(cmd, None, None, timeout)
        return subprocess.CompletedProcess(cmd, rc, stdout=out, stderr=b"")

    def _captured(self, cmd, cwd, env, timeout):
        """Exit code and output of a program run to its end. The output goes
        through a file, not a pipe: Wine may start a system process (services,
        the desktop) in the program's wake that inherits its standard handles
        and outlives it, and a pipe would then never reach its end."""
        with tempfile.TemporaryFile() as out:
            p = subprocess.Popen(cmd, cwd=cwd, env=dict(self.env, **(env or {})), stdout=out,
                                 stderr=subprocess.DEVNULL)
            finish(p, timeout)
            out.seek(0)
            return p.returncode, out.read()

    def _command(self, exe, args):
        return [str(exe), *args] if self.native else [*wine_loader(exe), str(exe), *args]

    def start(self, exe, args=(), cwd=None, env=None):
        """Starts a Windows program; returns the Popen. `cwd` is a Unix
        folder (for the CD: the folder mapped as the drive)."""
        return subprocess.Popen(self._command(exe, args), cwd=cwd, env=dict(self.env, **(env or {})),
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def run(self, exe, args=(), cwd=None, timeout=60, env=None):
        """Runs a program to its end; returns its exit code and output."""
        rc, out = self._captured(self._command(exe, args), cwd, env, timeout)
        return rc, out.decode("utf-8", errors="replace")

    @staticmethod
    def wait_for_file(path, timeout=60):
        """Waits until a program started in the background has left this
        file (the prefix's server lives on, so its end cannot be waited for)."""
        path = pathlib.Path(path)
        deadline = time.monotonic() + timeout
        while not (path.exists() and path.stat().st_size > 0):
            assert time.monotonic() < deadline, f"{path} did not appear in {timeout} s"
            time.sleep(0.1)
        return path


@contextlib.contextmanager
def standalone_host(prefix, keep_server=False):
    """A prefix made from the e2e template, on an X server of its own, for
    the scripts that run outside pytest (the demo, the benchmarks); both are
    taken down at the end, whatever happens."""
    display = Display()
    name = display.start()
    host = None
    try:
        template = WineHost.make_template(ROOT / "build" / "e2e" / "template", name)
        host = WineHost.from_template(template, prefix, name)
        if keep_server:
            host.keep_server()
        yield host
    finally:
        if host:
            host.close()
        display.stop()
