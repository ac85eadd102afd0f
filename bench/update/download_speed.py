#!/usr/bin/python3
"""Speed of the update client under Wine, against anchors in the same run.
Not a test: nothing here passes or fails.

1. The program's download of a 50 MB update library from the loopback update
   server (DownloadUrl, through the update probe built like the program),
   against a plain loop of 64 KiB InternetReadFile calls in the same probe,
   same file, same server; alternating, median of N. curl on the same
   address for context.
2. The update check with every offered address refused (five library
   addresses, three setup bases), timed inside the probe, against curl
   asking the same eight addresses one after another.

usage: bench/update/download_speed.py [--runs 5]
"""
import argparse
import pathlib
import shutil
import statistics
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

from updlink_rig import UpdateServer, free_port  # noqa: E402
from winehost import key_values, standalone_host  # noqa: E402

SIM = ROOT / "build" / "win32" / "sim" / "update"
WORK = ROOT / "build" / "bench-update"
SIZE = 50 * 1000 * 1000


def probe(host, app, *args):
    rc, out = host.run(app / "update_probe.exe", list(args), timeout=300)
    got = key_values(out)
    if rc != 0 or got.get("ok") != "1":
        raise RuntimeError(f"update_probe {' '.join(args)} failed: {out}")
    return float(got["ms"])


def curl(urls):
    start = time.monotonic()
    for url in urls:
        subprocess.run(["curl", "-s", "-o", "/dev/null", url], check=False)
    return (time.monotonic() - start) * 1000


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--runs", type=int, default=5)
    a = ap.parse_args()
    server = None
    with standalone_host(WORK / "prefix", keep_server=True) as host:
        try:
            app = host.unix_path(r"C:\sim-update\app")
            app.mkdir(parents=True, exist_ok=True)
            for src in (SIM / "update_probe.exe", SIM / "check" / "P4_UpdlinkChk.dll",
                        SIM / "updlib-staged" / "P4_Updlink.dll"):
                shutil.copy2(src, app)
            (app / "config.ini").write_text("[SWUpdate]\r\nswupdate_file_name=P4_Updlink.dll\r\nswupdate_version=1.0\r\n")
            server = UpdateServer(WORK / "server", free_port())
            server.script({"/lib/big": {"size": SIZE}})
            server.start()
            url = f"{server.origin}/lib/big"
            programs, plains, curls = [], [], []
            for _ in range(a.runs):
                programs.append(probe(host, app, "bench", "program", url))
                plains.append(probe(host, app, "bench", "plain", url))
                curls.append(curl([url]))
            p, q, c = statistics.median(programs), statistics.median(plains), statistics.median(curls)
            mb = SIZE / 1e6
            print(f"download of {mb:.0f} MB, median of {a.runs}: program {p:.0f} ms ({mb / p * 1000:.0f} MB/s), "
                  f"plain 64 KiB loop {q:.0f} ms ({mb / q * 1000:.0f} MB/s), curl {c:.0f} ms")
            print(f"throughput program/plain: {q / p:.2f}")

            refused = [f"http://127.0.0.1:{free_port()}/lib/d{i}" for i in range(5)]
            refused += [f"http://127.0.0.1:{free_port()}/base{i}" for i in range(3)]
            check = host.unix_path(r"C:\sim-update\check.ini")
            check.write_text("[answer]\r\nversion=1.0\r\n" + "".join(
                f"dll{i + 1}={u}\r\n" for i, u in enumerate(refused[:5])) + "".join(
                f"setup{i + 1}={u}\r\n" for i, u in enumerate(refused[5:])))
            checks, curls = [], []
            for _ in range(a.runs):
                checks.append(probe(host, app, "bench", "check"))
                curls.append(curl(refused))
            k, c = statistics.median(checks), statistics.median(curls)
            print(f"check with eight refused addresses, median of {a.runs}: {k:.0f} ms; curl on the same: {c:.0f} ms "
                  f"(ratio {k / c:.2f})")
        finally:
            if server:
                server.stop()


if __name__ == "__main__":
    main()
