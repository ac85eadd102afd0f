"""The Windows AutoRun settings checked and repaired by a local run, with the
question and the reboot notice answered by the UI driver as a person would."""
import pytest

from conftest import answer_box
from inspect_helpers import reg_value, strip
from road_helpers import end_after_first_checks

CDROM = r"HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Cdrom"
USER_POLICY = r"HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Policies\Explorer"
ASK = "Autorun function is deactivated. Do you want to activate Autorun function?"
REBOOT = "Some of settings will be applied after rebooting."


def local_run(cd, host, bins, answers):
    """Starts the local run and answers each box in turn: (caption, button)
    pairs; the run is ended once its start-up checks are over. Returns the
    texts shown and the trace."""
    # The previous run's log would look like this run's checks being over.
    (host.temp_dir / "Devstart.Log").unlink(missing_ok=True)
    run = cd.start(["-drive:E"])
    shown = []
    try:
        for caption, button in answers:
            rc, text = answer_box(host, bins, caption, button, timeout=90)
            assert rc == 0, f"no box captioned {caption!r} after {shown}"
            shown.append(text)
    finally:
        end_after_first_checks(host, run)
    return shown, strip(host.read_log())


def seed(host, cdrom_autorun, user_policy=None):
    host.reg_import(f'[{CDROM}]\n"Autorun"=dword:{cdrom_autorun:08x}\n' +
                    (f'\n[{USER_POLICY}]\n"NoDriveTypeAutorun"=dword:{user_policy:08x}\n'
                     if user_policy is not None else ""))


@pytest.mark.parametrize("user_policy, answers, autorun_after, policy_after", [
    # Only the CD-ROM service was off: repaired without a reboot notice.
    (None, [("", "OK")], "0x1", None),
    # The user's policy hid the CD-ROM bit as well: only that bit is cleared,
    # and the user learns that it takes effect after a restart.
    (0xB5, [("", "OK"), ("Warning", "OK")], "0x1", "0x95"),
    # Cancel leaves every setting as it was.
    (0xB5, [("", "Cancel")], "0x0", "0xb5"),
])
def test_autorun_is_repaired_when_the_user_agrees(desktop, cd, host, bins, user_policy, answers, autorun_after, policy_after):
    seed(host, 0, user_policy)
    shown, lines = local_run(cd, host, bins, answers)
    assert shown[0] == ASK
    assert shown[1:] == ([REBOOT] if len(answers) > 1 else [])
    assert reg_value(host, CDROM, "Autorun") == autorun_after
    assert reg_value(host, USER_POLICY, "NoDriveTypeAutorun") == policy_after
    assert r"[WARM]CheckWindowAutoRun1 returns FALSE (SYSTEM\CurrentControlSet\Services\Cdrom > Autorun)" in lines
    repaired = r"[WARM]CheckWindowAutoRun1 returns TRUE (SYSTEM\CurrentControlSet\Services\Cdrom > Autorun)"
    assert (repaired in lines) == (answers[0][1] == "OK")


def test_autorun_left_alone_when_enabled_or_not_checked(desktop, cd, host, bins):
    seed(host, 1)
    shown, lines = local_run(cd, host, bins, [])
    assert not any("returns FALSE" in line for line in lines)
    rc, out = host.run(bins.uidriver, ["nobox", "--seconds", "1"])
    assert rc == 0, out

    seed(host, 0)
    cd.write_config((cd.folder / "config.ini").read_text().replace("auto_run_check=1", "auto_run_check=0"))
    shown, lines = local_run(cd, host, bins, [])
    assert not any("CheckWindowAutoRun" in line for line in lines)
    assert reg_value(host, CDROM, "Autorun") == "0x0"
