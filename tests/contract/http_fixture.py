#!/usr/bin/python3
"""Starts and stops the update server for the Windows-side contract tests.

    http_fixture.py start --port N --dir DIR --scenario FILE
    http_fixture.py stop --dir DIR

CTest runs `start` as a fixture set-up and `stop` as its clean-up. `start`
writes /files/large.bin (the bytes LargeBody() in contract_env.h describes)
into DIR/files, starts sim/update_server.py in a session of its own (CTest
waits for a test's output pipes, so the server must not hold them), waits for
its "ready" and leaves its process id in DIR/server.pid for `stop`.
"""
import argparse
import os
import pathlib
import signal
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]


def large_body():
    return bytes(i % 251 for i in range(150000))


def running(pid, folder):
    """Is `pid` still the server this fixture started (not a reused id)?"""
    try:
        cmdline = pathlib.Path(f"/proc/{pid}/cmdline").read_bytes()
    except OSError:
        return False
    return b"update_server.py" in cmdline and str(folder).encode() in cmdline


def stop(folder):
    pid_file = folder / "server.pid"
    if not pid_file.exists():
        return 0
    pid = int(pid_file.read_text())
    pid_file.unlink()
    if not running(pid, folder):
        return 0
    os.kill(pid, signal.SIGTERM)
    for _ in range(100):
        if not running(pid, folder):
            return 0
        time.sleep(0.05)
    print(f"the update server (process {pid}) did not end", file=sys.stderr)
    return 1


def start(folder, port, scenario):
    # A server an interrupted run left behind would hold the port.
    stop(folder)
    (folder / "files").mkdir(parents=True, exist_ok=True)
    (folder / "files" / "large.bin").write_bytes(large_body())
    (folder / "requests.jsonl").write_text("")  # this run's requests only
    out = folder / "server.out"
    with open(out, "w") as sink:
        proc = subprocess.Popen(
            ["/usr/bin/python3", str(ROOT / "sim" / "update_server.py"), "--port", str(port),
             "--scenario", str(scenario), "--log", str(folder / "requests.jsonl"), "--files", str(folder / "files")],
            stdin=subprocess.DEVNULL, stdout=sink, stderr=subprocess.STDOUT, start_new_session=True)
    (folder / "server.pid").write_text(str(proc.pid))
    for _ in range(200):
        if "ready" in out.read_text():
            print(f"update server ready on port {port}")
            return 0
        if proc.poll() is not None:
            break
        time.sleep(0.05)
    print(f"the update server did not start on port {port}:\n{out.read_text()}", file=sys.stderr)
    stop(folder)
    return 1


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("action", choices=["start", "stop"])
    ap.add_argument("--dir", required=True, type=pathlib.Path)
    ap.add_argument("--port", type=int)
    ap.add_argument("--scenario", type=pathlib.Path)
    args = ap.parse_args()
    args.dir = args.dir.resolve()
    if args.action == "start":
        return start(args.dir, args.port, args.scenario)
    return stop(args.dir)


if __name__ == "__main__":
    sys.exit(main())
