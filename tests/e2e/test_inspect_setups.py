"""The setup stand-ins as the installer runs them: copied alone into a
staging folder, started there without arguments, steered through
C:\\sim-setups\\<role>.cfg and logging into C:\\sim-setups\\<role>.log."""
import re
import shutil

import pytest

from inspect_helpers import reg_value, setup_config, setup_log, sim_file

WOW = r"HKLM\SOFTWARE\Wow6432Node"
DRIVER_KEY = WOW + r"\Microsoft\Windows\CurrentVersion\Uninstall\{FA02ACAC-9E14-4878-A257-92A22A647C2C}"
INSTALLED = ["started install pid N", "installed"]


def stage(tmp_path, role, name):
    """The setup alone in an empty folder, as the installer stages it."""
    staging = tmp_path / "staging"
    staging.mkdir()
    shutil.copy2(sim_file(role), staging / name)
    return staging


def logged(host, role):
    return [re.sub(r"pid \d+$", "pid N", line) for line in setup_log(host, role)]


@pytest.mark.parametrize("role, installed, payload, key, name", [
    ("DriverSetup", "Tavo USB Modem Drivers/tavox64modem.sys", "tavodriverfile", DRIVER_KEY, "DisplayVersion"),
    ("VTPSetup", "VTP/VTP.exe", "VTP",
     WOW + r"\Microsoft\Windows\CurrentVersion\Uninstall\{34A0FF07-F11A-4157-84A3-92F8AD688CBF}", "DisplayVersion"),
    ("ITKSetup", "Tavo Internet Kit/InternetKit.exe", "InternetKit",
     WOW + r"\Tavo Electronics\Tavo Internet Kit\1.0", "Version"),
], ids=["driver", "vtp", "itk"])
def test_setup_alone_and_renamed_installs_what_it_carries(host, tmp_path, role, installed, payload, key, name):
    # Another name than its own: the role, not the file name, picks its settings.
    staging = stage(tmp_path, role, "Setup.exe")
    setup_config(host, role, version="7.7")
    rc, _ = host.run(staging / "Setup.exe", [], cwd=staging, timeout=120)
    assert rc == 0
    target = host.prefix / "drive_c" / "Program Files (x86)" / "Tavo Electronics" / installed
    assert target.read_bytes() == sim_file(payload).read_bytes()
    assert reg_value(host, key, name) == "7.7"
    assert logged(host, role) == INSTALLED
    assert [p.name for p in staging.iterdir()] == ["Setup.exe"]


@pytest.mark.parametrize("configs, args, version, log", [
    ({}, [], "2.5.0.12", INSTALLED),
    ({"DriverSetup": {"mode": "noinstall"}}, [], None, ["started noinstall pid N", "finished without installing"]),
    ({"DriverSetup": {"mode": "noinstall", "version": "1.9"}}, ["/mode=install"], "1.9", INSTALLED),
    ({"VTPSetup": {"mode": "noinstall"}}, [], "2.5.0.12", INSTALLED),
], ids=["no-file", "file", "argument-wins", "other-role"])
def test_settings_come_from_the_file_of_its_role_and_arguments_win(host, tmp_path, configs, args, version, log):
    for role, settings in configs.items():
        setup_config(host, role, **settings)
    staging = stage(tmp_path, "DriverSetup", "DriverSetup.exe")
    assert host.run(staging / "DriverSetup.exe", args, cwd=staging, timeout=120)[0] == 0
    assert reg_value(host, DRIVER_KEY, "DisplayVersion") == version
    assert logged(host, "DriverSetup") == log
    assert setup_log(host, "VTPSetup") == []
