"""The installer's road on every Windows family Wine can play, each on a pure
32-bit prefix (what Windows 2000 and the 32-bit editions were) and on a
64-bit one (a 32-bit program under WOW64): the CD run staging and
relaunching, the start-up's service and AutoRun checks, the driver setup in
the window, the phone's mode switch, the guide, the staging folder emptied;
then the phone's next connection, which finds the driver and the PC suite
where this family keeps them and starts the suite without a window."""
import collections
import os
import re
import shutil

import pytest

from conftest import WORK, VirtualCd, answer_box, bring_up_desktop
from phone import Phone
from road_helpers import NORMAL_END, install_pc_suite, trace_lines, wait_for_relaunch, wait_until
from ui_helpers import find_window, post, result_box
from winehost import SHELL_EXECUTE_TRACE, WINE_ARCHES, finish, shell_executions

WM_COMMAND, GUIDE_OK = 0x111, 1006
SERVICE = "TavoScsiCommandService"
SERVICE_KEY = r"HKLM\System\CurrentControlSet\Services\TavoScsiCommandService"
# Wine keeps one profile layout for every version it plays (XP's would be
# C:\Documents and Settings\<user>\Local Settings\Temp): the staging folder is there.
STAGING = f"C:\\users\\{os.environ.get('USER', 'root')}\\Temp\\E\\"
SETTING_READ, MODE_SWITCH = ("E", 2, 32, 3, 3), ("E", 1, 1, 0, 0)

Family = collections.namedtuple("Family", "program_files drivers suite_key")
# A 32-bit program on 32-bit Windows: one Program Files, one registry view,
# the x86 driver. Under WOW64: the 32-bit Program Files, the registry's
# 32-bit view, the x64 driver (the machine's own architecture).
X86 = Family("Program Files", ["tavousbbus.sys", "tavousbdiag.sys", "tavousbmodem.sys"],
             r"HKEY_LOCAL_MACHINE\SOFTWARE\Tavo Electronics\Tavo PC Suite IV\1.0")
X64 = Family("Program Files (x86)", ["tavox64bus.sys", "tavox64diag.sys", "tavox64modem.sys"],
             r"HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Tavo Electronics\Tavo PC Suite IV\1.0")

# The AutoRun settings the start-up checks: not the shell hardware detection
# on Windows 2000, the AutoPlay handlers from version 6 on. (Check 2 hands
# over to check 3 without a line of its own: Wine sets no machine policy.)
W2K_CHECKS, XP_CHECKS, NT6_CHECKS = [1, 3], [1, 3, 4], [1, 3, 4, 5, 6, 7]

Cell = collections.namedtuple("Cell", "family verb service checks")


def cell(version, arch, *expected, skip=None):
    expected = Cell(*expected)
    # Where the road sets the SCSI command service up it runs with the other
    # service scenarios, alone: under load the service manager's pipe is not reliable.
    marks = [pytest.mark.skip(reason=skip)] if skip else [pytest.mark.serial] if expected.service else []
    return pytest.param(version, arch, expected, id=f"{version}-{arch}", marks=marks)


# The first road has a driver to install: the copy is elevated ("runas")
# on a version-6 workstation only; on Server 2008 only for a user who is no
# administrator; never on version 5, where the start-up sets the SCSI
# command service up instead, in the 32-bit system folder.
CELLS = [
    cell("win2k", "win32", X86, "open", "system32", W2K_CHECKS),
    cell("win2k", "win64", None, None, None, None, skip="Windows 2000 had no 64-bit edition"),
    cell("winxp", "win32", X86, "open", "system32", XP_CHECKS),
    # XP's only x64 edition was version 5.2 (Wine's winxp64): a 64-bit 5.1 never existed.
    cell("winxp64", "win64", X64, "open", "syswow64", XP_CHECKS),
    cell("vista", "win32", X86, "runas", None, NT6_CHECKS),
    cell("vista", "win64", X64, "runas", None, NT6_CHECKS),
    cell("win2008", "win32", X86, "open", None, NT6_CHECKS),
    cell("win2008", "win64", X64, "open", None, NT6_CHECKS),
    cell("win10", "win32", X86, "runas", None, NT6_CHECKS),
    cell("win10", "win64", X64, "runas", None, NT6_CHECKS),
]


def autorun_checks(lines):
    return [int(m.group(1)) for m in (re.match(r"\[WARM\]CheckWindowAutoRun(\d) returns TRUE", l) for l in lines) if m]


def relaunch(exec_log):
    """How the CD run started its staged copy, as Wine's shell saw it."""
    [start] = [e for e in shell_executions(exec_log) if e["file"].endswith("\\Devstart.exe")]
    return start


def service_files(host, folder):
    base = host.prefix / "drive_c" / "windows" / folder
    return sorted(n for n in ("ScsiCmdService.exe", "SendScsiCmd.dll") if (base / n).exists())


def reg_query(host, key):
    """`reg query` of a key in the 64-bit view (the only one on win32), or None."""
    r = host.run_tool(["reg", "query", key, "/reg:64"])
    return r.stdout.decode(errors="replace") if r.returncode == 0 else None


def staged_files(host):
    root = host.temp_dir / "E"
    return sorted(str(p.relative_to(root)) for p in root.rglob("*")) if root.exists() else []


def program_ended(host):
    return not host.linux_pids("Devstart.exe")


@pytest.mark.parametrize("host", WINE_ARCHES, indirect=True)
def test_prefix_has_the_shape_of_its_architecture(host, host_bins, tmp_path):
    """What the matrix stands on: Wine's tools, a .reg import and the CD run
    work in both prefixes, and only the 64-bit one has the WOW64 layout."""
    wow64 = host.arch == "win64"
    c = host.prefix / "drive_c"
    assert ((c / "windows" / "syswow64").exists(), (c / "Program Files (x86)").exists()) == (wow64, wow64)
    host.reg_import('[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tavo Electronics\\Tavo USB Autorun]\n"debug_mode"="1"\n')
    assert "debug_mode    REG_SZ    1" in reg_query(host, r"HKLM\SOFTWARE\Tavo Electronics\Tavo USB Autorun")
    assert (reg_query(host, r"HKLM\SOFTWARE\Wow6432Node") is not None) == wow64
    cd = VirtualCd(host, host_bins, tmp_path / "cd")
    rc, _ = cd.run()
    assert rc == 0
    [record] = wait_for_relaunch(host)
    assert record["arguments"] == "-drive:E"


@pytest.mark.parametrize("version, host, expected", CELLS, indirect=["host"])
def test_road_on_every_windows_family(version, host, host_bins, expected, request):
    bring_up_desktop(host, host_bins)
    host.set_windows_version(version)
    cd = VirtualCd(host, host_bins, WORK / "cds" / request.node.name.replace("[", "-").replace("]", ""),
                   whole_road=True)
    # The driver setup of the prefix's own architecture, as a maker's would
    # install the right drivers on a 64-bit system.
    (cd.folder / "tools").mkdir(exist_ok=True)
    shutil.copy2(host_bins.DriverSetup, cd.folder / "tools" / "DriverSetup.exe")
    phone = Phone(host)
    phone.write()

    # The first connection: nothing installed.
    exec_log = host.prefix / "exec-first.log"
    finish(cd.start(env={"WINEDEBUG": SHELL_EXECUTE_TRACE}, stderr=exec_log), 180)
    # Wine shows no consent prompt for "runas": the copy just starts elevated.
    assert relaunch(exec_log) == {"verb": expected.verb, "file": STAGING + "Devstart.exe", "parm": "-drive:E",
                                  "dir": STAGING}
    guide = find_window(host, host_bins, cls="#32770", title="Installation guide", timeout=300, visible=True)
    assert guide is not None, trace_lines(host)
    lines = trace_lines(host)
    assert autorun_checks(lines) == expected.checks
    drivers = host.prefix / "drive_c" / expected.family.program_files / "Tavo Electronics" / "Tavo USB Modem Drivers"
    assert sorted(p.name for p in drivers.glob("*.sys")) == expected.family.drivers
    assert phone.calls == [SETTING_READ, SETTING_READ, MODE_SWITCH]
    post(host, host_bins, guide["hwnd"], WM_COMMAND, GUIDE_OK)
    assert wait_until(lambda: program_ended(host), 120), trace_lines(host)
    assert trace_lines(host)[-2:] == ["CAutoRunManager::StepRun(-)", "NORMAL_EXIT"]
    # What the running copy holds open stays, as on Windows.
    assert staged_files(host) == ["Devstart.exe", "Progress.avi", "SendScsiCmd.dll"]

    if expected.service:
        service = reg_query(host, SERVICE_KEY)
        assert re.search(rf"ImagePath\s+REG_\w+\s+C:\\windows\\{expected.service}\\ScsiCmdService\.exe", service, re.I)
        assert service_files(host, expected.service) == ["ScsiCmdService.exe", "SendScsiCmd.dll"]
        assert "CAutoRunManager::CheckService(+)" in lines
    else:
        assert reg_query(host, SERVICE_KEY) is None
        assert "CAutoRunManager::CheckService(+)" not in lines
    if host.arch == "win64":
        assert service_files(host, "system32") == []

    # The next connection: the driver is there, the PC suite too (seeded in
    # the one view the program reads); the copy starts it without a window.
    suite = install_pc_suite(host, host_bins.PCSuite, key=expected.family.suite_key)
    exec_log = host.prefix / "exec-next.log"
    finish(cd.start(env={"WINEDEBUG": SHELL_EXECUTE_TRACE}, stderr=exec_log), 180)
    assert relaunch(exec_log)["verb"] == "open"
    host.wait_for_file(suite / "PCSuite.log", 180)
    assert wait_until(lambda: NORMAL_END in trace_lines(host), 60), trace_lines(host)
    lines = trace_lines(host)
    assert "Checker::CheckDriverInstall_File() return TRUE" in lines
    assert 'CAutoRunManager::CheckPCSuiteInstall() Reg "Path" : [C:\\PCSuite\\][12]' in lines
    assert lines[-1] == NORMAL_END
    assert phone.calls[3:] == [SETTING_READ, SETTING_READ, MODE_SWITCH]
    # Only the window's last stages empty the staging folder: a run that
    # needs none leaves its copy there until the next CD run.
    assert staged_files(host) == ["Devstart.exe", "P4_Updlink.dll", "P4_UpdlinkChk.dll", "Progress.avi",
                                  "SendScsiCmd.dll", "config.ini", "tools"]


@pytest.mark.serial
@pytest.mark.parametrize("host", ["win32"], indirect=True)
def test_standard_user_on_xp_with_the_service_stopped_is_told_to_ask_an_administrator(host, host_bins, tmp_path):
    host.set_windows_version("winxp")
    # As an administrator's earlier run left it: registered, not running.
    host.run_tool(["sc", "create", SERVICE, "binPath=", "C:\\windows\\system32\\ScsiCmdService.exe"])
    assert "STOPPED" in host.run_tool(["sc", "query", SERVICE]).stdout.decode(errors="replace")
    bring_up_desktop(host, host_bins)
    cd = VirtualCd(host, host_bins, tmp_path / "cd", whole_road=True)
    Phone(host).write()
    run = host.start(host_bins.standarduser, [host.to_windows(cd.program)], cwd=cd.folder)
    answer_box(host, host_bins, result_box("Administrator account is required for access."))
    finish(run, 200)
    lines = trace_lines(host)
    assert "[WindowServiceManager] ControlService() Service is not Running." in lines
    assert "CAutoRunManager::RunFromCD(+)" not in lines
    assert staged_files(host) == []
