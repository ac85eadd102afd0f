"""What the local run and the live-update library load under Wine: a staged
check library that is not the CD's own is refused, one whose entry point
crashes is survived, and the phone identity DLLs are taken from the current
directory only, whatever lies beside the caller."""
import re
import shutil

import pytest

from conftest import PROGRAM
from inspect_helpers import sim_file
from phone import Phone
from road_helpers import install_pc_suite, trace_lines, wait_until
from ui_helpers import find_window, post
from updlink_rig import UpdlinkRig

CHECKS = PROGRAM.parent / "sim" / "update"
WM_COMMAND, OK_BUTTON = 0x111, 1006
PC_SUITE_PHONE = (0x40, 0x0A, 0x00)
NOT_LOADED = "CAutoRunManager::CheckUpdateDll() m_hDLL is NULL"

pytestmark = pytest.mark.usefixtures("desktop")


@pytest.fixture
def road(road, host):
    """The road's CD in PC-suite mode with the PC suite installed and its
    test mode on, so the local run shows the guide dialog, which runs the
    update check through the check library."""
    host.set_windows_version("win10")
    Phone(host).write(setting=PC_SUITE_PHONE)
    install_pc_suite(host, sim_file("PCSuite"))
    road.write_config((road.folder / "config.ini").read_text().replace("pcsuite_test=0", "pcsuite_test=1"))
    (road.folder / "Progress.avi").unlink()
    return road


def finish_at_the_guide(host, bins):
    """The guide dialog is up: the run went on. OK ends it; the trace then."""
    dialog = find_window(host, bins, cls="#32770", title="Installation guide", timeout=150, visible=True)
    assert dialog is not None, "\n".join(trace_lines(host))
    post(host, bins, dialog["hwnd"], WM_COMMAND, OK_BUTTON)
    assert wait_until(lambda: not host.linux_pids("Devstart.exe"), 60), trace_lines(host)
    return trace_lines(host)


def check_calls(host):
    return host.unix_path(r"C:\sim-update\check.log").exists()


def test_staged_check_library_replaced_after_staging_is_not_loaded(road, host, bins):
    shutil.copy2(CHECKS / "check" / "P4_UpdlinkChk.dll", road.folder)
    # Staged from the CD, then another check library put in its place
    # before the local copy starts.
    staged = host.temp_dir / "E"
    shutil.copytree(road.folder, staged)
    shutil.copy2(CHECKS / "check-fail" / "P4_UpdlinkChk.dll", staged / "P4_UpdlinkChk.dll")
    host.start(staged / "Devstart.exe", ["-drive:E"], cwd=staged)
    lines = finish_at_the_guide(host, bins)
    refused = [line for line in lines if line.startswith("CLiveUpdate::CheckStagedLibraries()")]
    assert [line for line in refused if "P4_UpdlinkChk" in line] == [
        next(line for line in refused if line.endswith(
            "\\E\\P4_UpdlinkChk.dll differs from the CD's copy, it is not loaded"))]
    assert NOT_LOADED in lines
    assert not check_calls(host)
    assert lines[-1] == "NORMAL_EXIT"


def test_check_library_crashing_in_its_entry_point_is_survived(road, host, bins):
    shutil.copy2(CHECKS / "check-crash" / "P4_UpdlinkChk.dll", road.folder)
    road.start()
    lines = finish_at_the_guide(host, bins)
    at = lines.index("CLiveUpdate::CheckUpdateDll() LoadLibrary")
    # Wine's loader catches the exception and fails the load with its status
    # (an access violation, or under qemu-user an illegal instruction);
    # where it reaches the program, the guard says so instead.
    assert re.fullmatch(r"CLiveUpdate::CheckUpdateDll\(\) LoadLibrary (fails, error (998|0xC0000005|0xC000001D)"
                        r"|raised exception 0xC0000005)", lines[at + 1]), lines[at + 1]
    assert lines[at + 2] == NOT_LOADED
    assert not check_calls(host)
    assert lines[-1] == "NORMAL_EXIT"


@pytest.mark.parametrize("cwd_holds_dlls, message, serial", [
    (False, "MSG_PHONE_FAIL", ""),
    (True, "MSG_READY", "ESN0001"),
])
def test_identity_dlls_only_from_the_current_directory(host, request, tmp_path, cwd_holds_dlls, message, serial):
    rig = UpdlinkRig(host, tmp_path / "rig")
    rig.server.start()
    try:
        rig.seed_registry()
        # Copies where a search by name would find them first: beside the
        # caller, and in the system folder.
        system = host.unix_path(r"C:\windows\system32")
        for dll in ("Phonelink.dll", "AuthDll.dll"):
            shutil.copy2(rig.sim / dll, system / dll)
        cwd = tmp_path / "sync"
        cwd.mkdir()
        if cwd_holds_dlls:
            for dll in ("Phonelink.dll", "AuthDll.dll"):
                shutil.copy2(rig.sim / dll, cwd / dll)
        env = {"UPDLINK_PHONE_STATE": host.to_windows(rig.phone_file)}
        code, out = host.run(rig.app / "updlink_caller.exe", ["check", "", "state"], cwd=cwd, timeout=180, env=env)
    finally:
        rig.server.stop()
    assert code == 0, out
    got = dict(m.groups() for m in re.finditer(r"^([\w.]+)=(.*?)\r?$", out, re.M))
    assert (got["check.message"], got["S_NUM"]) == (message, serial)
