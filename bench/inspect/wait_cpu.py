#!/usr/bin/python3
"""CPU cost of waiting for a setup, under Wine, in one run: the installer's
wait (on the process handle, dispatching messages) against a literal 1 ms
snapshot-polling loop. A stand-in setup runs for SECONDS each time.

Reports, per wait kind, the CPU seconds the waiting program spent during the
wait (its own GetProcessTimes) and the CPU seconds wineserver spent meanwhile
(the polling loop makes it build a process snapshot every millisecond), and
the ratio literal/handle. Not a test: nothing here passes or fails.

usage: bench/inspect/wait_cpu.py [--bin build/win64] [--seconds 5] [--prefix /tmp/wait-bench-prefix]
"""
import argparse
import os
import pathlib
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parents[2]


def wineserver_cpu():
    """CPU seconds of every wineserver of this user (there is one per prefix)."""
    total = 0.0
    tick = os.sysconf("SC_CLK_TCK")
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            stat = pathlib.Path(f"/proc/{pid}/stat").read_text()
        except OSError:
            continue
        name = stat[stat.index("(") + 1:stat.rindex(")")]
        if name.startswith("wineserver"):
            fields = stat[stat.rindex(")") + 2:].split()
            total += (int(fields[11]) + int(fields[12])) / tick
    return total


def run(env, probe, kind, setup, seconds):
    before = wineserver_cpu()
    out = subprocess.run([str(ROOT / "tools" / "wine-run"), str(probe), "bench", kind, setup, "/mode=run",
                          f"/seconds={seconds}"], env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                         timeout=seconds * 20 + 120, check=True).stdout.decode()
    values = dict(l.split("=", 1) for l in out.split() if "=" in l)
    return float(values["cpu_s"]), int(values["wall_ms"]) / 1000, wineserver_cpu() - before


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin", default=str(ROOT / "build" / "win64"))
    ap.add_argument("--seconds", type=int, default=5)
    ap.add_argument("--prefix", default="/tmp/wait-bench-prefix")
    a = ap.parse_args()
    sim = pathlib.Path(a.bin) / "sim"
    probe, setup = sim / "inspect_probe.exe", sim / "DriverSetup.exe"
    env = dict(os.environ, WINEPREFIX=a.prefix, WINEDEBUG="-all")
    if not pathlib.Path(a.prefix, "system.reg").exists():
        subprocess.run(["/usr/lib/wine/wine64", "wineboot", "-i"], env=env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    setup_win = "Z:" + str(setup.resolve()).replace("/", "\\")
    # Warm up the prefix so neither measurement pays for the first start.
    run(env, probe, "handle", setup_win, 1)
    results = {}
    for kind in ("handle", "poll"):
        results[kind] = run(env, probe, kind, setup_win, a.seconds)
    subprocess.run(["wineserver", "-k"], env=env, check=False)
    print(f"setup running {a.seconds} s, probe {probe.name} ({a.bin})")
    for kind, label in (("handle", "wait on the handle"), ("poll", "literal 1 ms polling")):
        cpu, wall, server = results[kind]
        print(f"{label:22s}: program {cpu:.4f} s CPU ({100 * cpu / wall:.2f}% of a core over {wall:.1f} s), "
              f"wineserver {server:.2f} s")
    h, p = results["handle"], results["poll"]
    # Process times tick in 10 ms steps: a wait that cost less shows 0.
    resolution = 0.01
    if h[0] > 0:
        print(f"ratio literal/handle: {p[0] / h[0]:.0f}x")
    else:
        print(f"ratio literal/handle: at least {p[0] / resolution:.0f}x (the handle wait cost less than "
              f"the 10 ms resolution of process times)")


if __name__ == "__main__":
    sys.exit(main())
