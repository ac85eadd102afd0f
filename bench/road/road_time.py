#!/usr/bin/python3
"""Wall time of the installer's road under Wine, against anchors in the same
run. Not a test: nothing here passes or fails.

1. The CD run from its start to the staged copy's end (everything installed
   and current, "RunWhenPhoneConnect" 0, a phone wait of 0), against two
   sequential starts of a trivial 32-bit windowed program through the same
   loader, the Wine server kept running; median of N alternating runs.
2. The CD run with a 20 MB driver setup to stage, against the same CD with a
   small one, and a plain copy of the same files (the host's own copy).

usage: bench/road/road_time.py [--runs 5]
"""
import argparse
import os
import pathlib
import shutil
import statistics
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

from road_helpers import NORMAL_END, install_pc_suite, wait_for_local_run  # noqa: E402
from winehost import standalone_host  # noqa: E402

SHIPPED = ROOT / "build" / "win32"
BIN = ROOT / "build" / "win64"
WORK = ROOT / "build" / "bench-road"
RUN_WHEN_KEY = "HKEY_CURRENT_USER\\Software\\Tavo Electronics\\Tavo PC Suite IV\\1.0\\Setting"


def make_cd(folder, setup_bytes=None, driver_version="1.2.0.4"):
    shutil.rmtree(folder, ignore_errors=True)
    (folder / "tools").mkdir(parents=True)
    for name in ("Devstart.exe", "SendScsiCmd.dll", "ScsiCmdService.exe"):
        shutil.copy2(SHIPPED / name, folder / name)
    if setup_bytes is None:
        shutil.copy2(SHIPPED / "sim" / "DriverSetup.exe", folder / "tools" / "DriverSetup.exe")
    else:
        (folder / "tools" / "DriverSetup.exe").write_bytes(setup_bytes)
    config = (ROOT / "cd" / "config.ini").read_text()
    config = config.replace("driver_version=1.2.0.4", f"driver_version={driver_version}")
    (folder / "config.ini").write_text(config.replace("\n", "\r\n"))


def local_run_ended(host):
    lines = wait_for_local_run(host, poll=0.002)
    if not lines:
        raise TimeoutError("the local run did not end")
    return lines[-1]


def road(host, cd):
    (host.temp_dir / "Devstart.Log").unlink(missing_ok=True)
    start = time.monotonic()
    host.run(cd / "Devstart.exe", [], cwd=cd, timeout=120)
    if local_run_ended(host) != NORMAL_END:
        raise RuntimeError("the local run did not end by itself")
    return time.monotonic() - start


def anchor(host, trivial, folder):
    start = time.monotonic()
    for _ in range(2):
        host.run(trivial, [], cwd=folder, timeout=60)
    return time.monotonic() - start


def cd_run_only(host, cd):
    start = time.monotonic()
    host.run(cd / "Devstart.exe", [], cwd=cd, timeout=120)
    took = time.monotonic() - start
    local_run_ended(host)  # let the copy finish before the next run
    return took


def plain_copy(cd, dest):
    shutil.rmtree(dest, ignore_errors=True)
    (dest / "tools").mkdir(parents=True)
    start = time.monotonic()
    for f in cd.rglob("*"):
        if f.is_file():
            shutil.copyfile(f, dest / f.relative_to(cd))
    return time.monotonic() - start


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--runs", type=int, default=5)
    a = ap.parse_args()
    with standalone_host(WORK / "prefix", keep_server=True) as host:
        host.hold_desktop(BIN / "sim" / "uidriver.exe")
        host.set_windows_version("win10")
        phone = host.prefix / "drive_c" / "sim-phone" / "phone.txt"
        phone.parent.mkdir(parents=True, exist_ok=True)
        cd = WORK / "cd"
        make_cd(cd)
        host.map_cdrom("E", cd)
        host.run(cd / "tools" / "DriverSetup.exe", [], cwd=cd, timeout=120)
        install_pc_suite(host, SHIPPED / "sim" / "PCSuite.exe")
        host.reg_add(RUN_WHEN_KEY, "RunWhenPhoneConnect", "0", kind="REG_DWORD")
        trivial = SHIPPED / "sim" / "RelaunchRecorder.exe"

        roads, anchors = [], []
        for _ in range(a.runs):
            phone.write_text("setting=40 00 00\r\nmode=0\r\nstatus=01\r\n")
            roads.append(road(host, cd))
            anchors.append(anchor(host, trivial, cd))
        r, t = statistics.median(roads), statistics.median(anchors)
        print(f"road: CD run to the staged copy's end, median of {a.runs}: {r * 1000:.0f} ms")
        print(f"anchor: two starts of a trivial 32-bit windowed program, median of {a.runs}: {t * 1000:.0f} ms")
        print(f"ratio road/anchor: {r / t:.2f}")

        # Staging a 20 MB setup: the driver is older than the CD wants, so its setup is staged.
        big = WORK / "cd-big"
        make_cd(big, os.urandom(20 * 1024 * 1024), driver_version="9.0.0.0")
        small = WORK / "cd-small"
        make_cd(small, driver_version="9.0.0.0")
        bigs, smalls, copies = [], [], []
        for _ in range(a.runs):
            phone.write_text("setting=40 00 00\r\nmode=0\r\nstatus=01\r\n")
            host.map_cdrom("E", big)
            bigs.append(cd_run_only(host, big))
            host.map_cdrom("E", small)
            smalls.append(cd_run_only(host, small))
            copies.append(plain_copy(big, WORK / "plain-copy"))
        b, s, c = statistics.median(bigs), statistics.median(smalls), statistics.median(copies)
        print(f"CD run with a 20 MB setup to stage: {b * 1000:.0f} ms; with a small one: {s * 1000:.0f} ms "
              f"(difference {(b - s) * 1000:.0f} ms)")
        print(f"plain copy of the same files by the host: {c * 1000:.0f} ms")


if __name__ == "__main__":
    main()
