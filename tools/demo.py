#!/usr/bin/env python3
"""The installer road under Wine: a virtual CD in drive E:, the program
started from it as AutoRun starts it, and its trace log, printed readably."""
import os
import pathlib
import shutil
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

from winehost import Display, WineHost, pe_machine  # noqa: E402

BIN = pathlib.Path(os.environ.get("DEVSTART_BIN", ROOT / "build" / "win64"))
SHIPPED = pathlib.Path(os.environ.get("DEVSTART_SHIPPED", ROOT / "build" / "win32"))
WORK = ROOT / "build" / "demo"


def describe(exe):
    machine = {0x14C: "PE32 i386", 0x8664: "PE32+ x86-64"}.get(pe_machine(exe), "unknown")
    return f"{exe.relative_to(ROOT)} ({machine}, {exe.stat().st_size // 1024} KiB)"


def show_log(title, lines):
    print(f"\n--- {title}: Devstart.Log ---")
    if lines is None:
        print("    (no log written)")
        return
    for line in lines:
        ms, _, text = line[1:].partition("]")
        print(f"  {int(ms):>6} ms  {text}")


def main():
    runnable = SHIPPED / "Devstart.exe"
    print("Program:", describe(runnable))
    if subprocess.run(["/usr/lib/wine/wine", "--version"], capture_output=True).returncode != 0:
        runnable = BIN / "Devstart.exe"
        print("This machine cannot run 32-bit code under Wine; the demo runs the same sources")
        print("built for x86-64:", describe(runnable))

    display = Display()
    name = display.start()
    try:
        template = WineHost.make_template(ROOT / "build" / "e2e" / "template", name)
        host = WineHost.from_template(template, WORK / "prefix", name)
        cd = WORK / "cd"
        shutil.rmtree(cd, ignore_errors=True)
        cd.mkdir(parents=True)
        shutil.copy2(runnable, cd / "Devstart.exe")
        config = (ROOT / "tests" / "e2e" / "data" / "config.ini").read_text()
        (cd / "config.ini").write_text(config.replace("\n", "\r\n"))
        host.map_cdrom("E", cd)
        print(f"\nVirtual CD {cd.relative_to(ROOT)} mapped as CD-ROM drive E: in {host.prefix.relative_to(ROOT)}")

        print("\n[1] AutoRun starts E:\\Devstart.exe with an empty command line (the CD run)")
        rc, _ = host.run(cd / "Devstart.exe", [], cwd=cd)
        print(f"    exit code {rc}")
        show_log("CD run", host.read_log())

        print("\n[2] The staged copy's command line: -drive:E (the local run)")
        rc, _ = host.run(cd / "Devstart.exe", ["-drive:E"], cwd=cd)
        print(f"    exit code {rc}")
        show_log("local run", host.read_log())

        print("\n[3] A second start while another copy holds the single-instance mutex")
        holder = host.start(BIN / "sim" / "holdmutex.exe", ["DevstartOneInstanceMutex", "20"])
        holder.stdout.readline()
        rc, _ = host.run(cd / "Devstart.exe", [], cwd=cd)
        holder.kill()
        print(f"    exit code {rc}")
        show_log("second instance", host.read_log())
        host.close()
    finally:
        display.stop()


if __name__ == "__main__":
    main()
