"""Helpers of the inspection scenarios: the stand-in setups and applications,
the probe that runs the inspection code through the real adapters, and
registry reads of a prefix."""
import pathlib

import pytest

from conftest import BIN, PROGRAM
from winehost import key_values, pe_machine

# The setups carry what they install; the applications run on their own.
STANDINS = ("DriverSetup", "VTPSetup", "ITKSetup", "VTP", "InternetKit", "PCSuite")


# The stand-in setups install for the 32-bit program (into the 32-bit Program
# Files); an x86-64 build of the program, which runs where 32-bit code cannot,
# looks in the 64-bit one.
needs_32bit_program = pytest.mark.skipif(
    pe_machine(PROGRAM) != 0x14C, reason="the program under test is not the 32-bit build: "
    "it does not look where the 32-bit setups install")


def driver_files(host, folder="Tavo USB Modem Drivers"):
    """The driver files the setup stand-in put into the 32-bit Program Files."""
    base = host.prefix / "drive_c" / "Program Files (x86)" / "Tavo Electronics" / folder
    return sorted(p.name for p in base.glob("*.sys"))


def sim_file(name):
    """A stand-in from the helper build (x86-64 where available: no qemu)."""
    for folder in (BIN / "sim", BIN):
        for ext in (".exe", ".dll"):
            p = folder / f"{name}{ext}"
            if p.exists():
                return p
    raise FileNotFoundError(name)


def probe_exe(windowed=False):
    """The probe built with the program under test, so that it sees the
    registry view and Program Files the program sees. `windowed` asks for the
    x86-64 one: 32-bit Wine under qemu-user cannot be trusted with a window
    of its own and the threads that come with it."""
    places = (BIN / "sim",) if windowed else (PROGRAM.parent / "sim", BIN / "sim")
    for p in (folder / "inspect_probe.exe" for folder in places):
        if p.exists():
            return p
    raise FileNotFoundError("inspect_probe.exe")


def install_standins(folder):
    """Copies the setups and the applications into one folder."""
    import shutil
    folder = pathlib.Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    for name in STANDINS:
        src = sim_file(name)
        shutil.copy2(src, folder / src.name)
    return folder


def setups_folder(host):
    """C:\\sim-setups: where every setup reads its settings and writes its log,
    wherever it was copied to and under whatever name."""
    return host.prefix / "drive_c" / "sim-setups"


def setup_config(host, role, **settings):
    """What the setup of this role (DriverSetup, VTPSetup, ITKSetup) does when
    started without arguments: mode, seconds, version, folder, code, files."""
    folder = setups_folder(host)
    folder.mkdir(parents=True, exist_ok=True)
    lines = ["[setup]"] + [f"{key}={value}" for key, value in settings.items()]
    (folder / f"{role}.cfg").write_text("\r\n".join(lines) + "\r\n")


def setup_log(host, role):
    """The lines the setup of this role logged, oldest first ([] when it never
    started): "started <mode> pid <n>", then "installed", "install failed",
    "crashing" or "finished without installing"."""
    path = setups_folder(host) / f"{role}.log"
    return path.read_text(encoding="utf-8").splitlines() if path.exists() else []


def probe(host, *args, cwd=None, timeout=120, windowed=False):
    rc, out = host.run(probe_exe(windowed), list(args), cwd=cwd, timeout=timeout)
    assert rc == 0, out
    return key_values(out)


def reg_value(host, key, name, view64=True):
    """A value as `reg query` prints it, or None."""
    args = ["reg", "query", key, "/v", name]
    if view64:
        args.append("/reg:64")
    r = host.run_tool(args)
    for line in r.stdout.decode(errors="replace").splitlines():
        parts = line.split()
        if len(parts) >= 3 and parts[0].lower() == name.lower() and parts[1].startswith("REG_"):
            return parts[2]
    return None
