"""Every failure box the program shows, each reached the way a user meets it
(the phone's answers, an application in the way, a program or setup gone,
the service without its pipe), read whole in English and in German. A code
that no road of the program produces is shown by result_box, the program's
own presentation, so that its texts are still seen in both languages.
The other boxes have their scenarios beside the road that shows them: the
AutoRun question and its reboot notice (test_inspect_autorun.py), the
wrong-mode boxes and the shell's before a failed setup
(test_installer_window.py)."""
import collections
import shutil

import pytest

from conftest import SAMPLE_CONFIG, answer_box, bring_up_desktop
from inspect_helpers import sim_file
from phone import Phone
from road_helpers import PC_SUITE_KEY, trace_lines
from test_device_service import SERVICE, install
from ui_helpers import MAIN_WINDOW, SHELL_NOT_FOUND, find_window, result_box
from winehost import finish

LANGUAGES = {"en": "en_GB.UTF-8", "de": "de_DE.UTF-8"}
PC_SUITE_PHONE, ITK_PHONE, ISO_TYPE1_PHONE = (0x40, 0x0A, 0x00), (0x41, 0x0A, 0x00), (0x42, 0x0A, 0x00)
APPS = {"VTP": "PC internet via the phone", "InternetKit": "Tavo Internet Kit", "PCSuite": "Tavo PC Suite IV"}
FOUND_VTP = "[LC] FindProcess Success!!"


def start_app(host, bins, name):
    """A stand-in application running from the prefix (the PC suite's writes
    its log beside itself), once its window is up."""
    exe = host.prefix / "drive_c" / "apps" / f"{name}.exe"
    exe.parent.mkdir(exist_ok=True)
    shutil.copy2(sim_file(name), exe)
    host.start(exe)
    assert find_window(host, bins, title=APPS[name], timeout=60) is not None


def cd_run(phone=PC_SUITE_PHONE, results=(), app=None, itk_type=0):
    """The CD run as AutoRun starts it, the phone answering the setting read
    with `results`, `app` running."""
    def road(host, bins, cd, env):
        Phone(host).write(setting=phone, setting_results=results)
        cd.write_config(SAMPLE_CONFIG.replace("itk_type=0", f"itk_type={itk_type}"))
        if app:
            start_app(host, bins, app)
        return cd.start(env=env)
    return road


def off_any_drive(host, bins, cd, env):
    # Without Z: the folder lies on no drive, as a network share would.
    Phone(host).write()
    share = host.prefix / "share"
    share.mkdir()
    shutil.copy2(cd.folder / "config.ini", share)
    (host.prefix / "dosdevices" / "z:").unlink()
    return host.start(cd.program, cwd=share, env=env)


def install_driver(host):
    assert host.run(sim_file("DriverSetup"), timeout=120)[0] == 0


def vtp_program_gone(host):
    install_driver(host)
    assert host.run(sim_file("VTPSetup"), timeout=120)[0] == 0
    (host.prefix / "drive_c" / "Program Files (x86)" / "Tavo Electronics" / "VTP" / "VTP.exe").unlink()


def pc_suite_program_gone(host):
    install_driver(host)
    host.reg_add(PC_SUITE_KEY, "Path", "C:\\PCSuite\\")


def local_run(phone=PC_SUITE_PHONE, prepare=None):
    """The staged copy's own run (from the CD's folder: it stages nothing)."""
    def road(host, bins, cd, env):
        Phone(host).write(setting=phone)
        if prepare:
            prepare(host)
        return cd.start(["-drive:E"], env=env)
    return road


def standard_user_on_xp(service=False):
    """A standard user's CD run on Windows XP; with `service`, the service
    installed and running by an administrator's run, but without its pipe."""
    def road(host, bins, cd, env):
        host.set_windows_version("winxp")
        Phone(host).write(extra=["pipe.off=1"] if service else [])
        if service:
            install(cd, host)
        return host.start(bins.standarduser, [host.to_windows(cd.program)], cwd=cd.folder, env=env)
    return road


def shown_by_result_box(code):
    def road(host, bins, cd, env):
        return host.start(bins.result_box, [str(code)], env=env)
    road.process = "result_box.exe"
    return road


# shell_box: the shell's own box that comes first, for a missing "file" or "path".
Row = collections.namedtuple("Row", "code road english german owner trace shell_box serial",
                             defaults=(None, None, None, False))
SCSI_EN = "SCSI Command transmission error has occurred."
SCSI_DE = "Bei der \u00dcbertragung des SCSI-Befehls ist ein Fehler aufgetreten."
CLOSE_PC_SUITE_EN = "The following applications should be closed before you continue to install Tavo PC Suite."
CLOSE_VTP_EN = ("The following applications should be closed before you continue to install "
                "PC internet via the phone.")
CLOSE_ITK_EN = "The following applications should be closed before you continue to install Tavo Internet Kit."
CLOSE_PC_SUITE_DE = ("Die folgenden Anwendungen m\u00fcssen geschlossen werden, bevor Sie mit der Installation von "
                     "Tavo PC Suite fortfahren.")
CLOSE_VTP_DE = ("Die folgenden Anwendungen m\u00fcssen geschlossen werden, bevor Sie mit der Installation von "
                "\u201ePC-Internet \u00fcber das Telefon\u201c fortfahren.")
CLOSE_ITK_DE = ("Die folgenden Anwendungen m\u00fcssen geschlossen werden, bevor Sie mit der Installation von "
                "Tavo Internet Kit fortfahren.")

ROWS = [
    Row(2, off_any_drive, "Unknown error has occurred.", "Ein unbekannter Fehler ist aufgetreten.",
        trace="CAutoRunManager::RunFromCD() the current directory is not on a drive: "),
    Row(100, cd_run(results=[-5]), "Unknown error has occurred during SCSI Command transmission.",
        "Bei der \u00dcbertragung des SCSI-Befehls ist ein unbekannter Fehler aufgetreten.",
        trace="CAutoRunManager::GetSetting() fail first"),
    Row(101, cd_run(results=[-2]), SCSI_EN + " (FAIL_TO_OPEN_DRIVE)", SCSI_DE + " (FAIL_TO_OPEN_DRIVE)",
        trace="CAutoRunManager-ScsiError2AutoRunError> GET_SETTING fail FAIL_TO_OPEN_DRIVE"),
    Row(102, cd_run(results=[-3]), SCSI_EN + " (FAIL_TO_SEND_SCSI_CMD)", SCSI_DE + " (FAIL_TO_SEND_SCSI_CMD)",
        trace="CAutoRunManager-ScsiError2AutoRunError> GET_SETTING fail FAIL_TO_SEND_SCSI_CMD"),
    Row(103, cd_run(results=[-20]), SCSI_EN + " (FAIL_TO_OPEN_DRIVE_ACCESS_DENIED)",
        SCSI_DE + " (FAIL_TO_OPEN_DRIVE_ACCESS_DENIED)",
        trace="CAutoRunManager-ScsiError2AutoRunError> GET_SETTING fail FAIL_TO_OPEN_DRIVE_ACCESS_DENIED"),
    Row(104, cd_run(results=[-1]), SCSI_EN + " (FAIL_TO_FIND_DRIVE)", SCSI_DE + " (FAIL_TO_FIND_DRIVE)",
        trace="CAutoRunManager-:ScsiError2AutoRunError> GET_SETTING fail FAIL_TO_FIND_DRIVE"),
    # The phone's setting block names ISO type 1, which is no mode.
    Row(105, local_run(ISO_TYPE1_PHONE), "ISO value for modes is unknown.",
        "Der ISO-Wert f\u00fcr die Modi ist unbekannt."),
    # No road: nothing returns 200.
    Row(200, shown_by_result_box(200), "Unknown error has occurred during Windows Service Management.",
        "Bei der Windows-Dienstverwaltung ist ein unbekannter Fehler aufgetreten."),
    Row(201, standard_user_on_xp(service=True), "Windows Service Management failed.",
        "Die Windows-Dienstverwaltung ist fehlgeschlagen.",
        trace="[WindowServiceManager] PipeSend()-CreateFile() Error code is 2", serial=True),
    # The service is not installed, and a standard user may not install it.
    Row(209, standard_user_on_xp(), "Administrator account is required for access.",
        "F\u00fcr den Zugriff ist ein Administratorkonto erforderlich.",
        trace="[WindowServiceManager] OpenService failed error code is 1060"),
    Row(300, local_run(ITK_PHONE, vtp_program_gone), "Failed to execute VTP.",
        "VTP konnte nicht ausgef\u00fchrt werden.", shell_box="file"),
    # 301 has no text of its own: the PC suite registered, its program gone.
    Row(301, local_run(PC_SUITE_PHONE, pc_suite_program_gone),
        "Unknown error code has been displayed.(error code is 301)",
        "Es wurde ein unbekannter Fehlercode angezeigt.(error code is 301)", shell_box="path"),
    # No road: nothing returns 302.
    Row(302, shown_by_result_box(302), "Failed to uninstall.", "Die Deinstallation ist fehlgeschlagen."),
    # The CD has no tools folder: the window's driver step fails.
    Row(303, local_run(), "Failed to set up.", "Die Einrichtung ist fehlgeschlagen.", owner=MAIN_WINDOW,
        shell_box="path"),
    # No road: nothing returns 306.
    Row(306, shown_by_result_box(306), "USB driver is not installed.", "Der USB-Treiber ist nicht installiert."),
    # No road: the run step checks the VTP only after the ITK step has found it installed.
    Row(307, shown_by_result_box(307), "VTP is not installed.", "VTP ist nicht installiert."),
    # No road: nothing returns 308.
    Row(308, shown_by_result_box(308), "Tavo PC Suite IV not installed.", "Tavo PC Suite IV ist nicht installiert."),
    Row(400, cd_run(app="VTP"), CLOSE_PC_SUITE_EN + "\n\n(PC internet via the phone)",
        CLOSE_PC_SUITE_DE + "\n\n(PC-Internet \u00fcber das Telefon)", trace=FOUND_VTP),
    Row(401, cd_run(app="InternetKit"), CLOSE_PC_SUITE_EN + "\n\n(Tavo Internet Kit)",
        CLOSE_PC_SUITE_DE + "\n\n(Tavo Internet Kit)"),
    Row(402, cd_run(ITK_PHONE, app="PCSuite"), CLOSE_VTP_EN + "\n\n(Tavo PC Suite)",
        CLOSE_VTP_DE + "\n\n(Tavo PC Suite)"),
    Row(403, cd_run(ITK_PHONE, app="InternetKit"), CLOSE_VTP_EN + "\n\n(Tavo Internet Kit)",
        CLOSE_VTP_DE + "\n\n(Tavo Internet Kit)"),
    Row(404, cd_run(ITK_PHONE, app="VTP", itk_type=1), CLOSE_ITK_EN + "\n\n(PC internet via the phone)",
        CLOSE_ITK_DE + "\n\n(PC-Internet \u00fcber das Telefon)", trace=FOUND_VTP),
    Row(405, cd_run(ITK_PHONE, app="PCSuite", itk_type=1), CLOSE_ITK_EN + "\n\n(Tavo PC Suite)",
        CLOSE_ITK_DE + "\n\n(Tavo PC Suite)"),
]


def check(row, lang, host, bins, cd):
    bring_up_desktop(host, bins)
    program = row.road(host, bins, cd, {"LC_ALL": LANGUAGES[lang], "LANG": LANGUAGES[lang]})
    if row.shell_box:
        # The shell's own complaint about the missing program comes first.
        answer_box(host, bins, SHELL_NOT_FOUND[LANGUAGES[lang]][row.shell_box])
    text = row.english if lang == "en" else row.german
    answer_box(host, bins, result_box(text, row.owner, getattr(row.road, "process", "Devstart.exe")))
    finish(program, 120)
    if row.trace:
        # A prefix: the line of code 2 ends with the folder as Wine names it.
        assert any(line.startswith(row.trace) for line in trace_lines(host)), trace_lines(host)


def rows(serial):
    return [pytest.param(r, id=str(r.code)) for r in ROWS if r.serial == serial]


@pytest.mark.parametrize("lang", LANGUAGES)
@pytest.mark.parametrize("row", rows(serial=False))
def test_box(row, lang, host, bins, cd):
    check(row, lang, host, bins, cd)


# The service under load is not reliable: this one runs with the serial ones.
@pytest.mark.serial
@pytest.mark.parametrize("lang", LANGUAGES)
@pytest.mark.parametrize("row", rows(serial=True))
def test_service_box(row, lang, host, bins, cd):
    try:
        check(row, lang, host, bins, cd)
    finally:
        host.run_tool(["sc", "stop", SERVICE])
        host.run_tool(["sc", "delete", SERVICE])
