"""Faults of the device channel that only the real service shows: a service
that takes the standard user's request and never answers it."""
import pytest

from ui_helpers import result_box
from phone import Phone
from test_device_service import as_standard_user_second_start, install, service_state, xp  # noqa: F401

pytestmark = pytest.mark.serial


def test_service_that_never_answers_gives_up_with_a_box(cd, xp, bins):  # noqa: F811
    phone = Phone(xp)
    phone.write(extra=["pipe.silent=1"])
    install(cd, xp)
    lines = as_standard_user_second_start(cd, xp, bins, box=result_box("Windows Service Management failed."))
    assert "[WindowServiceManager] ReadFile() no reply in 20000 ms" in lines
    assert "CAutoRunManager::GetSetting(-)" not in lines
    # The request reached the service, the phone was never asked, and the
    # service is still there for the next client.
    assert phone.calls == []
    assert service_state(xp) == 4
