"""A hostile or broken update server and hostile cabinets against the live-update
library under Wine's WinINet, urlmon and setupapi: every request ends, the flow
goes on as for an unreachable server, and the folder keeps what it had."""
import json

import pytest

from conftest import WORK
from updlink_rig import helper_bin, make_cab, started_rig

# What a check returns when a request of it fails (as for a closed connection).
AUTH_FAIL = "MSG_AUTH_FAIL"


def make_rig(host, request):
    """The x86-64 build: a 32-bit process that downloads with URLDownloadToFile
    and then loads a DLL crashes under qemu-user."""
    return started_rig(host, request, WORK / "faults", helper_bin())


@pytest.fixture
def rig(host, request):
    r = make_rig(host, request)
    yield r
    r.server.stop()


def catalogue(origin):
    return ("<catalogue result='OK'>"
            f"<item name='PCSyncDLL' version='1.0.0.9' url='{origin}/files/PCSyncDLL.cab' /></catalogue>")


def app_listing(rig):
    return sorted(p.relative_to(rig.app).as_posix() for p in rig.app.rglob("*"))


APP = ["AuthDll.dll", "P4_Updlink.dll", "Phonelink.dll", "updlink_caller.exe"]


@pytest.mark.parametrize("label,answer", [
    ("endless body", {"mode": "endless"}),
    ("length longer than body", {"body": "MSCF" + "x" * 60, "content_length": 5000}),
    ("redirect to ftp", {"mode": "redirect", "location": "ftp://127.0.0.1:9/PCSyncDLL.cab"}),
    ("redirect to a file", {"mode": "redirect", "location": "file:///C:/windows/win.ini"}),
    ("redirect to https", {"mode": "redirect", "location": "https://127.0.0.1:9/PCSyncDLL.cab"}),
    ("error page", {"mode": "404"}),
])
def test_cabinet_download_that_goes_wrong_changes_nothing(rig, label, answer):
    before = (rig.app / "Phonelink.dll").read_bytes()
    rig.server.script({"/client/app/live_update.jsp": catalogue(rig.server.origin), "/files/PCSyncDLL.cab": answer})
    out = rig.run("check", "", timeout=240)
    assert out["check.message"] == "MSG_READY", label
    assert (rig.app / "Phonelink.dll").read_bytes() == before, label
    assert app_listing(rig) == APP, label


@pytest.mark.parametrize("label,answer", [
    ("endless body", {"mode": "endless"}),
    ("length longer than body", {"body": "<check result='ok'><model>AB100</model>", "content_length": 5000}),
    ("redirect loop", {"mode": "redirect", "location": "/svc/popup/model_check.jsp?esn=ESN0001"}),
    ("redirect to ftp", {"mode": "redirect", "location": "ftp://127.0.0.1:9/x"}),
    ("redirect to a file", {"mode": "redirect", "location": "file:///C:/windows/win.ini"}),
])
def test_answer_that_goes_wrong_is_no_answer(rig, label, answer):
    rig.server.script({"/svc/popup/model_check.jsp": answer})
    out = rig.run("check", "", timeout=240)
    assert out["check.message"] == AUTH_FAIL, label
    assert out["check.url"] == "", label


def test_hostile_cabinet_names_are_not_written(rig):
    make_cab(rig.server.files / "PCSyncDLL.cab", [
        ("Phonelink.dll", b"MZ new"), ("con.txt", b"1"), ("bin\\nul", b"2"), ("x.dll:evil", b"3"),
        ("trail.", b"4"), ("space ", b"5"), ("C:\\top.txt", b"6"), ("..\\up.txt", b"7"), ("bin\\ok.txt", b"ok"),
    ])
    rig.server.script({"/client/app/live_update.jsp": catalogue(rig.server.origin)})
    rig.run("check", "", timeout=240)
    assert app_listing(rig) == sorted(APP + ["bin", "bin/ok.txt"])
    assert (rig.app / "Phonelink.dll").read_bytes() == b"MZ new"
    drive_c = rig.host.prefix / "drive_c"
    assert not (drive_c / "top.txt").exists()
    assert not (rig.app.parent / "up.txt").exists()


def test_corrupt_cabinet_keeps_the_old_component(rig):
    before = (rig.app / "Phonelink.dll").read_bytes()
    make_cab(rig.server.files / "whole.cab", [("Phonelink.dll", b"MZ new" * 1000), ("AuthDll.dll", b"MZ auth" * 1000)])
    whole = (rig.server.files / "whole.cab").read_bytes()
    (rig.server.files / "PCSyncDLL.cab").write_bytes(whole[:len(whole) - 3000])  # the second file cut short
    rig.server.script({"/client/app/live_update.jsp": catalogue(rig.server.origin)})
    rig.run("check", "", timeout=240)
    assert (rig.app / "Phonelink.dll").read_bytes() == before
    assert app_listing(rig) == APP


def test_query_values_reach_the_server_whole(rig):
    # The phone's bytes are the ANSI code page's, as the sync software reads them.
    rig.phone_file.write_bytes("count=1\nserial=E 1&2=3#4+5\u00e9\nmodel=AB-100\nsoftware=1.0+A\n"
                               "auth_serial=AUTH77\n".encode("latin-1"))
    rig.run("check", "", timeout=240)
    records = [json.loads(line) for line in rig.server.log.read_text().splitlines() if line]
    checks = [r["args"] for r in records if r["path"] == "/svc/popup/model_check.jsp"]
    assert checks == [{"esn": ["E 1&2=3#4+5\u00e9"]}]
