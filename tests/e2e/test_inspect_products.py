"""What is installed, read by the real inspection code under Wine: the
32-bit registry view, the driver chain with real version resources, and the
stand-in setups that later install steps run."""
import pytest

from inspect_helpers import install_standins, needs_32bit_program, probe
from road_helpers import strip

WOW = r"HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node"
UNINSTALL = r"Microsoft\Windows\CurrentVersion\Uninstall"


def test_queries_read_the_32bit_view_with_exact_trace(host):
    host.reg_import(
        f"[{WOW}\\Tavo Electronics\\Tavo PC Suite IV\\1.0]\n"
        '"Path"="C:\\\\Suite\\\\\\\\\\\\"\n\n'
        # Only in the 64-bit view: the program does not see it.
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tavo Electronics\\Tavo Internet Kit\\1.0]\n"
        '"Path"="C:\\\\Kit"\n\n'
        f"[{WOW}\\{UNINSTALL}\\{{34A0FF07-F11A-4157-84A3-92F8AD688CBF}}]\n"
        '"InstallLocation"=dword:00000007\n'
        '"DisplayVersion"="1.0"\n')
    v = probe(host, "queries")
    assert v["mask"] == str(0x20219)
    assert v["CheckPCSuiteInstall"] == "1"
    assert v["GetPCSuiteInstallPath"] == "C:\\Suite\\"
    assert v["CheckITKInstall_TPS"] == "0"
    assert v["CheckITKInstall_VTP"] == "0"       # REG_DWORD is not a string
    assert v["GetITKVersion_VTP"] == "1.0"
    lines = strip(host.read_log())
    at = lines.index("CAutoRunManager::GetPCSuiteInstallPath(+)")
    assert lines[at:at + 4] == [
        "CAutoRunManager::GetPCSuiteInstallPath(+)",
        "SOFTWARE\\Tavo Electronics\\Tavo PC Suite IV\\1.0",
        "CAutoRunManager::GetPCSuiteInstallPath() Path [C:\\Suite][12]",
        "CAutoRunManager::GetPCSuiteInstallPath(-)",
    ]
    assert "CAutoRunManager::GetITKVersion_TPS()  Fail!!" in lines
    assert "CAutoRunManager::CheckITKInstall_VTP() Fail" in lines


@needs_32bit_program
@pytest.mark.parametrize("args, installed, current", [
    ([], "2.5.0.12", "1"),
    (["/folder=B"], "2.5.0.12", "1"),
    (["/files=0", "/code=3", "/version=1.9"], "1.9", "0"),
    (["/mode=noinstall"], "0.0.0.0", "0"),
])
def test_driver_setup_and_driver_chain(host, tmp_path, args, installed, current):
    folder = install_standins(tmp_path / "tools")
    rc, _ = host.run(folder / "DriverSetup.exe", args, timeout=120)
    assert rc == 0
    (tmp_path / "config.ini").write_text("[DRIVER]\r\ndriver_version=2.0\r\n")
    v = probe(host, "driver", cwd=tmp_path)
    assert v["GetInstalledDriverVersion"] == installed
    assert v["IsDriverVersionCurrent"] == current
    assert v["CheckDriverInstall"] == ("1" if installed == "2.5.0.12" else "0")
    if installed == "2.5.0.12":
        assert v["VersionA" if "/folder=B" not in args else "VersionB"] == "2.5.0.12"


def test_version_of_a_system_dll_and_of_none(host, tmp_path):
    v = probe(host, "fileversion", "C:\\windows\\system32\\kernel32.dll")
    assert v["ReadFixedFileInfo"] == "1"
    assert len(v["version"].split(".")) == 4 and v["version"] != "0.0.0.0"
    (tmp_path / "plain.sys").write_bytes(b"no resource")
    v = probe(host, "fileversion", host.to_windows(tmp_path / "plain.sys"))
    assert v["ReadFixedFileInfo"] == "0"


def test_vtp_and_internet_kit_setups_record_what_the_queries_read(host, tmp_path):
    folder = install_standins(tmp_path / "tools")
    assert host.run(folder / "VTPSetup.exe", ["/version=1.5"], timeout=120)[0] == 0
    assert host.run(folder / "ITKSetup.exe", ["/version=3.1"], timeout=120)[0] == 0
    (tmp_path / "config.ini").write_text("[ITK]\r\nitk_type=1\r\nitk_version=3.2\r\n")
    v = probe(host, "queries", cwd=tmp_path)
    assert v["GetITKVersion_VTP"] == "1.5"
    assert v["GetITKVersion_TPS"] == "3.1"
    assert v["IsITKVersionCurrent"] == "0"
    vtp = host.unix_path(v["GetInstallPath"]) / "VTP.exe"
    kit = host.unix_path(v["GetITKInstallPath_TPS"]) / "InternetKit.exe"
    assert vtp.exists() and kit.exists()
