#!/usr/bin/python3
"""Time from the CD run's start to the local run's installer window being
visible, under Wine, against an anchor in the same run: two sequential starts
of a trivial 32-bit windowed program through the same loader, the Wine server
kept running. Median of N alternating runs. Not a test: nothing here passes
or fails.

The machine is the one the window is for: Windows 10, the phone in PC-suite
mode, AutoRun in order (no question), no driver and a driver setup that never
ends (so the window stays up), and the check library beside the program
answering loopback addresses of the simulated update server: the guide
dialog, made while the window is created, runs the update check first.

usage: bench/ui/window_start.py [--runs 5]
"""
import argparse
import os
import pathlib
import shutil
import signal
import statistics
import sys
import time
import types

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
sys.path.insert(0, str(ROOT / "bench" / "road"))

from inspect_helpers import setup_config, setup_log  # noqa: E402
from phone import Phone  # noqa: E402
from road_helpers import trace_lines  # noqa: E402
from road_time import anchor  # noqa: E402  (the same anchor as the road's figure)
from ui_helpers import list_windows  # noqa: E402
from updlink_rig import UpdateServer, free_port  # noqa: E402
from winehost import key_values, standalone_host  # noqa: E402

SHIPPED = ROOT / "build" / "win32"
BIN = ROOT / "build" / "win64"
WORK = ROOT / "build" / "bench-window-start"
UIDRIVER = BIN / "sim" / "uidriver.exe"
HELPERS = types.SimpleNamespace(uidriver=UIDRIVER)  # what ui_helpers drives
PC_SUITE_PHONE = (0x40, 0x0A, 0x00)
CDROM = r"HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Cdrom"
# Long enough for the finder's own start under a running server (a few
# hundred ms here), so that start is not part of the measured time.
FINDER_SETTLE_S = 1.5


def make_cd(folder):
    """What the phone's CD carries: the shipped program and its companions,
    the update libraries (the check library is loaded from the program's
    folder, and the staging copies both), and the driver setup."""
    shutil.rmtree(folder, ignore_errors=True)
    (folder / "tools").mkdir(parents=True)
    for name in ("Devstart.exe", "SendScsiCmd.dll", "ScsiCmdService.exe", "Progress.avi", "P4_Updlink.dll"):
        shutil.copy2(SHIPPED / name, folder / name)
    shutil.copy2(SHIPPED / "sim" / "update" / "check" / "P4_UpdlinkChk.dll", folder / "P4_UpdlinkChk.dll")
    shutil.copy2(SHIPPED / "sim" / "DriverSetup.exe", folder / "tools" / "DriverSetup.exe")
    config = (ROOT / "cd" / "config.ini").read_text()
    (folder / "config.ini").write_text(config.replace("\n", "\r\n"))


def answer_check(host, origin):
    """The check library names one reachable library mirror and one setup
    base, the version the CD already has: the check probes both and ends."""
    data = host.unix_path(r"C:\sim-update")
    data.mkdir(parents=True, exist_ok=True)
    lines = ["[answer]", "version=1.0.0.1", f"dll1={origin}/lib/P4_Updlink.dll", f"setup1={origin}/setup"]
    (data / "check.ini").write_text("\r\n".join(lines) + "\r\n")
    return data


def setup_pid(host, timeout=30):
    """The Windows id of the driver setup the window waits for, once started."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        started = [line for line in setup_log(host, "DriverSetup") if line.startswith("started")]
        if started:
            return int(started[-1].split()[-1])
        time.sleep(0.05)
    raise RuntimeError("the driver setup did not start:\n" + "\n".join(trace_lines(host)))


def end_local_run(host, program):
    """The window and then its setup ended, so the next run starts as this one
    did. By id: Wine's taskkill finds no 32-bit process here by image name.
    Whatever outlives that is this run's own and is killed from Linux."""
    setup = setup_pid(host)
    for pid in (program, setup):
        host.run_tool(["taskkill", "/F", "/PID", str(pid)])
    deadline = time.monotonic() + 15
    while host.linux_pids("Devstart.exe", "DriverSetup.exe") and time.monotonic() < deadline:
        time.sleep(0.05)
    for pid in host.linux_pids("Devstart.exe", "DriverSetup.exe"):
        os.kill(pid, signal.SIGKILL)


def reset(host, check_data, server):
    """Same state before every run: no staged copy, no trace, no setup log."""
    shutil.rmtree(host.temp_dir / "E", ignore_errors=True)
    (host.temp_dir / "Devstart.Log").unlink(missing_ok=True)
    (host.prefix / "drive_c" / "sim-setups" / "DriverSetup.log").unlink(missing_ok=True)
    (check_data / "check.log").unlink(missing_ok=True)
    server.log.write_text("")
    Phone(host).write(setting=PC_SUITE_PHONE)


def window_start(host, cd):
    """Seconds from the CD run's start to the installer window being visible,
    and the local run's Windows process id. The finder is started and settled
    first; its answer is timed as its first line arrives, before it describes
    the window's children or exits."""
    finder = host.start(UIDRIVER, ["find", "--class", "Devstart", "--title", "Devstart", "--visible",
                                   "--timeout", "60"])
    time.sleep(FINDER_SETTLE_S)
    if finder.poll() is not None:
        raise RuntimeError("the finder ended before the CD run started (a window left over?)")
    start = time.monotonic()
    run = host.start(cd / "Devstart.exe", [], cwd=cd)
    first = finder.stdout.readline()
    took = time.monotonic() - start
    described = key_values((first + finder.stdout.read()).decode("utf-8", "replace"))
    finder.wait(timeout=60)
    # The local run inherits the CD run's output handles and keeps them open:
    # wait for the process, not for its pipes.
    run.wait(timeout=60)
    for p in (finder, run):
        p.stdout.close()
        p.stderr.close()
    if "hwnd" not in described:
        raise RuntimeError("no installer window:\n" + "\n".join(trace_lines(host)))
    return took, int(described["pid"])


def check_world(host, check_data, server):
    """What the measured run must have gone through: no AutoRun question or
    other box, the update check answered by the library and its addresses
    probed on the server (the driver setup's start is awaited when ending)."""
    boxes = [w for w in list_windows(host, HELPERS) if w["class"] == "#32770"]
    if boxes:
        raise RuntimeError(f"a box is showing: {boxes}")
    lines = trace_lines(host)
    if any("CheckWindowAutoRun" in line and "returns FALSE" in line for line in lines):
        raise RuntimeError("AutoRun needed repair")
    if not (check_data / "check.log").exists():
        raise RuntimeError("the check library was not called:\n" + "\n".join(lines))
    paths = server.paths()
    if paths[:2] != ["/lib/P4_Updlink.dll", "/setup"]:
        raise RuntimeError(f"the update server saw {paths}")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--runs", type=int, default=5)
    a = ap.parse_args()
    server = None
    with standalone_host(WORK / "prefix", keep_server=True) as host:
        try:
            host.hold_desktop(UIDRIVER)
            host.set_windows_version("win10")
            # The CD-ROM's AutoRun on, as a fresh Windows has it: nothing to ask.
            host.reg_import(f'[{CDROM}]\n"Autorun"=dword:00000001\n')
            setup_config(host, "DriverSetup", mode="never")
            cd = WORK / "cd"
            make_cd(cd)
            host.map_cdrom("E", cd)
            server = UpdateServer(WORK / "server", free_port())
            server.script({"/lib/P4_Updlink.dll": "library", "/setup": "setup base"})
            server.start()
            check_data = answer_check(host, server.origin)
            trivial = SHIPPED / "sim" / "RelaunchRecorder.exe"

            # One unmeasured run: caches warm, the world checked once before the figures.
            reset(host, check_data, server)
            _, program = window_start(host, cd)
            check_world(host, check_data, server)
            end_local_run(host, program)

            windows, anchors = [], []
            for _ in range(a.runs):
                reset(host, check_data, server)
                took, program = window_start(host, cd)
                windows.append(took)
                check_world(host, check_data, server)
                end_local_run(host, program)
                anchors.append(anchor(host, trivial, cd))
            w, t = statistics.median(windows), statistics.median(anchors)
            print(f"window: CD run to the installer window visible, median of {a.runs}: {w * 1000:.0f} ms "
                  f"(runs: {', '.join(f'{x * 1000:.0f}' for x in windows)})")
            print(f"anchor: two starts of a trivial 32-bit windowed program, median of {a.runs}: {t * 1000:.0f} ms "
                  f"(runs: {', '.join(f'{x * 1000:.0f}' for x in anchors)})")
            print(f"ratio window/anchor: {w / t:.2f}")
        finally:
            if server:
                server.stop()


if __name__ == "__main__":
    main()
