"""Helpers of the installer road scenarios: what the relaunch recorder
(sim/relaunch), put on the virtual CD in place of the program, wrote about
each start the installer gave its staged copy."""


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
