"""Running applications and launched setups, seen through the real process
and window adapters: the conflict detectors, the PC suite notification, and
the wait for a setup that keeps the waiting program's window alive."""
import dataclasses
import time
from concurrent.futures import ThreadPoolExecutor

import pytest

from conftest import answer_box
from ui_helpers import SHELL_NOT_FOUND
from inspect_helpers import driver_files, install_standins, probe, probe_exe


def start_app(host, folder, name, seconds=120):
    """Starts an application stand-in and waits until its window is up."""
    proc = host.start(folder / f"{name}.exe", [f"/seconds={seconds}"])
    log = folder / f"{name}.log"
    for _ in range(600):
        if log.exists() and b"started" in log.read_bytes():
            return proc
        assert proc.poll() is None, f"{name} ended early"
        time.sleep(0.1)
    raise AssertionError(f"{name} did not start")


# The stand-ins here are windowed programs started one after another.
pytestmark = pytest.mark.usefixtures("desktop")


@pytest.fixture
def tools(tmp_path):
    return install_standins(tmp_path / "tools")


@pytest.mark.parametrize("running, expected", [
    ((), {"IsPCSuiteRunning": "0", "IsInternetKitRunning": "0", "IsVTPRunning": "0"}),
    (("PCSuite",), {"IsPCSuiteRunning": "1", "IsInternetKitRunning": "0", "IsVTPRunning": "0"}),
    (("InternetKit",), {"IsPCSuiteRunning": "0", "IsInternetKitRunning": "1", "IsVTPRunning": "0"}),
    (("VTP", "PCSuite"), {"IsPCSuiteRunning": "1", "IsInternetKitRunning": "0", "IsVTPRunning": "1"}),
])
def test_conflicting_applications_are_detected(host, tools, running, expected):
    procs = [start_app(host, tools, name) for name in running]
    try:
        # The executable name is matched in any case.
        v = probe(host, "running", "vtp.EXE")
    finally:
        for p in procs:
            p.kill()
    for name, value in expected.items():
        assert v[name] == value, name
    assert (int(v["FindProcess"]) > 0) == ("VTP" in running)


def test_pc_suite_receives_the_notification(host, tools):
    assert probe(host, "notify")["NotifyPCSuite"] == "0"
    suite = start_app(host, tools, "PCSuite")
    try:
        assert probe(host, "notify")["NotifyPCSuite"] == "1"
        log = tools / "PCSuite.log"
        for _ in range(100):
            if b"0xAB8" in log.read_bytes():
                break
            time.sleep(0.1)
        assert log.read_bytes().count(b"0xAB8 ") == 1
    finally:
        suite.kill()


@pytest.mark.parametrize("args, installs", [
    (["/mode=run", "/seconds=3"], True),
    (["/mode=install"], True),
    (["/mode=crash"], False),
])
def test_wait_lasts_exactly_as_long_as_the_setup(host, tools, args, installs):
    setup = host.to_windows(tools / "DriverSetup.exe")
    v = probe(host, "wait", setup, *args, windowed=True, timeout=180)
    assert int(v["pid"]) > 0
    assert v["after"] == "-1"
    # The driver files are there when the wait ends, not some time later.
    expected = ["tavox64bus.sys", "tavox64diag.sys", "tavox64modem.sys"] if installs else []
    assert driver_files(host) == expected
    if "/seconds=3" in args:
        # The window was served all through the three seconds (a 50 ms timer).
        assert int(v["ticks_during_wait"]) >= 10


@pytest.mark.parametrize("command", ["execute", "wait"])
def test_missing_setup_gives_no_process(desktop, host, bins, tmp_path, command):
    """The shell tells the user it cannot find the file (the launch keeps the
    shell's own error box); once it is answered the start reports -1 and the
    wait has nothing to wait for."""
    missing = host.to_windows(tmp_path / "NoSuchSetup.exe")
    with ThreadPoolExecutor(1) as pool:
        run = pool.submit(host.run, probe_exe(windowed=True), [command, missing], timeout=120)
        shell_box = dataclasses.replace(SHELL_NOT_FOUND["en_GB.UTF-8"]["file"], process=probe_exe(windowed=True).name)
        answer_box(host, bins, shell_box, timeout=60)
        probe_rc, out = run.result()
    assert probe_rc == 0
    assert "pid=-1" in out.split()
    if command == "wait":
        assert "after=-1" in out.split()
