"""The phone reached directly through SendScsiCmd.dll on Windows 7: a second
start reads the setting block and switches the USB mode; failures of the
phone come back as their result codes and messages."""
import pytest

from conftest import answer_box, bring_up_desktop
from ui_helpers import result_box
from winehost import finish
from phone import Phone
from road_helpers import strip


def second_start(cd, host, bins, box=None):
    """Starts the program from the CD while another copy holds the
    single-instance mutex; returns the trace, after checking the box
    expected, if any, as shown."""
    if box:
        bring_up_desktop(host, bins)
    holder = host.start(bins.holdmutex, ["DevstartOneInstanceMutex", "900"])
    try:
        assert holder.stdout.readline().strip() == b"held"
        run = cd.start()
        if box:
            answer_box(host, bins, box)
        finish(run, 200)
        assert run.returncode == 0
        return strip(host.read_log())
    finally:
        holder.kill()


@pytest.fixture
def win7(host):
    host.set_windows_version("win7")
    return host


def test_setting_read_and_mode_change_go_direct(cd, win7, bins):
    phone = Phone(win7)
    # PC-suite mode (flags valid, ISO types 0): the second start only raises
    # the first window.
    phone.write(setting=(0x40, 0x05, 0x07))
    lines = second_start(cd, win7, bins)
    assert lines[lines.index("CAutoRunManager::GetSetting(+)"):][:4] == [
        "CAutoRunManager::GetSetting(+)",
        "CAutoRunManager::GetSetting() Run first (drive=E,SubCode=2,type=32,pData=)",
        "CAutoRunManager::GetSetting() success first",
        "CAutoRunManager::GetSetting(-)",
    ]
    assert "CAutoRunManager::ModeChange() success first" in lines
    assert lines[-1] == "Devstart::CreateMutex ERROR_ALREADY_EXISTS"
    assert phone.calls == [("E", 2, 32, 3, 3), ("E", 1, 1, 0, 0)]
    assert phone.mode == 1


def test_mode_change_second_try(cd, win7, bins):
    phone = Phone(win7)
    phone.write(mode1_results=[-3], status=0x2C)
    lines = second_start(cd, win7, bins)
    assert "CAutoRunManager::ModeChange() success Second with (2c)" in lines
    assert phone.calls[1:] == [("E", 1, 1, 0, -3), ("E", 1, 129, 1, 1)]
    assert phone.mode == 129


@pytest.mark.parametrize("result, code_text", [
    (-1, "FAIL_TO_FIND_DRIVE"),
    (-2, "FAIL_TO_OPEN_DRIVE"),
])
def test_failed_setting_read_is_shown(cd, win7, bins, result, code_text):
    phone = Phone(win7)
    phone.write(setting_results=[result])
    lines = second_start(cd, win7, bins, box=result_box(f"SCSI Command transmission error has occurred. ({code_text})"))
    assert "CAutoRunManager::GetSetting() fail first" in lines
    assert any(line.endswith("GET_SETTING fail " + code_text) for line in lines)
    # Nothing more is sent once the settings cannot be read.
    assert phone.calls == [("E", 2, 32, 3, result)]
    assert phone.mode == 0
