"""Fixtures of the end-to-end scenarios: one X display and one template
prefix per architecture and run, a fresh prefix per test, and a virtual CD
built from the program under test."""
import fcntl
import os
import pathlib
import shutil

import pytest

from ui_helpers import parse_box
from winehost import ROOT, TEMPLATES, Display, WineHost, pe_machine

# Helpers and probes; the program under test is the shipped 32-bit build when
# this machine can run it (DEVSTART_PROGRAM), else the one beside the helpers.
BIN = pathlib.Path(os.environ.get("DEVSTART_BIN", ROOT / "build" / "win64"))
PROGRAM = pathlib.Path(os.environ.get("DEVSTART_PROGRAM", BIN / "Devstart.exe"))
WORK = pathlib.Path(os.environ.get("DEVSTART_E2E_WORK", ROOT / "build" / "e2e"))
# Helpers for a pure 32-bit prefix, which runs nothing else: the shipped
# build's own (its sim folder), or DEVSTART_BIN32.
RUNS_32BIT = pe_machine(PROGRAM) == 0x14C
BIN32 = pathlib.Path(os.environ.get("DEVSTART_BIN32", PROGRAM.parent if RUNS_32BIT else ROOT / "build" / "win32"))

COMPANIONS = ("SendScsiCmd.dll", "ScsiCmdService.exe", "Progress.avi")

# The config.ini the CD image carries (cd/config.ini, with LF line ends here).
SAMPLE_CONFIG = (ROOT / "cd" / "config.ini").read_text()
# What ships: the CD image (./x cd) read back through its Joliet tree. Roads
# run from a copy of it when the program under test is the shipped build.
CD_TREE = pathlib.Path(os.environ.get("DEVSTART_CD_TREE", ROOT / "build" / "cd" / "extracted"))


def pytest_configure(config):
    config.addinivalue_line("markers", "serial: runs after the parallel run, alone (the SCSI command service "
                                       "under qemu-user is not reliable with both cores loaded)")


@pytest.fixture(scope="session")
def display():
    """An X server of this worker's own: screenshots and pixel probes read
    the screen, where a window of a test running beside would cover this
    one's. Workers starting together would all take the first free display
    number, so it is chosen under a lock held until the server has it."""
    WORK.mkdir(parents=True, exist_ok=True)
    d = Display()
    with open(WORK / "display.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        name = d.start()
    yield name
    d.stop()


@pytest.fixture(scope="session")
def templates(display):
    """The template prefix of an architecture (win64, win32), booted by the
    first worker that asks for it in this run."""
    made = {}

    def template_of(arch):
        if arch not in made:
            made[arch] = WineHost.make_template(WORK / TEMPLATES[arch], display, arch)
        return made[arch]
    return template_of


@pytest.fixture(scope="session")
def template(templates):
    return templates("win64")


@pytest.fixture
def host(request, templates, display):
    """A fresh prefix: 64-bit, or of the architecture a test gives by
    parametrising `host` indirectly ("win64", "win32")."""
    arch = getattr(request, "param", "win64")
    if arch == "win32" and not RUNS_32BIT:
        pytest.skip("this machine cannot run 32-bit Wine, and a win32 prefix runs nothing else")
    name = request.node.name.replace("[", "-").replace("]", "").replace("/", "-")
    h = WineHost.from_template(templates(arch), WORK / "prefixes" / name, display)
    yield h
    h.close()
    shutil.rmtree(h.prefix, ignore_errors=True)


class Binaries:
    def __init__(self, folder):
        self.folder = folder

    def __getattr__(self, name):
        if name == "Devstart":
            return PROGRAM
        for sub in ("", "sim", "tests"):
            p = self.folder / sub / f"{name}.exe"
            if p.exists():
                return p
        raise AttributeError(f"{name}.exe not found under {self.folder}")


@pytest.fixture(scope="session")
def bins():
    return Binaries(BIN)


@pytest.fixture
def host_bins(host, bins):
    """The helpers (UI driver, stand-ins, probes) that run in this host's
    prefix: the x86-64 ones where they can (no emulator), the 32-bit build's
    in a win32 prefix."""
    return bins if host.arch == "win64" else Binaries(BIN32)


def bring_up_desktop(host, bins):
    """The prefix's desktop up, and kept up until the test ends."""
    host.hold_desktop(bins.uidriver)


@pytest.fixture
def desktop(host, bins):
    """For scenarios that start windowed programs one after another (the CD
    run, its copy, setups, applications): with the desktop kept up none of
    them meets it closing (CreateWindow would fail and the program end)."""
    bring_up_desktop(host, bins)
    return host


def answer_box(host, bins, expected, press="OK", timeout=150):
    """Waits for the next message box, reads it whole, presses a button, and
    checks that it was the box expected: caption (exactly), text, buttons,
    icon, owner and the program that showed it. Returns what was shown."""
    rc, out = host.run(bins.uidriver, ["box", "--timeout", str(timeout), "--press", press], timeout=timeout + 60)
    assert rc != 3, f"no message box within {timeout} s; expected {expected}"
    shown = parse_box(out)
    assert shown == expected
    assert rc == 0, f"the box has no {press} button: {shown}"
    return shown


class VirtualCd:
    """A folder holding what the phone's CD holds, mapped as drive E:.

    By default the CD's Devstart.exe is the relaunch recorder and the program
    under test runs from its build folder with the CD's root as its current
    directory, as AutoRun would start it: what the CD run stages and
    relaunches is the recorder, so the CD run's trace log is its own. With
    `whole_road` the CD is a copy of the shipped image's tree (read-only
    files, signed binaries, its config.ini and setups), and its relaunch goes
    on into the staged copy's local run; where only the x86-64 build runs,
    the CD is that build's program and companions instead."""

    def __init__(self, host, bins, folder, letter="E", whole_road=False):
        self.host, self.bins, self.folder, self.letter = host, bins, folder, letter
        make_writable(folder)
        shutil.rmtree(folder, ignore_errors=True)
        self.program = folder / "Devstart.exe" if whole_road else PROGRAM
        if whole_road and RUNS_32BIT:
            assert (CD_TREE / "autorun.inf").exists(), f"no CD image at {CD_TREE}: ./x cd builds it"
            shutil.copytree(CD_TREE, folder)
            folder.chmod(0o755)  # the tests add and change files on their copy
        else:
            folder.mkdir(parents=True)
            shutil.copy2(bins.Devstart if whole_road else bins.RelaunchRecorder, folder / "Devstart.exe")
            # The program's companions from its own build: the SCSI command
            # library it imports and the SCSI command service (config.ini names it).
            for companion in COMPANIONS:
                if (PROGRAM.parent / companion).exists():
                    shutil.copy2(PROGRAM.parent / companion, folder / companion)
            if whole_road:
                # As the image carries them: the update library and the check library.
                shutil.copy2(PROGRAM.parent / "P4_Updlink.dll", folder)
                shutil.copy2(PROGRAM.parent / "sim" / "update" / "check" / "P4_UpdlinkChk.dll", folder)
            self.write_config(SAMPLE_CONFIG)
        host.map_cdrom(letter, folder)

    def write_config(self, text, encoding="utf-8"):
        path = self.folder / "config.ini"
        if path.exists():
            path.chmod(0o644)
        path.write_text(text.replace("\n", "\r\n"), encoding=encoding)

    def start(self, args=(), env=None, stderr=None):
        """As AutoRun does: current directory the CD's root."""
        return self.host.start(self.program, args, cwd=self.folder, env=env, stderr=stderr)

    def run(self, args=(), timeout=60, env=None):
        return self.host.run(self.program, args, cwd=self.folder, timeout=timeout, env=env)


def make_writable(folder):
    """A CD copy left by an earlier run keeps the image's read-only modes."""
    if folder.exists():
        for p in [folder, *folder.rglob("*")]:
            if not p.is_symlink():
                p.chmod(0o755)


@pytest.fixture
def cd(host, bins, request):
    name = request.node.name.replace("[", "-").replace("]", "").replace("/", "-")
    return VirtualCd(host, bins, WORK / "cds" / name)


def with_setups(cd):
    """The CD's tools folder with the setups config.ini names."""
    from inspect_helpers import sim_file  # it imports this module
    (cd.folder / "tools").mkdir(exist_ok=True)
    for name in ("DriverSetup", "VTPSetup"):
        shutil.copy2(sim_file(name), cd.folder / "tools" / f"{name}.exe")


@pytest.fixture
def road(host, bins, request):
    """A CD that carries the program itself and its setups: the road goes on
    into the copy."""
    name = request.node.name.replace("[", "-").replace("]", "")
    cd = VirtualCd(host, bins, host.prefix.parent.parent / "cds" / name, whole_road=True)
    if not RUNS_32BIT:
        with_setups(cd)
    return cd
