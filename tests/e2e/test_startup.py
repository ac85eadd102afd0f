"""The program's start-up under Wine: which run it chooses, its first trace
lines, the single-instance mutex, and what an unusable temporary folder does."""
import pytest

from road_helpers import end_after_first_checks, strip, wait_for_relaunch

FIRST = "Start Autorun version 1, 0, 0, 14"


@pytest.mark.parametrize("args, branch", [
    ((), "cd"),
    (("-drive:E",), "local"),
    (("-drive:E", "-run_cd"), "cd"),
    (("-debug",), "local"),
])
def test_command_line_chooses_the_run(cd, host, args, branch):
    if branch == "cd":
        rc, _ = cd.run(args)
        assert rc == 0
    else:
        # The local run goes on into its window (with nothing installed and
        # no setups on this CD, into failure boxes): seen to start, it ends here.
        end_after_first_checks(host, cd.start(args))
    lines = strip(host.read_log(), checked=True)
    assert lines[0] == FIRST
    assert "Devstart::CreateMutex" in lines
    if branch == "cd":
        assert lines[-2:] == ["CAutoRunManager::RunFromCD(-)", "NORMAL_EXIT"]
        assert not any("FirstTimeLocal" in l for l in lines)
    else:
        assert any(l.startswith("[WARM]CheckWindowAutoRun1 returns TRUE") for l in lines)
        assert "CAutoRunManager::FirstTimeLocal(+)" in lines
        assert not any("RunFromCD" in l for l in lines)


def test_log_is_utf16le_crlf_without_bom(cd, host):
    cd.run()
    raw = (host.temp_dir / "Devstart.Log").read_bytes()
    assert raw[:2] != b"\xff\xfe"
    assert raw.startswith("[".encode("utf-16-le"))
    assert raw.endswith("\r\n".encode("utf-16-le"))
    assert raw.decode("utf-16-le").count("\r\n") == len(host.read_log())


def test_each_start_replaces_the_log(cd, host):
    host.temp_dir.mkdir(parents=True, exist_ok=True)
    (host.temp_dir / "Devstart.Log").write_bytes("old line\r\n".encode("utf-16-le") * 500)
    cd.run()
    assert strip(host.read_log(), checked=True)[0] == FIRST
    assert "old line" not in "".join(host.read_log())


def test_second_instance_signals_and_ends(cd, host, bins):
    holder = host.start(bins.holdmutex, ["DevstartOneInstanceMutex", "900"])
    try:
        assert holder.stdout.readline().strip() == b"held"
        rc, _ = cd.run()
        assert rc == 0
        lines = strip(host.read_log(), checked=True)
        assert lines[0] == FIRST
        assert lines[-1] == "Devstart::CreateMutex ERROR_ALREADY_EXISTS"
        assert not any("RunFromCD" in l for l in lines)
    finally:
        holder.kill()


def test_missing_temporary_folder_writes_no_log_and_runs_on(cd, host):
    host.reg_import('[HKEY_CURRENT_USER\\Environment]\n"TEMP"="C:\\\\no-such-folder"\n"TMP"="C:\\\\no-such-folder"\n')
    rc, _ = cd.run()
    assert rc == 0
    assert host.read_log() is None
    # The log makes no folder; staging makes the folders it stages into.
    missing = host.prefix / "drive_c" / "no-such-folder"
    assert sorted(p.name for p in missing.rglob("*") if p.is_file()) == ["Devstart.exe", "Progress.avi", "SendScsiCmd.dll", "config.ini"]
    assert [r["arguments"] for r in wait_for_relaunch(host)] == ["-drive:E"]


def test_windows_xp_prefix_reaches_the_service_check(cd, host):
    host.set_windows_version("winxp")
    cd.run()
    lines = strip(host.read_log(), checked=True)
    # Before version 6 the start-up looks after the SCSI command service first.
    assert lines.index("CAutoRunManager::CheckService(+)") < lines.index("Devstart::CreateMutex")
    assert "CAutoRunManager::CheckService(-)" in lines


def test_utf16_config_with_bom_is_read(cd, host):
    # The CD run reads config.ini before anything else; a UTF-16 file must not
    # stop it. ("-run_itk" is absent, so start-up clears iso_type0 either way.)
    cd.write_config("[SYSTEM]\niso_type0=1\n", encoding="utf-16")
    rc, _ = cd.run()
    assert rc == 0
    assert strip(host.read_log(), checked=True)[0] == FIRST
