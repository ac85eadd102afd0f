"""The CD run's staging with real processes under Wine: a double AutoRun and
a second start while the first still copies stage once; a run killed while
it copies leaves nothing the next run trips over."""
import os

import pytest

from road_helpers import relaunch_records, trace_lines, wait_for_relaunch, wait_until
from conftest import answer_box
from ui_helpers import result_box
from winehost import finish

# Progress.avi this large keeps the first run copying for seconds, long
# enough for a second start to meet it there.
BIG = 1536 << 20
STAGED = ["Devstart.exe", "Progress.avi", "SendScsiCmd.dll", "config.ini"]

pytestmark = pytest.mark.usefixtures("desktop")


def staged(host):
    root = host.temp_dir / "E"
    return sorted(str(p.relative_to(root)).replace("/", "\\") for p in root.rglob("*") if p.is_file())


def big_progress(cd):
    with open(cd.folder / "Progress.avi", "wb") as f:
        f.truncate(BIG)


def copying(host):
    """Progress.avi, the last of the program's files, has begun."""
    return (host.temp_dir / "E" / "Progress.avi").exists()


@pytest.mark.parametrize("second", ["at_once", "while_copying"])
def test_two_starts_stage_once(cd, host, second):
    big_progress(cd)
    try:
        first = cd.start()
        if second == "while_copying":
            assert wait_until(lambda: copying(host), timeout=120, poll=0.05), "the first run never began Progress.avi"
        other = cd.start()
        assert finish(other, 240) == 0
        assert finish(first, 240) == 0
        # The start that found the mutex ends at that line, before any staging.
        assert "Devstart::CreateMutex ERROR_ALREADY_EXISTS" in trace_lines(host)
        assert len(wait_for_relaunch(host)) == 1
        assert staged(host) == STAGED
        assert (host.temp_dir / "E" / "Progress.avi").stat().st_size == BIG
    finally:
        os.remove(cd.folder / "Progress.avi")


def test_run_killed_mid_copy_is_mended_by_the_next(cd, host):
    big_progress(cd)
    try:
        first = cd.start()
        assert wait_until(lambda: copying(host), timeout=120, poll=0.05), "the first run never began Progress.avi"
        first.kill()
        first.wait()
        assert relaunch_records(host) == []
        rc, _ = cd.run(timeout=240)
        assert rc == 0
        [record] = wait_for_relaunch(host)
        assert record["arguments"] == "-drive:E"
        assert staged(host) == STAGED
        assert (host.temp_dir / "E" / "Progress.avi").stat().st_size == BIG
    finally:
        os.remove(cd.folder / "Progress.avi")


def test_staging_folder_planted_as_a_link_never_empties_its_target(cd, host, bins):
    """A folder of someone else's linked in as the staging folder: its files
    stay, nothing is staged into it or started from it. Wine lists a Unix
    symbolic link as a reparse point, as Windows does a junction, but cannot
    remove it as a folder: here the run refuses with the box, where Windows
    removes the link and stages into a real folder. Wine makes no junction
    or symbolic link of its own (mklink /j fails, /d makes nothing), so a
    Unix link is the only one there is to plant."""
    target = host.prefix / "drive_c" / "theirs"
    target.mkdir()
    (target / "thesis.doc").write_text("precious")
    host.temp_dir.mkdir(parents=True, exist_ok=True)
    (host.temp_dir / "E").symlink_to(target, target_is_directory=True)
    run = cd.start()
    try:
        answer_box(host, bins, result_box("Failed to set up."))
    finally:
        finish(run, 120)
    last = trace_lines(host)[-1]
    assert last.startswith("CAutoRunManager::RunFromCD() the folder C:\\users\\")
    assert last.endswith("\\Temp\\E\\ is a link: nothing is staged")
    assert (target / "thesis.doc").read_text() == "precious"
    assert not (target / "Devstart.exe").exists()
    assert relaunch_records(host) == []
