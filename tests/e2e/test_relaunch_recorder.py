"""The relaunch recorder under Wine: the stand-in for the installer's staged
copy of itself records how each start reached it."""
import shutil

from road_helpers import relaunch_records


def test_each_start_appends_its_command_line_directory_and_the_mutex(host, bins, tmp_path):
    staging = host.prefix / "drive_c" / "staging"
    staging.mkdir()
    shutil.copy2(bins.RelaunchRecorder, staging / "Devstart.exe")
    cd = tmp_path / "cd"
    cd.mkdir()
    host.map_cdrom("E", cd)
    assert host.run(staging / "Devstart.exe", ["-drive:E"], cwd=cd)[0] == 0
    holder = host.start(bins.holdmutex, ["DevstartOneInstanceMutex", "120"])
    try:
        assert holder.stdout.readline().strip() == b"held"
        assert host.run(staging / "Devstart.exe", ["-drive:E", "two words"], cwd=staging)[0] == 0
    finally:
        holder.kill()
    records = relaunch_records(host)
    pids = [int(r.pop("pid")) for r in records]
    assert records == [
        {"command_line": '"C:\\staging\\Devstart.exe" -drive:E', "arguments": "-drive:E",
         "directory": "E:\\", "module": "C:\\staging\\Devstart.exe", "one_instance_mutex_existed": "0"},
        {"command_line": '"C:\\staging\\Devstart.exe" -drive:E "two words"', "arguments": "-drive:E two words",
         "directory": "C:\\staging", "module": "C:\\staging\\Devstart.exe", "one_instance_mutex_existed": "1"},
    ]
    assert min(pids) > 0 and pids[0] != pids[1]
