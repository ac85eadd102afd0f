"""The update client of the program under Wine: the probe program stands where
the staged program would, beside config.ini, the check library and the update
library, and talks to the simulated update server."""
import json
import shutil

import pytest

from conftest import PROGRAM, SAMPLE_CONFIG
from road_helpers import trace_lines
from updlink_rig import UpdateServer, free_port
from winehost import key_values

SIM = PROGRAM.parent / "sim" / "update"
APP = r"C:\sim-update\app"
SUB = "/TavoPCSuite4/Autorun/TavoPCSuiteIV_Setup.exe"
FREE = f"http://127.0.0.1:{free_port()}"  # nothing listens: refused at once


class Rig:
    def __init__(self, host, work):
        self.host = host
        self.app = host.unix_path(APP)
        self.app.mkdir(parents=True)
        self.data = host.unix_path(r"C:\sim-update")
        shutil.copy2(SIM / "update_probe.exe", self.app)
        self.use_check("check")
        self.use_library("staged")
        self.config()
        self.server = UpdateServer(work / "server", free_port())
        self.o = self.server.origin

    def use_check(self, variant):
        shutil.copy2(SIM / variant / "P4_UpdlinkChk.dll", self.app)

    def use_library(self, variant):
        shutil.copy2(SIM / f"updlib-{variant}" / "P4_Updlink.dll", self.app)

    def library(self):
        return (self.app / "P4_Updlink.dll").read_bytes()

    def config(self, file_name="P4_Updlink.dll", version="1.0.2"):
        text = SAMPLE_CONFIG.replace("swupdate_file_name=P4_Updlink.dll", f"swupdate_file_name={file_name}")
        text = text.replace("swupdate_version=1.0.0.1", f"swupdate_version={version}")
        (self.app / "config.ini").write_text(text.replace("\n", "\r\n"))

    def answer(self, version="1.0.2", dll=(), setup=()):
        lines = ["[answer]", f"version={version}"]
        lines += [f"dll{i + 1}={u}" for i, u in enumerate(dll)]
        lines += [f"setup{i + 1}={u}" for i, u in enumerate(setup)]
        (self.data / "check.ini").write_text("\r\n".join(lines) + "\r\n")

    def run(self, command):
        self.server.start()
        try:
            rc, out = self.host.run(self.app / "update_probe.exe", [command], timeout=120)
        finally:
            self.server.stop()
        assert rc == 0, out
        return key_values(out)

    def records(self, name):
        p = self.data / name
        return p.read_text().splitlines() if p.exists() else []

    def requests(self):
        return [r.split("?")[0] for r in self.server.requests()]


@pytest.fixture
def rig(host, tmp_path):
    return Rig(host, tmp_path)


def check_lines(lines):
    """The check's own lines, from its entry to its exit."""
    start = lines.index("CLiveUpdate::CheckUpdateDll(+)")
    return lines[start:lines.index("CLiveUpdate::CheckUpdateDll(-)") + 1]


def test_check_trace_probes_and_server_order(rig):
    o = rig.o
    rig.server.script({"/lib/d1": {"status": 404}, "/lib/d2": "library", "/base1": {"status": 403}})
    rig.answer("1.0.3", dll=[f"{FREE}/lib/d0", f"{o}/lib/d1", f"{o}/lib/d2", f"{o}/lib/d3", ""],
               setup=[f"{FREE}/base0", f"{o}/base1", f"{o}/base2"])
    got = rig.run("check")
    assert (got["check"], got["sel_dll"], got["sel_setup"], got["newer"]) == ("0", f"{o}/lib/d2", f"{o}/base1", "1")
    reg = "RegManager::getDebugDownloadVersion"
    assert check_lines(trace_lines(rig.host)) == [
        "CLiveUpdate::CheckUpdateDll(+)",
        "CLiveUpdate::CheckUpdateDll() LoadLibrary",
        "CLiveUpdate::CheckUpdateDll() GetProcAddress",
        f"{reg}(+)", rf"{reg}()SOFTWARE\Tavo Electronics\Tavo USB Autorun", f"{reg}() Reg Open Fail!!", f"{reg}(-)",
        "CLiveUpdate::CheckUpdateDll() pTavoP +",
        "CLiveUpdate::CheckUpdateDll() pTavoP -",
        "CAutoRunManager::CheckUpdateDll() m_strVersion = 1.0.3",
        f"CAutoRunManager::CheckUpdateDll() m_strUrl_DLL[0] = {FREE}/lib/d0",
        f"CAutoRunManager::CheckUpdateDll() m_strUrl_DLL[1] = {o}/lib/d1",
        f"CAutoRunManager::CheckUpdateDll() m_strUrl_DLL[2] = {o}/lib/d2",
        f"CAutoRunManager::CheckUpdateDll() m_strUrl_DLL[3] = {o}/lib/d3",
        "CAutoRunManager::CheckUpdateDll() m_strUrl_DLL[4] = ",
        f"CAutoRunManager::CheckUpdateDll() m_strUrl_Setup[0] = {FREE}/base0",
        f"CAutoRunManager::CheckUpdateDll() m_strUrl_Setup[1] = {o}/base1",
        f"CAutoRunManager::CheckUpdateDll() m_strUrl_Setup[2] = {o}/base2",
        "CAutoRunManager::CheckUpdateDll() m_strSubUrl/TavoPCSuite4/Autorun/TavoPCSuiteIV_Setup.exe",
        "CLiveUpdate::CheckUpdateDll() InternetOpen",
        "CLiveUpdate::CheckUpdateDll() FreeLibrary",
        "CLiveUpdate::CheckUpdateDll(-)",
    ]
    # A 404 library mirror is passed over; a setup base only has to open.
    assert rig.requests() == ["/lib/d1", "/lib/d2", "/base1"]
    assert {e["agent"] for e in map(json.loads, rig.server.log.read_text().splitlines())} == {
        "HTTP File Transfer"}
    assert rig.records("check.log") == ["call=1 arg11=TRUE arg12="]


def test_no_library_address_reachable_and_the_second_setup_base(rig):
    o = rig.o
    rig.server.script({"/lib/d1": {"status": 500}})
    rig.answer("1.0.3", dll=[f"{FREE}/lib/d0", f"{o}/lib/d1", "", "", ""],
               setup=[f"{FREE}/base0", f"{o}/base1", f"{o}/base2"])
    got = rig.run("swupdate")
    assert (got["check"], got["sel_dll"], got["sel_setup"]) == ("0", "", f"{o}/base1")
    # Nothing to download from: the staged library is handed over as it was.
    assert "CLiveUpdate::DownloadUrl() no address to download from" in trace_lines(rig.host)
    assert rig.records("startupdate.log") == [r"variant=staged cwd=C:\sim-update\app"]


@pytest.mark.parametrize("checked, library, requests", [
    ("1.0.3", "newer", 2),   # the probe, then the download
    ("1.0.2", "staged", 1),  # equal: only the probe
])
def test_software_update_step(rig, checked, library, requests):
    rig.server.script({"/lib/d0": {"file": str(SIM / "updlib-newer" / "P4_Updlink.dll")}})
    rig.answer(checked, dll=[f"{rig.o}/lib/d0"])
    got = rig.run("swupdate")
    assert got["StepSWUpate"] == "0"
    assert rig.library() == (SIM / f"updlib-{library}" / "P4_Updlink.dll").read_bytes()
    assert rig.records("startupdate.log") == [rf"variant={library} cwd=C:\sim-update\app"]
    assert rig.requests().count("/lib/d0") == requests
    lines = trace_lines(rig.host)
    step = lines[lines.index("CAutoRunManager::StepSWUpate(+)"):]
    assert step[-4:] == ["CLiveUpdate::startSWUpdate(+)", "CLiveUpdate::startSWUpdate() FreeLibrary",
                         "CLiveUpdate::startSWUpdate(-)", "CAutoRunManager::StepSWUpate(-)"]


@pytest.mark.parametrize("second, reason", [
    ({"status": 404}, "CLiveUpdate::DownloadUrl() HTTP status 404"),
    ({"size": 300000, "cut_at": 120000}, "CLiveUpdate::DownloadUrl() received 120000 of 300000 bytes"),
])
def test_failed_download_keeps_the_staged_library(rig, second, reason):
    rig.server.script({"/lib/d0": ["probe answered", second]})
    rig.answer("1.0.3", dll=[f"{rig.o}/lib/d0"])
    staged = rig.library()
    got = rig.run("swupdate")
    assert got["sel_dll"] == f"{rig.o}/lib/d0"
    assert rig.library() == staged
    assert sorted(p.name for p in rig.app.iterdir()) == ["P4_Updlink.dll", "P4_UpdlinkChk.dll", "config.ini",
                                                         "update_probe.exe"]
    assert reason in trace_lines(rig.host)
    assert rig.records("startupdate.log") == [r"variant=staged cwd=C:\sim-update\app"]


@pytest.mark.parametrize("file_name, library, line", [
    ("", "staged", "CLiveUpdate::startSWUpdate() m_hUpdateDLL is NULL"),
    ("P4_Updlink.dll", "noexport", "CLiveUpdate::startSWUpdate() pUpdate is NULL"),
])
def test_hand_off_without_a_usable_library(rig, file_name, library, line):
    rig.config(file_name=file_name)
    rig.use_library(library)
    rig.answer("1.0.2")
    rig.run("swupdate")
    lines = trace_lines(rig.host)
    hand_off = lines[lines.index("CLiveUpdate::startSWUpdate(+)"):lines.index("CLiveUpdate::startSWUpdate(-)")]
    assert hand_off[1] == line
    assert rig.records("startupdate.log") == []


@pytest.mark.parametrize("variant, result, expect", [
    ("check-noexport", "4", "CAutoRunManager::CheckUpdateDll() pTavoP is NULL"),
    ("check-fail", "4", "CAutoRunManager::CheckUpdateDll() pTavoP return FAIL"),
    ("check-full", "0", "CAutoRunManager::CheckUpdateDll() m_strVersion = " + "7" * 260),
    # Another compiler's _com_error: caught, its message written, and the
    # check goes on with what the buffers hold.
    ("check-comerror", "0", "CLiveUpdate::CheckUpdateDll() pTavoP crashed!!! e.ErrorMessage() is"),
], ids=["noexport", "fail", "full", "comerror"])
def test_check_library_variants(rig, variant, result, expect):
    rig.use_check(variant)
    rig.answer("1.0.3", dll=[f"{rig.o}/lib/d0"])
    got = rig.run("check")
    assert got["check"] == result
    lines = trace_lines(rig.host)
    assert expect in lines
    if variant == "check-comerror":
        after = lines[lines.index(expect) + 1:]
        # E_FAIL's system text: "Unspecified error" on Windows, "Call failed." under Wine.
        assert after[0] in ("Unspecified error", "Call failed.")
        assert after[1:3] == ["CLiveUpdate::CheckUpdateDll() pTavoP -",
                              "CAutoRunManager::CheckUpdateDll() m_strVersion = 1.0.3"]


def test_missing_check_library_makes_no_internet_access(rig):
    (rig.app / "P4_UpdlinkChk.dll").unlink()
    rig.answer("1.0.3", dll=[f"{rig.o}/lib/d0"])
    assert rig.run("check")["check"] == "4"
    assert "CAutoRunManager::CheckUpdateDll() m_hDLL is NULL" in trace_lines(rig.host)
    assert rig.requests() == []


@pytest.mark.parametrize("setup, line", [
    (True, "CAutoRunManager::StepPCSuite() GetUrl_Setup == {o}/base0" + SUB),
    (False, "CAutoRunManager::StepPCSuite() isDownloadable_Setup is FALSE"),
])
def test_pc_suite_download_choice(rig, setup, line):
    rig.answer("1.0.2", setup=[f"{rig.o}/base0"] if setup else [])
    assert rig.run("pcsuite")["StepPCSuite"] == "0"
    lines = trace_lines(rig.host)
    step = lines[lines.index("CAutoRunManager::StepPCSuite(+)"):]
    assert [s for s in step if s.startswith("CAutoRunManager::StepPCSuite")] == [
        "CAutoRunManager::StepPCSuite(+)", line.format(o=rig.o), "CAutoRunManager::StepPCSuite(-)"]
