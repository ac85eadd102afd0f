"""The SCSI command service on Windows XP: the start-up copies it into the
32-bit system folder, registers and starts it; a standard user's requests
travel over its pipe to the simulated phone and back."""
import re

import pytest

from conftest import answer_box, bring_up_desktop
from ui_helpers import result_box
from winehost import finish
from phone import Phone
from road_helpers import strip, wait_until

SERVICE = "TavoScsiCommandService"
SERVICE_KEY = r"HKLM\System\CurrentControlSet\Services\TavoScsiCommandService"


pytestmark = pytest.mark.serial


@pytest.fixture
def xp(host):
    host.set_windows_version("winxp")
    yield host
    # Services stay registered in a prefix: take ours out again.
    host.run_tool(["sc", "stop", SERVICE])
    host.run_tool(["sc", "delete", SERVICE])


def service_state(host):
    out = host.run_tool(["sc", "query", SERVICE]).stdout.decode(errors="replace")
    m = re.search(r"STATE\s+:\s+(\d+)", out)
    return int(m.group(1)) if m else None


def install(cd, host, running=True):
    """The CD run of an administrator: the start-up installs and starts the
    service. It does not ask the phone ("-no_send"), so what a test scripts
    for the phone is left for the service; the test writes it before, as the
    service rewrites the phone's file while it starts. With `running`, also waits until the service says it runs (the
    start request returns before that under Wine), so that what follows
    does not race the service's own start."""
    rc, _ = cd.run(["-run_cd", "-no_send"])
    assert rc == 0
    lines = strip(host.read_log())
    if running:
        assert wait_until(lambda: service_state(host) == 4, 60), "the service did not reach the running state"
    return lines


def as_standard_user_second_start(cd, host, bins, box=None):
    """A second start by a standard user while another copy runs; returns
    the trace, after checking the box expected, if any, as shown."""
    # Held far longer than any run takes: the test kills it when done.
    if box:
        bring_up_desktop(host, bins)
    holder = host.start(bins.holdmutex, ["DevstartOneInstanceMutex", "900"])
    try:
        assert holder.stdout.readline().strip() == b"held"
        program = "Z:" + str(cd.program).replace("/", "\\")
        run = host.start(bins.standarduser, [program], cwd=cd.folder)
        if box:
            answer_box(host, bins, box)
        finish(run, 200)
        return strip(host.read_log())
    finally:
        holder.kill()


def test_start_up_installs_and_starts_the_service(cd, xp):
    lines = install(cd, xp)
    assert lines[:6] == [
        "Start Autorun version 1, 0, 0, 14",
        "CAutoRunManager::CheckService(+)",
        "[WindowServiceManager] OpenService failed error code is 1060",
        "CAutoRunManager::CopyService(+)",
        "CAutoRunManager::CopyService(-)",
        "CAutoRunManager::CheckService(-)",
    ]
    system32 = xp.prefix / "drive_c" / "windows" / "syswow64"
    assert (system32 / "ScsiCmdService.exe").read_bytes() == (cd.folder / "ScsiCmdService.exe").read_bytes()
    assert (system32 / "SendScsiCmd.dll").read_bytes() == (cd.folder / "SendScsiCmd.dll").read_bytes()
    out = xp.run_tool(["reg", "query", SERVICE_KEY, "/reg:64"]).stdout.decode(errors="replace")
    assert re.search(r"DisplayName\s+REG_SZ\s+Tavo SCSI command service", out)
    assert re.search(r"Description\s+REG_SZ\s+Tavo SCSI Command service for AutoRun\.", out)
    assert re.search(r"Start\s+REG_DWORD\s+0x2\b", out)
    assert re.search(r"Type\s+REG_DWORD\s+0x10\b", out)
    assert re.search(r"ImagePath\s+REG_\w+\s+C:\\windows\\syswow64\\ScsiCmdService\.exe", out, re.I)
    assert service_state(xp) == 4  # running

    # Started again, the program finds it running and leaves it alone.
    rc, _ = cd.run(["-run_cd"])
    assert strip(xp.read_log())[1:3] == ["CAutoRunManager::CheckService(+)", "CAutoRunManager::CheckService(-)"]


def test_standard_user_reaches_the_phone_through_the_pipe(cd, xp, bins):
    phone = Phone(xp)
    phone.write(setting=(0x40, 0x0A, 0x00))
    install(cd, xp)
    lines = as_standard_user_second_start(cd, xp, bins)
    assert "CAutoRunManager::GetSetting() Run first (drive=E,SubCode=2,type=32,pData=)" not in lines
    start = lines.index("CAutoRunManager::GetSetting(+)")
    assert lines[start:start + 6] == [
        "CAutoRunManager::GetSetting(+)",
        "[WindowServiceManager] WriteFile(+)",
        "[WindowServiceManager] WriteFile(-)",
        "[WindowServiceManager] ReadFile(+)",
        "[WindowServiceManager] ReadFile(-)",
        "CAutoRunManager::GetSetting(-)",
    ]
    assert lines[-1] == "Devstart::CreateMutex ERROR_ALREADY_EXISTS"
    # The service called the library: the setting read, then the mode change.
    assert [c[1:] for c in phone.calls] == [(2, 32, 3, 3), (1, 1, 0, 0)]
    assert phone.mode == 1


@pytest.mark.parametrize("result, name", [
    (-1, "FAIL_TO_FIND_DRIVE"),
    (-2, "FAIL_TO_OPEN_DRIVE"),
    (-3, "FAIL_TO_SEND_SCSI_CMD"),
    (-20, "FAIL_TO_OPEN_DRIVE_ACCESS_DENIED"),
])
def test_phone_failures_come_back_through_the_service(cd, xp, bins, result, name):
    phone = Phone(xp)
    phone.write(setting_results=[result])
    install(cd, xp)
    lines = as_standard_user_second_start(cd, xp, bins, box=result_box(f"SCSI Command transmission error has occurred. ({name})"))
    assert f"[WindowServiceManger] GET_SETTING fail {name}" in lines
    assert "CAutoRunManager::GetSetting(-)" not in lines
    assert phone.mode == 0


def test_missing_pipe_is_reported(cd, xp, bins):
    phone = Phone(xp)
    # The service runs but offers no pipe.
    phone.write(extra=["pipe.off=1"])
    install(cd, xp)
    lines = as_standard_user_second_start(cd, xp, bins, box=result_box("Windows Service Management failed."))
    assert "[WindowServiceManager] PipeSend()-CreateFile() Error code is 2" in lines
    assert phone.calls == []


def test_busy_pipe_is_waited_for(cd, xp, bins):
    phone = Phone(xp)
    # The service keeps its only pipe instance to itself for a while after
    # it starts; the standard user's request waits for it.
    phone.write(extra=["pipe.busy_ms=8000"])
    install(cd, xp)
    lines = as_standard_user_second_start(cd, xp, bins)
    assert "[WindowServiceManager] WaitNamedPipe failed" not in lines
    assert "CAutoRunManager::GetSetting(-)" in lines
    assert [c[1:] for c in phone.calls][:1] == [(2, 32, 3, 3)]
    assert "pipe.busy_ms" not in phone.state()[0]


def test_service_stuck_starting_is_created_again_and_started(cd, xp):
    phone = Phone(xp)
    phone.write(extra=["service.hold_start_pending=1"])
    install(cd, xp, running=False)
    assert service_state(xp) == 2  # start pending
    rc, _ = cd.run(["-run_cd"])
    lines = strip(xp.read_log())
    start = lines.index("CAutoRunManager::CheckService(+)")
    assert lines[start:start + 5] == [
        "CAutoRunManager::CheckService(+)",
        "CAutoRunManager::CopyService(+)",
        "CAutoRunManager::CopyService(-)",
        "[WindowServiceManager] CreateService failed",
        "CAutoRunManager::CheckService(-)",
    ]
    # Let it go on, so it can be stopped and removed.
    phone.write()


def test_standard_user_with_the_service_stopped_needs_an_administrator(cd, xp, bins):
    Phone(xp).write()
    install(cd, xp)
    xp.run_tool(["sc", "stop", SERVICE])
    wait_until(lambda: service_state(xp) == 1, 30)
    assert service_state(xp) == 1  # stopped
    bring_up_desktop(xp, bins)
    program = "Z:" + str(cd.program).replace("/", "\\")
    run = xp.start(bins.standarduser, [program], cwd=cd.folder)
    answer_box(xp, bins, result_box("Administrator account is required for access."))
    finish(run, 200)
    assert "RunFromCD" not in " ".join(strip(xp.read_log()))
