"""The installer's road under Wine: the CD run staging and relaunching its
copy, and the copy's local run switching the phone and starting what is
installed; the install steps through the real adapters."""
import re
import shutil

import pytest

from conftest import SAMPLE_CONFIG, answer_box, with_setups
from inspect_helpers import probe, setup_config, setup_log, sim_file
from phone import Phone
from road_helpers import (NORMAL_END, install_pc_suite, relaunch_records, trace_lines,
                          wait_for_local_run, wait_for_relaunch, wait_until)
from ui_helpers import find_window, post, result_box
from winehost import finish

RUN_WHEN_KEY = "HKEY_CURRENT_USER\\Software\\Tavo Electronics\\Tavo PC Suite IV\\1.0\\Setting"


def install_driver(host, cd):
    rc, _ = host.run(cd.folder / "tools" / "DriverSetup.exe", [], cwd=cd.folder, timeout=120)
    assert rc == 0


def windows_path(host, path):
    """The C: path of a folder inside the prefix's drive_c."""
    return "C:\\" + str(path.relative_to(host.prefix / "drive_c")).replace("/", "\\")


def staged(host):
    root = host.temp_dir / "E"
    return sorted(str(p.relative_to(root)).replace("/", "\\") for p in root.rglob("*") if p.is_file())


# Every scenario starts windowed programs one after another.
pytestmark = pytest.mark.usefixtures("desktop")


def test_cd_run_stages_and_relaunches_its_copy_as_first_instance(cd, host):
    host.set_windows_version("win10")
    with_setups(cd)
    rc, _ = cd.run()
    assert rc == 0
    # The driver is missing: its setup is staged, the Internet Kit's is not (PC-suite mode).
    assert staged(host) == ["Devstart.exe", "Progress.avi", "SendScsiCmd.dll", "config.ini", "tools\\DriverSetup.exe"]
    [record] = wait_for_relaunch(host)
    staging = windows_path(host, host.temp_dir / "E")
    assert record["arguments"] == "-drive:E"
    assert record["directory"].lower() == staging.lower()
    assert record["module"].lower() == (staging + "\\Devstart.exe").lower()
    assert record["one_instance_mutex_existed"] == "0"
    lines = trace_lines(host)
    assert lines[-2:] == ["CAutoRunManager::RunFromCD(-)", "NORMAL_EXIT"]
    assert "CAutoRunManager::CopyDriverSetup(+)" in lines


def test_conflicting_application_is_named_and_nothing_is_staged(cd, host, bins):
    vtp = host.start(sim_file("VTP"))
    try:
        assert find_window(host, bins, cls="TavoVtpStandIn", timeout=60, visible=True) is not None
        run = cd.start()
        # Code 400: the product that waits, and the application to close.
        answer_box(host, bins, result_box("The following applications should be closed before you continue to "
                                          "install Tavo PC Suite.\n\n(PC internet via the phone)"))
        finish(run, 120)
    finally:
        vtp.kill()
    assert not (host.temp_dir / "E").exists()
    assert relaunch_records(host) == []


@pytest.mark.parametrize("run_when_connected, started", [(None, True), (0, False)])
def test_local_run_switches_the_phone_and_starts_the_pc_suite(road, host, run_when_connected, started):
    host.set_windows_version("win10")
    install_driver(host, road)
    folder = install_pc_suite(host, sim_file("PCSuite"))
    if run_when_connected is not None:
        host.reg_add(RUN_WHEN_KEY, "RunWhenPhoneConnect", str(run_when_connected), kind="REG_DWORD")
    Phone(host).write()
    rc, _ = road.run()
    assert rc == 0
    lines = wait_for_local_run(host)
    assert lines[-1] == NORMAL_END
    assert Phone(host).mode != 0
    # A started PC suite writes its log a moment after the run has ended.
    log = folder / "PCSuite.log"
    wait_until(log.exists, 10)
    assert log.exists() == started
    # Both runs wrote the one log; what is there is whole lines.
    raw = (host.temp_dir / "Devstart.Log").read_bytes().decode("utf-16-le")
    assert "\0" not in raw
    assert raw.endswith("\r\n")
    assert all(re.fullmatch(r"\[-?\d+\][^\r\n]*", line) for line in raw[:-2].split("\r\n"))


def test_itk_local_run_tells_the_running_pc_suite_and_starts_the_vtp(cd, host):
    """The CD run refuses to stage beside a running PC suite in ITK mode; a
    local run started while it runs tells it before switching the phone."""
    host.set_windows_version("win10")
    with_setups(cd)
    install_driver(host, cd)
    rc, _ = host.run(cd.folder / "tools" / "VTPSetup.exe", [], cwd=cd.folder, timeout=120)
    assert rc == 0
    suite = install_pc_suite(host, sim_file("PCSuite"))
    running = host.start(suite / "PCSuite.exe")
    try:
        # Its log's first line is written once its window is up.
        host.wait_for_file(suite / "PCSuite.log", 60)
        Phone(host).write(setting=(0x41, 0x0A, 0x00))
        rc, _ = cd.run(["-drive:E"], timeout=120)
        assert rc == 0
        assert trace_lines(host)[-1] == NORMAL_END
        assert "0xAB8 0 0" in (suite / "PCSuite.log").read_text()
        assert Phone(host).mode != 0
        vtp_log = host.prefix / "drive_c" / "Program Files (x86)" / "Tavo Electronics" / "VTP" / "VTP.log"
        host.wait_for_file(vtp_log, 60)
    finally:
        running.kill()


def test_work_left_for_the_window_installs_the_staged_driver_and_guides(road, host, bins):
    """The driver is missing: the copy is relaunched (elevated), and its
    window installs the staged setup through the driver step, switches the
    phone and, with no PC suite, shows the guide; its OK ends the run and
    the staging folder goes."""
    host.set_windows_version("win10")
    Phone(host).write()
    road.run()
    dialog = find_window(host, bins, cls="#32770", title="Installation guide", timeout=120, visible=True)
    assert dialog is not None, trace_lines(host)
    assert setup_log(host, "DriverSetup")[-1] == "installed"
    assert Phone(host).mode != 0
    post(host, bins, dialog["hwnd"], 0x111, 1006)
    staging = host.temp_dir / "E"
    wait_until(lambda: not (staging / "config.ini").exists(), 30)
    assert not (staging / "config.ini").exists()
    lines = trace_lines(host)
    assert "CAutoRunManager::FirstTimeLocal(-)" in lines
    assert lines[-2:] == ["CAutoRunManager::StepRun(-)", "NORMAL_EXIT"]
    assert probe(host, "driver", cwd=road.folder)["IsDriverVersionCurrent"] == "1"


@pytest.mark.parametrize("mode, result, last", [
    ("install", "0", "CAutoRunManager::StepITK(-)"),
    ("noinstall", "304", "CAutoRunManager::StepITK() CheckITKInstall fails"),
])
def test_itk_step_waits_for_the_staged_setup_and_checks_it(host, tmp_path, mode, result, last):
    staging = tmp_path / "E"
    (staging / "tools").mkdir(parents=True)
    shutil.copy2(sim_file("VTPSetup"), staging / "tools" / "VTPSetup.exe")
    (staging / "config.ini").write_text(SAMPLE_CONFIG.replace("iso_type0=0", "iso_type0=1").replace("\n", "\r\n"))
    setup_config(host, "VTPSetup", mode=mode)
    assert probe(host, "step", "itk", cwd=staging)["StepITK"] == result
    assert [l for l in trace_lines(host) if "StepITK" in l][-1] == last
