"""The Windows AutoRun settings checked and repaired by a local run, with the
question and the reboot notice answered by the UI driver as a person would."""
import pytest

from conftest import answer_box
from ui_helpers import Box
from inspect_helpers import reg_value
from road_helpers import end_after_first_checks, strip

CDROM = r"HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Cdrom"
USER_POLICY = r"HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Policies\Explorer"
# The question has an empty caption; the notice after the repair says "Warning".
ASK = Box("", "Autorun function is deactivated. Do you want to activate Autorun function?", ("OK", "Cancel"),
          "question")
REBOOT = Box("Warning", "Some of settings will be applied after rebooting.", ("OK",), "exclamation")
ASK_DE = Box("", "Die Autorun-Funktion ist deaktiviert. M\u00f6chten Sie die Autorun-Funktion aktivieren?",
             ("OK", "Cancel"), "question")
REBOOT_DE = Box("Warnung", "Einige Einstellungen werden erst nach einem Neustart \u00fcbernommen.", ("OK",), "exclamation")


def local_run(cd, host, bins, answers, lang="en_GB.UTF-8"):
    """Starts the local run and answers each box in turn: (box expected,
    button) pairs; the run is ended once its start-up checks are over.
    Returns the trace."""
    # The previous run's log would look like this run's checks being over.
    (host.temp_dir / "Devstart.Log").unlink(missing_ok=True)
    run = cd.start(["-drive:E"], env={"LC_ALL": lang, "LANG": lang})
    try:
        for box, button in answers:
            answer_box(host, bins, box, button, timeout=90)
    finally:
        end_after_first_checks(host, run)
    return strip(host.read_log())


def seed(host, cdrom_autorun, user_policy=None):
    host.reg_import(f'[{CDROM}]\n"Autorun"=dword:{cdrom_autorun:08x}\n' +
                    (f'\n[{USER_POLICY}]\n"NoDriveTypeAutorun"=dword:{user_policy:08x}\n'
                     if user_policy is not None else ""))


@pytest.mark.parametrize("user_policy, answers, autorun_after, policy_after, lang", [
    # In German: the question keeps its empty caption, the notice says "Warnung".
    (0xB5, [(ASK_DE, "OK"), (REBOOT_DE, "OK")], "0x1", "0x95", "de_DE.UTF-8"),
    # Only the CD-ROM service was off: repaired without a reboot notice.
    (None, [(ASK, "OK")], "0x1", None, "en_GB.UTF-8"),
    # The user's policy hid the CD-ROM bit as well: only that bit is cleared,
    # and the user learns that it takes effect after a restart.
    (0xB5, [(ASK, "OK"), (REBOOT, "OK")], "0x1", "0x95", "en_GB.UTF-8"),
    # Cancel leaves every setting as it was.
    (0xB5, [(ASK, "Cancel")], "0x0", "0xb5", "en_GB.UTF-8"),
])
def test_autorun_is_repaired_when_the_user_agrees(desktop, cd, host, bins, user_policy, answers, autorun_after,
                                                  policy_after, lang):
    seed(host, 0, user_policy)
    lines = local_run(cd, host, bins, answers, lang)
    assert reg_value(host, CDROM, "Autorun") == autorun_after
    assert reg_value(host, USER_POLICY, "NoDriveTypeAutorun") == policy_after
    assert r"[WARM]CheckWindowAutoRun1 returns FALSE (SYSTEM\CurrentControlSet\Services\Cdrom > Autorun)" in lines
    repaired = r"[WARM]CheckWindowAutoRun1 returns TRUE (SYSTEM\CurrentControlSet\Services\Cdrom > Autorun)"
    assert (repaired in lines) == (answers[0][1] == "OK")


def test_autorun_left_alone_when_enabled_or_not_checked(desktop, cd, host, bins):
    seed(host, 1)
    lines = local_run(cd, host, bins, [])
    assert not any("returns FALSE" in line for line in lines)
    rc, out = host.run(bins.uidriver, ["nobox", "--seconds", "1"])
    assert rc == 0, out

    seed(host, 0)
    cd.write_config((cd.folder / "config.ini").read_text().replace("auto_run_check=1", "auto_run_check=0"))
    lines = local_run(cd, host, bins, [])
    assert not any("CheckWindowAutoRun" in line for line in lines)
    assert reg_value(host, CDROM, "Autorun") == "0x0"
