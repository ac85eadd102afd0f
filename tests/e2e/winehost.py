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
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import warnings

ROOT = pathlib.Path(__file__).resolve().parents[2]

WINDOWS_VERSIONS = ("win2k", "winxp", "winxp64", "vista", "win7", "win2008", "win10")

# WINEARCH of a prefix: win64 has both registry views, syswow64 and Program
# Files (x86) as a 64-bit Windows; win32 is what Windows 2000 and the 32-bit
# editions of later versions were, with none of them. 32-bit programs run in
# either; a win32 prefix has no 64-bit loader at all.
WINE_ARCHES = ("win64", "win32")
WINE32 = "/usr/lib/wine/wine"
WINE64 = "/usr/lib/wine/wine64"

# No Mono/Gecko installer dialogs (offline, unused) and no crash debugger: an
# attached winedbg waits for ever, so a crash must end the program instead.
WINEDLLOVERRIDES = "mscoree,mshtml=;winedbg.exe=d"

# Template prefixes, one per architecture, in the scenarios' work folder.
TEMPLATES = {"win64": "template", "win32": "template-win32"}
# A boot takes well under a minute even under qemu-user, where now and then
# a process of Wine's set-up crashes and wineboot then waits for it for
# ever: such a boot is ended and begun again in a fresh folder.
BOOT_ATTEMPTS, BOOT_TIMEOUT = 3, 240
# A desktop comes up in a few seconds, under load in under a minute.
DESKTOP_ATTEMPTS, DESKTOP_TIMEOUT = 3, 120


def pe_machine(exe):
    data = pathlib.Path(exe).read_bytes()[:4096]
    off = int.from_bytes(data[0x3C:0x40], "little")
    return int.from_bytes(data[off + 4:off + 6], "little")


def wine_loader(exe):
    """wine64 for x86-64 programs, the wine launcher for 32-bit ones."""
    if pe_machine(exe) == 0x8664 and os.path.exists(WINE64):
        return [WINE64]
    return ["wine"]


def prefix_arch(prefix):
    """win32 or win64, as the prefix's registry records it (wineboot writes
    `#arch=` into system.reg); win64 for a prefix not made yet."""
    try:
        with open(pathlib.Path(prefix) / "system.reg", encoding="utf-8", errors="replace") as f:
            for _ in range(8):
                line = f.readline()
                if line.startswith("#arch="):
                    return line.strip().split("=", 1)[1]
    except OSError:
        pass
    return "win64"


def tool_loader(arch):
    """The loader of Wine's own tools (reg, regedit, sc, ...): the 64-bit one
    where there is one, since the 32-bit reg on a 64-bit prefix writes to the
    32-bit view; the 32-bit one on a win32 prefix, which has nothing else."""
    if arch == "win64" and os.path.exists(WINE64):
        return [WINE64]
    return [WINE32] if os.path.exists(WINE32) else ["wine"]


def key_values(output):
    """The `key=value` lines a helper program printed, as a dict."""
    values = {}
    for line in output.splitlines():
        if "=" in line:
            k, v = line.split("=", 1)
            values[k.strip()] = v.strip()
    return values


# Wine's record of every ShellExecuteEx call (its "exec" channel), written to
# standard error by the program and by every program it starts in turn.
SHELL_EXECUTE_TRACE = "-all,trace+exec"
_WINE_STRING = r'L"(?:[^"\\]|\\.)*"|\(null\)'
_SHELL_EXECUTE = re.compile(rf"trace:exec:SHELL_execute mask=\S+ hwnd=\S+ verb=(?P<verb>{_WINE_STRING}) "
                            rf"file=(?P<file>{_WINE_STRING}) parm=(?P<parm>{_WINE_STRING}) dir=(?P<dir>{_WINE_STRING}) ")


def _wine_string(text):
    """A string as Wine's debug output quotes it (L"C:\\\\x"), or None."""
    if text == "(null)":
        return None
    return re.sub(r"\\(.)", r"\1", text[2:-1])


def shell_executions(path):
    """What programs run with WINEDEBUG=SHELL_EXECUTE_TRACE asked the shell to
    start, oldest first: dicts of verb, file, parm and dir (None for null)."""
    text = pathlib.Path(path).read_bytes().decode("utf-8", errors="replace") if pathlib.Path(path).exists() else ""
    return [{k: _wine_string(v) for k, v in m.groupdict().items()} for m in _SHELL_EXECUTE.finditer(text)]


def prefix_processes(prefix):
    """{pid: command line} of the processes of a prefix, as Linux sees them."""
    found = {}
    tag = f"WINEPREFIX={prefix}".encode()
    for entry in os.scandir("/proc"):
        if not entry.name.isdigit():
            continue
        try:
            cmdline = pathlib.Path(f"/proc/{entry.name}/cmdline").read_bytes()
            environ = pathlib.Path(f"/proc/{entry.name}/environ").read_bytes()
        except OSError:
            continue
        if tag in environ.split(b"\0"):
            found[int(entry.name)] = cmdline
    return found


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
        self.arch = prefix_arch(self.prefix)

    # ---- prefixes -------------------------------------------------------
    @classmethod
    def make_template(cls, path, display, arch="win64"):
        """wineboot once; later prefixes are hard-linked copies of this one."""
        assert arch in WINE_ARCHES, arch
        path = pathlib.Path(path)
        path.parent.mkdir(parents=True, exist_ok=True)
        # Parallel test workers share one template: the first makes it.
        with open(path.with_name(path.name + ".lock"), "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            if not (path / "system.reg").exists():
                cls._boot(path, display, arch)
        assert prefix_arch(path) == arch, f"{path} is a {prefix_arch(path)} prefix, not {arch}"
        return path

    @staticmethod
    def _boot(path, display, arch="win64"):
        """wineboot in a folder beside the template, renamed into place once
        done; what Wine says goes to <template>.boot.log."""
        tmp = path.with_name(path.name + ".tmp")
        log = path.with_name(path.name + ".boot.log")
        log.unlink(missing_ok=True)
        for attempt in range(1, BOOT_ATTEMPTS + 1):
            shutil.rmtree(tmp, ignore_errors=True)
            tmp.parent.mkdir(parents=True, exist_ok=True)
            # WINEARCH counts only while the prefix is made; Wine reads it
            # from the prefix afterwards.
            env = dict(os.environ, WINEPREFIX=str(tmp), WINEDEBUG="-all", DISPLAY=display,
                       WINEDLLOVERRIDES=WINEDLLOVERRIDES, WINEARCH=arch)
            with open(log, "ab") as out:
                out.write(f"== wineboot -i ({arch}), attempt {attempt}\n".encode())
                out.flush()
                boot = subprocess.Popen([*tool_loader(arch), "wineboot", "-i"], env=env, stdin=subprocess.DEVNULL,
                                        stdout=out, stderr=out)
                try:
                    rc = boot.wait(timeout=BOOT_TIMEOUT)
                    why = f"wineboot's exit code {rc}" if rc else None
                    if not why and subprocess.run(["wineserver", "-w"], env=env, timeout=120).returncode:
                        why = "wineserver -w failed"
                except subprocess.TimeoutExpired:
                    why = "no end in time"
                if not why:
                    tmp.rename(path)
                    return
                out.write(f"== attempt {attempt} failed: {why}\n".encode())
            boot.kill()
            boot.wait()
            WineHost(tmp, display).end_processes()
        words = log.read_text(errors="replace")[-3000:]
        raise AssertionError(f"wineboot of a {arch} prefix did not finish in {BOOT_ATTEMPTS} attempts:\n{words}")

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
        shows is never seen.

        Under qemu-user the first program of a fresh prefix now and then
        loses its wineserver while Wine starts the prefix up (the server is
        gone and every thread waits on its pipe for ever): nothing of the
        program under test has run yet, so the prefix is started again, with
        a warning that says so."""
        for attempt in range(1, DESKTOP_ATTEMPTS + 1):
            keeper = self.start(uidriver, ["hold", "--seconds", "3600"])
            deadline = time.monotonic() + DESKTOP_TIMEOUT
            while time.monotonic() < deadline and self.server_running() and keeper.poll() is None:
                if select.select([keeper.stdout], [], [], 1)[0]:
                    break
            if keeper.poll() is None and select.select([keeper.stdout], [], [], 0)[0]:
                assert keeper.stdout.readline().strip() == b"held"
                self.desktop_keeper = keeper
                return
            why = ("its wineserver ended" if not self.server_running() else
                   f"uidriver hold ended with {keeper.returncode}" if keeper.poll() is not None else
                   f"no desktop in {DESKTOP_TIMEOUT} s")
            keeper.kill()
            keeper.wait()
            self.end_processes()
            if attempt < DESKTOP_ATTEMPTS:
                warnings.warn(f"{self.prefix.name}: the desktop did not come up ({why}); the prefix starts again")
                self.keep_server()
        raise AssertionError(f"the desktop of {self.prefix.name} did not come up in {DESKTOP_ATTEMPTS} attempts: {why}")

    def server_running(self):
        if self.native:
            return True
        return any(b"wineserver" in cmdline for cmdline in prefix_processes(self.prefix).values())

    def end_processes(self):
        """Ends the prefix's server and every program in it, also those
        whose server ended under them (out of `wineserver -k`'s reach)."""
        if self.native:
            return
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60, check=False)
        for pid in prefix_processes(self.prefix):
            with contextlib.suppress(OSError):
                os.kill(pid, signal.SIGKILL)

    def close(self):
        if self.desktop_keeper is not None:
            self.desktop_keeper.kill()
            self.desktop_keeper.wait()
        self.end_processes()

    def linux_pids(self, *programs):
        """Processes of this prefix whose command line names one of these
        programs, as Linux sees them: a program may live on without a
        window, which no window list shows."""
        return [pid for pid, cmdline in prefix_processes(self.prefix).items()
                if any(p.encode() in cmdline for p in programs)]

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
        """Sets one value; in the 64-bit view unless `view64` is false. A
        win32 prefix has one view only, which every program reads."""
        args = ["reg", "add", key, "/v", name, "/t", kind, "/d", value, "/f"]
        if view64 and self.arch == "win64":
            args.append("/reg:64")
        self.run_tool(args)

    def set_windows_version(self, version):
        assert version in WINDOWS_VERSIONS, version
        self.reg_add(r"HKCU\Software\Wine", "Version", version)

    def map_cdrom(self, letter, folder):
        """Shows `folder` as a CD-ROM drive, as the phone presents its CD.
        Wine's drive types live in the 64-bit view (the only one of a win32
        prefix)."""
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
        """A tool of the prefix (reg, regedit, sc, ...), run to its end: the
        64-bit one on a 64-bit prefix, the 32-bit one on a win32 prefix."""
        cmd = tool_loader(self.arch) + args
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
        if self.native:
            return [str(exe), *args]
        assert self.arch == "win64" or pe_machine(exe) != 0x8664, \
            f"{exe} is an x86-64 program: a win32 prefix cannot run it"
        return [*wine_loader(exe), str(exe), *args]

    def start(self, exe, args=(), cwd=None, env=None, stderr=None):
        """Starts a Windows program; returns the Popen. `cwd` is a Unix
        folder (for the CD: the folder mapped as the drive). `stderr`, a
        path, takes what Wine itself writes there (the channels WINEDEBUG
        names) from the program and from the programs it starts."""
        err = open(stderr, "wb") if stderr else subprocess.PIPE
        try:
            return subprocess.Popen(self._command(exe, args), cwd=cwd, env=dict(self.env, **(env or {})),
                                    stdout=subprocess.PIPE, stderr=err)
        finally:
            if stderr:
                err.close()

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


if __name__ == "__main__":
    # ./x test boots the templates before the scenarios, outside the time
    # limit of the one test that would otherwise wait for them:
    # winehost.py WORK_FOLDER ARCH...
    work = pathlib.Path(sys.argv[1]).resolve()
    for arch in sys.argv[2:]:
        WineHost.make_template(work / TEMPLATES[arch], os.environ["DISPLAY"], arch)
