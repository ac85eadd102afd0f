"""Faults from outside that only real processes show: a SCSI command service
that takes the standard user's request and never answers it, and a setup
that hands its work to a child and ends."""
import pytest

from ui_helpers import result_box
from inspect_helpers import driver_files, install_standins, probe, setup_log
from phone import Phone
from test_device_service import as_standard_user_second_start, install, service_state, xp  # noqa: F401


@pytest.mark.serial
def test_service_that_never_answers_gives_up_with_a_box(cd, xp, bins):  # noqa: F811
    phone = Phone(xp)
    phone.write(extra=["pipe.silent=1"])
    install(cd, xp)
    lines = as_standard_user_second_start(cd, xp, bins, box=result_box("Windows Service Management failed."))
    assert "[WindowServiceManager] ReadFile() no reply in 20000 ms" in lines
    assert "CAutoRunManager::GetSetting(-)" not in lines
    # The phone was never asked, and the service is still there for the
    # next client.
    assert phone.calls == []
    assert service_state(xp) == 4


def test_wait_ends_with_the_setup_not_with_the_child_it_hands_off_to(desktop, host, tmp_path):
    tools = install_standins(tmp_path / "tools")
    setup = host.to_windows(tools / "DriverSetup.exe")
    # The child works far longer than the wait's end takes to report.
    v = probe(host, "wait", setup, "/mode=handoff", "/seconds=60", windowed=True, timeout=180)
    assert v["after"] == "-1"
    assert driver_files(host) == []
    log = setup_log(host, "DriverSetup")
    assert log[0].startswith("started handoff pid ")
    assert log[1].startswith("handed off to pid ")
