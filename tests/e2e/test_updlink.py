"""P4_Updlink.dll under Wine, called as the sync software calls it, against
the simulated update server and phone."""
import fcntl
import re
import shutil
import socket

import pytest

from conftest import WORK
from updlink_rig import UpdateServer, UpdlinkRig, gcab, helper_bin, make_cab, standard_routes, started_rig

HISTORY = re.compile(r"^KKRKAB100:\d{15}$")


def make_rig(host, request, bin=None):
    return started_rig(host, request, WORK / "updlink", bin)


@pytest.fixture
def rig(host, request):
    r = make_rig(host, request)
    yield r
    r.server.stop()


@pytest.fixture
def rig64(host, request):
    """The x86-64 build: a 32-bit process that downloads with URLDownloadToFile
    (whose worker threads stay) and then loads a DLL crashes under qemu-user,
    though not on Windows; this road runs on the x86-64 build instead."""
    r = make_rig(host, request, helper_bin())
    yield r
    r.server.stop()


def catalogue(origin, setup="B2CSetup.cab", dll_version="1.0.0.9", dll="PCSyncDLL.cab"):
    return ("<catalogue result='OK'>"
            f"<item name='PCSyncDLL' version='{dll_version}' url='{origin}/files/{dll}' />"
            f"<item name='B2C_PCSynclink_setup' version='2.0' url='{origin}/files/{setup}' />"
            "</catalogue>")


def test_check_ready_on_kic_mirror(rig):
    out = rig.run("check", "", "state")
    assert out["check.result"] == "1"
    assert out["check.message"] == "MSG_READY"
    assert out["check.url"] == rig.server.origin + "/files/kic.exe"
    assert HISTORY.match(out["check.history"]), out
    assert out["S_NUM"] == "ESN0001"
    assert rig.server.requests()[1:] == [
        "/svc/popup/model_check.jsp?esn=ESN0001",
        "/csmg/b2c/client/ftp_country_info.jsp",
        "/csmg/b2c/client/pcsync_ftp_upload_list.jsp?model=AB100&buyer=TAV&region=K&country=KR",
        "/csmg/b2c/client/ric_hit_rate_monitoring.jsp",
        "/files/chk_kic.bin",
    ]


def test_check_with_version_uses_testing_list(rig):
    out = rig.run("check", "P4.1", "state")
    assert out["check.message"] == "MSG_READY"
    assert "/csmg/b2c/client/pcsync_ftp_upload_testing.jsp?model=AB100&buyer=TAV&region=K&country=KR&version=P4.1" \
        in rig.server.requests()


def test_check_without_phone(rig):
    rig.phone(count=0, auth_serial="")
    out = rig.run("check", "", "state")
    assert (out["check.result"], out["check.url"], out["check.history"], out["check.message"]) == \
        ("1", "", "", "MSG_PHONE_FAIL")
    assert out["S_NUM"] == ""
    assert "/svc/popup/model_check.jsp" not in rig.server.paths()


def test_report_start_then_ok(rig):
    history = rig.run("check", "")["check.history"]
    out = rig.run("report", history, "START", "state")
    assert out["report.message"] == "MSG_SUCCESS"
    assert out["S_KEY"] == history
    out = rig.run("report", history, "OK", "state")
    assert out["report.message"] == "MSG_SUCCESS"
    assert out["S_KEY"] == ""
    reports = [r for r in rig.server.requests() if "ric_hit_rate_pcsync_log" in r]
    stamp = history.split(":")[1]
    assert [re.search(r"status=(\w+)", r).group(1) for r in reports] == ["START", "OK"]
    for r in reports:
        assert "region=K&country=KR" in r and "&ric=KIC&client=SYNC_LU&model=AB100&esn=ESN0001&version=" in r
        assert f"&history_id={stamp}&userid=&filesize=0&download_time=" in r


def test_pending_download_reported_as_failed_at_next_check(rig):
    history = rig.run("check", "")["check.history"]
    assert rig.run("report", history, "START", "state")["S_KEY"] == history
    out = rig.run("check", "", "state")
    assert out["S_KEY"] == ""
    fails = [r for r in rig.server.requests() if "status=FAIL" in r]
    assert len(fails) == 1 and f"history_id={history.split(':')[1]}" in fails[0] and fails[0].endswith("download_time=0.5")


def test_rejected_start_report_leaves_nothing_pending(rig):
    rig.server.script({"/csmg/b2c/client/ric_hit_rate_pcsync_log.jsp": "<log result='NO'></log>"})
    out = rig.run("report", "KKRKAB100:261207102845000", "START", "state")
    assert out["report.message"] == "MSG_FAIL"
    assert out["S_KEY"] == ""


@pytest.mark.parametrize("server_version,result,message", [
    ("1.00a", "0", "MSG_NO_NEW_VERSION"),
    ("1.01a", "1", ""),
])
def test_phone_software_check(rig, server_version, result, message):
    rig.server.script({"/csmg/b2c/client/auth_model_check.jsp":
                       f"<auth result='OK'><result>OK</result><sw_version>{server_version}</sw_version></auth>"})
    out = rig.run("phone")
    assert (out["phone.result"], out["phone.message"]) == (result, message)
    assert "/csmg/b2c/client/auth_model_check.jsp?esn=ESN0001&model=AB100&country=KR&region=K1" in rig.server.requests()


def test_start_update_with_launcher_present_needs_no_server(rig):
    rig.app_data.mkdir(parents=True)
    shutil.copy2(rig.sim / "TavoMLauncher.exe", rig.app_data / "TavoMLauncher.exe")
    rig.server.stop()
    out = rig.run("start", "state")
    assert out["start.result"] == "1"
    assert out["SYNCUPDATE"] == "TRUE"
    ran = rig.host.wait_for_file(rig.app_data / "TavoMLauncher.exe.ran")
    assert ran.read_text().strip() == r"cwd=C:\ProgramData\TAVOMOBILEAX"
    assert rig.server.requests() == []


def test_start_update_downloads_unpacks_and_starts_setup(rig):
    gcab(rig.server.files / "B2CSetup.cab", rig.server.files, ["B2CAppSetup.exe"])
    rig.server.script({"/client/app/live_update.jsp": catalogue(rig.server.origin)})
    out = rig.run("start", "state")
    assert out["start.result"] == "1"
    assert out["SYNCUPDATE"] == "TRUE"
    ran = rig.host.wait_for_file(rig.app_data / "B2CAppSetup.exe.ran")
    assert (rig.app_data / "B2CAppSetup.exe").exists()
    assert not (rig.app_data / "B2CSetup.cab").exists()
    assert ran.read_text().strip() == r"cwd=C:\ProgramData\TAVOMOBILEAX"
    assert rig.server.paths() == ["/client/app/live_update.jsp", "/files/B2CSetup.cab"]


def test_cabinet_names_leaving_the_folder_are_not_written(rig):
    setup = (rig.server.files / "B2CAppSetup.exe").read_bytes()
    make_cab(rig.server.files / "B2CSetup.cab", [
        ("B2CAppSetup.exe", setup), ("..\\evil1.txt", b"1"), ("../evil2.txt", b"2"), ("C:\\evil3.txt", b"3"),
        ("\\evil4.txt", b"4"), ("/evil5.txt", b"5"), ("note.txt:hidden", b"6"), ("sub\\ok.txt", b"ok"),
    ])
    rig.server.script({"/client/app/live_update.jsp": catalogue(rig.server.origin)})
    assert rig.run("start")["start.result"] == "1"
    rig.host.wait_for_file(rig.app_data / "B2CAppSetup.exe.ran")
    drive_c = rig.host.prefix / "drive_c"
    for p in [rig.app_data.parent / "evil1.txt", rig.app_data.parent / "evil2.txt", drive_c / "evil3.txt",
              drive_c / "evil4.txt", drive_c / "evil5.txt", rig.app_data / "note.txt"]:
        assert not p.exists(), p
    assert (rig.app_data / "sub" / "ok.txt").read_bytes() == b"ok"
    assert (rig.app_data / "B2CAppSetup.exe.ran").exists()


def test_error_page_instead_of_cabinet_is_never_unpacked_or_started(rig):
    rig.server.script({"/client/app/live_update.jsp": catalogue(rig.server.origin, setup="missing.cab")})
    out = rig.run("start", "state")
    assert out["start.result"] == "0"
    assert out["SYNCUPDATE"] == "TRUE"
    assert not (rig.app_data / "B2CSetup.cab").exists()
    assert not (rig.app_data / "B2CAppSetup.exe").exists()


@pytest.mark.parametrize("catalogue_version,replaced", [("1.0.0.2", True), ("1.0.0.1", False)])
def test_phone_component_replaced_only_when_version_differs(rig64, catalogue_version, replaced):
    rig = rig64
    newer = rig.sim / "newer" / "Phonelink.dll"
    shutil.copy2(newer, rig.server.files / "Phonelink.dll")
    gcab(rig.server.files / "PCSyncDLL.cab", rig.server.files, ["Phonelink.dll"])
    rig.server.script({"/client/app/live_update.jsp": catalogue(rig.server.origin, dll_version=catalogue_version)})
    out = rig.run("check", "")
    assert out["check.message"] == "MSG_READY"
    assert ((rig.app / "Phonelink.dll").read_bytes() == newer.read_bytes()) == replaced
    assert ("/files/PCSyncDLL.cab" in rig.server.paths()) == replaced
    assert not (rig.app / "PCSyncDLL.cab").exists()


@pytest.mark.parametrize("route,mode,message,url", [
    ("/client/app/live_update.jsp", "close", "MSG_READY", "/files/kic.exe"),
    ("/svc/popup/model_check.jsp", "close", "MSG_AUTH_FAIL", ""),
    ("/csmg/b2c/client/ftp_country_info.jsp", "close", "MSG_READY", "/files/kic.exe"),
    ("/csmg/b2c/client/pcsync_ftp_upload_list.jsp", "close", "MSG_AUTH_FAIL", ""),
    ("/csmg/b2c/client/ric_hit_rate_monitoring.jsp", "close", "MSG_CONN_FAIL", ""),
    ("/files/chk_kic.bin", "close", "MSG_READY", "/files/global.exe"),
    ("/csmg/b2c/client/ric_hit_rate_monitoring.jsp", "garbled", "MSG_CONN_FAIL", ""),
    ("/csmg/b2c/client/pcsync_ftp_upload_list.jsp", "cut", "MSG_AUTH_FAIL", ""),
    ("/svc/popup/model_check.jsp", "404", "MSG_AUTH_FAIL", ""),
    ("/svc/popup/model_check.jsp", "empty", "MSG_AUTH_FAIL", ""),
    ("/csmg/b2c/client/ric_hit_rate_monitoring.jsp", "slow", "MSG_READY", "/files/kic.exe"),
])
def test_server_failing_at_each_request(rig, route, mode, message, url):
    answer = {"mode": mode}
    if mode == "slow":  # late, but the full answer
        answer.update(body=rig.server.routes[route], delay=2)
    rig.server.script({route: answer})
    out = rig.run("check", "")
    assert out["check.message"] == message
    assert out["check.url"] == (rig.server.origin + url if url else "")


def test_server_down(rig):
    rig.server.stop()
    out = rig.run("check", "", "phone", "report", "KKRKAB100:261207102845000", "OK")
    assert out["check.message"] == "MSG_AUTH_FAIL"
    assert out["check.history"] == ""
    assert out["phone.message"] == "MSG_AUTH_FAIL"
    assert out["report.message"] == "MSG_FAIL"


def test_default_origin_is_port_9002(host, request, tmp_path):
    """Without the UPDATE_SERVER value the library asks 127.0.0.1:9002."""
    with open("/tmp/updlink-e2e-9002.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)  # parallel workers take turns at the fixed port
        with socket.socket() as probe:
            if probe.connect_ex(("127.0.0.1", 9002)) == 0:
                pytest.skip("port 9002 is taken by another program")
        r = UpdlinkRig(host, WORK / "updlink" / "default-origin")
        server = UpdateServer(r.work / "server9002", 9002)
        server.script(standard_routes(server.origin))
        (server.files / "chk_kic.bin").write_bytes(b"k" * 1500)
        server.start()
        try:
            out = r.run("check", "")
        finally:
            server.stop()
    assert out["check.message"] == "MSG_READY"
    assert out["check.url"] == "http://127.0.0.1:9002/files/kic.exe"
    assert "/svc/popup/model_check.jsp?esn=ESN0001" in server.requests()
