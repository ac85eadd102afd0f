"""Helpers of the installer road scenarios: what the relaunch recorder
(sim/relaunch), put on the virtual CD in place of the program, wrote about
each start the installer gave its staged copy; the local run's end in the
trace log; the PC suite stand-in installed."""
import re
import shutil
import time


def relaunch_records(host):
    """Every start of the recorder, oldest first, each a dict of its lines
    (command_line, arguments, directory, module, one_instance_mutex_existed,
    pid), all values strings; [] when it never started."""
    path = host.prefix / "drive_c" / "sim-relaunch" / "relaunch.txt"
    if not path.exists():
        return []
    text = path.read_bytes().decode("utf-8").replace("\r\n", "\n")
    return [dict(line.split("=", 1) for line in block.split("\n"))
            for block in text.split("\n\n") if block.strip()]


def wait_for_relaunch(host, timeout=60):
    """The records once the first start has written its own: the CD run
    ends without waiting for the copy it started."""
    host.wait_for_file(host.prefix / "drive_c" / "sim-relaunch" / "relaunch.txt", timeout)
    return relaunch_records(host)


# The local run's last line when it ended after its own work, without a window.
NORMAL_END = "Devstart::FirstTimeLocal returns NORMAL_EXIT"
PC_SUITE_KEY = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Tavo Electronics\\Tavo PC Suite IV\\1.0"


def strip(lines, checked=False):
    """Trace lines without their "[ms]" prefix ([] for no log). `checked`:
    every line must have the prefix, and the log must be there."""
    if not checked:
        return [re.sub(r"^\[-?\d+\]", "", line) for line in lines or []]
    assert lines is not None, "no trace log"
    out = []
    for line in lines:
        m = re.fullmatch(r"\[(-?\d+)\](.*)", line)
        assert m, f"line without elapsed time: {line!r}"
        out.append(m.group(2))
    return out


def trace_lines(host):
    """The trace log's lines without their "[ms]" prefix ([] without a log)."""
    return strip(host.read_log())


def wait_for_local_run(host, timeout=120, poll=0.5):
    """The trace once the local run has ended (the CD run ends without waiting
    for the copy it started); what is there when it has not by `timeout`."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        lines = trace_lines(host)
        if NORMAL_END in lines:
            return lines
        time.sleep(poll)
    return trace_lines(host)


def end_after_first_checks(host, run, timeout=120):
    """Ends a local run once its start-up checks are over: with nothing to
    install from, it would go on into its window and failure boxes."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline and run.poll() is None:
        if "CAutoRunManager::FirstTimeLocal(+)" in trace_lines(host):
            break
        time.sleep(0.2)
    if run.poll() is None:
        run.kill()
        run.wait()


def wait_until(condition, timeout=90, poll=0.5):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(poll)
    return condition()


def install_pc_suite(host, program, key=PC_SUITE_KEY):
    """The PC suite stand-in installed as the program finds it: C:\\PCSuite\\
    with its registry entry (under `key`, in the 64-bit view). Returns the
    folder."""
    folder = host.prefix / "drive_c" / "PCSuite"
    folder.mkdir(parents=True, exist_ok=True)
    shutil.copy2(program, folder / "PCSuite.exe")
    host.reg_add(key, "Path", "C:\\PCSuite\\")
    return folder
