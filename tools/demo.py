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

from winehost import Display, WineHost, finish, key_values, pe_machine  # noqa: E402

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


def show_phone(host):
    """The simulated phone's state file: its mode and every call it got."""
    path = host.prefix / "drive_c" / "sim-phone" / "phone.txt"
    print("\n--- the phone (C:\\sim-phone\\phone.txt) ---")
    if not path.exists():
        print("    (never called)")
        return
    for line in path.read_text().splitlines():
        if line.startswith("call="):
            drive, sub, kind, length, result = line[5:].split()
            what = {(2, 32): "setting read", (1, 1): "mode change, first try",
                    (1, 129): "mode change, second try"}.get((int(sub), int(kind)), "unknown command")
            print(f"    {what}: drive {drive}, SubCode {sub}, type {kind}, length {length} -> {result}")
        elif line.startswith("mode="):
            mode = int(line[5:])
            print(f"    USB mode: {'CD-ROM (not switched)' if mode == 0 else f'switched (type {mode})'}")


STANDINS = ("DriverSetup.exe", "VTPSetup.exe", "ITKSetup.exe", "VTP.exe", "InternetKit.exe", "tavodriverfile.dll")


def probe_values(host, probe, command, cwd):
    _, out = host.run(probe, [command], cwd=cwd, timeout=120)
    return key_values(out)


def main():
    runnable = SHIPPED / "Devstart.exe"
    print("Program:", describe(runnable))
    if subprocess.run(["/usr/lib/wine/wine", "--version"], capture_output=True).returncode != 0:
        runnable = BIN / "Devstart.exe"
        print("This machine cannot run 32-bit code under Wine; the demo runs the same sources")
        print("built for x86-64:", describe(runnable))

    display = Display()
    name = display.start()
    host = None
    try:
        template = WineHost.make_template(ROOT / "build" / "e2e" / "template", name)
        host = WineHost.from_template(template, WORK / "prefix", name)
        cd = WORK / "cd"
        shutil.rmtree(cd, ignore_errors=True)
        cd.mkdir(parents=True)
        shutil.copy2(runnable, cd / "Devstart.exe")
        # Its companions from the same build: the SCSI command library (the
        # simulated phone) and the SCSI command service.
        for companion in ("SendScsiCmd.dll", "ScsiCmdService.exe"):
            if (runnable.parent / companion).exists():
                shutil.copy2(runnable.parent / companion, cd / companion)
        # The setups config.ini names, and what they install, under tools\.
        standins = runnable.parent / "sim"
        if not (standins / "DriverSetup.exe").exists():
            standins = BIN / "sim"
        (cd / "tools").mkdir()
        for name in STANDINS:
            shutil.copy2(standins / name, cd / "tools" / name)
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
        show_phone(host)

        print("\n[4] Windows XP: the start-up installs and starts the SCSI command service;")
        print("    then a standard user's second start reaches the phone through the service's pipe")
        phone_file = host.prefix / "drive_c" / "sim-phone" / "phone.txt"
        phone_file.parent.mkdir(parents=True, exist_ok=True)
        phone_file.write_text("setting=40 0a 00\r\nmode=0\r\nstatus=01\r\n")
        host.set_windows_version("winxp")
        host.run(cd / "Devstart.exe", ["-run_cd"], cwd=cd)
        show_log("CD run on Windows XP", host.read_log())
        query = host.run_tool(["sc", "query", "TavoScsiCommandService"]).stdout.decode(errors="replace")
        state = next((" ".join(line.split()) for line in query.splitlines() if "STATE" in line), "not installed")
        print("    sc query TavoScsiCommandService:", state)
        holder = host.start(BIN / "sim" / "holdmutex.exe", ["DevstartOneInstanceMutex", "30"])
        holder.stdout.readline()
        program = "Z:" + str(cd / "Devstart.exe").replace("/", "\\")
        host.run(BIN / "sim" / "standarduser.exe", [program], cwd=cd, timeout=120)
        holder.kill()
        show_log("second instance, standard user, Windows XP", host.read_log())
        show_phone(host)
        host.run_tool(["sc", "stop", "TavoScsiCommandService"])
        host.run_tool(["sc", "delete", "TavoScsiCommandService"])

        host.set_windows_version("win7")
        print("\n[5] The CD's stand-in setups (E:\\tools) install the USB modem driver and the VTP;")
        print("    the program's inspection code reads what is installed and how current it is")
        probe = standins / "inspect_probe.exe"
        before = probe_values(host, probe, "driver", cd)
        for setup in ("DriverSetup.exe", "VTPSetup.exe"):
            rc, _ = host.run(cd / "tools" / setup, ["/version=1.2.0.4"] if setup == "VTPSetup.exe" else [],
                             cwd=cd, timeout=120)
            print(f"    E:\\tools\\{setup} exit code {rc}")
        after = probe_values(host, probe, "driver", cd)
        queries = probe_values(host, probe, "queries", cd)
        print(f"    driver version before: {before.get('GetInstalledDriverVersion')}, after: "
              f"{after.get('GetInstalledDriverVersion')} (config.ini wants 1.2.0.4; current: "
              f"{'yes' if after.get('IsDriverVersionCurrent') == '1' else 'no'})")
        print(f"    VTP installed in {queries.get('GetInstallPath')}, version {queries.get('GetITKVersion_VTP')} "
              f"(current: {'yes' if queries.get('IsITKVersionCurrent') == '1' else 'no'})")

        print("\n[6] AutoRun switched off for CD-ROMs; the local run asks to switch it back on and")
        print("    repairs it (the UI driver presses OK, as a person would)")
        host.reg_import('[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Cdrom]\n"Autorun"=dword:00000000\n\n'
                        '[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer]\n'
                        '"NoDriveTypeAutorun"=dword:000000b5\n')
        host.hold_desktop(BIN / "sim" / "uidriver.exe")
        run = host.start(cd / "Devstart.exe", ["-drive:E"], cwd=cd)
        for _ in range(2):
            rc, text = host.run(BIN / "sim" / "uidriver.exe", ["box", "--title", "", "--timeout", "60"], timeout=120)
            if rc == 0:
                print(f"    box: {text.strip()!r} -> OK")
        try:
            finish(run, 120)
        except subprocess.TimeoutExpired:
            print("    the program did not end in time and was stopped")
        show_log("local run with AutoRun off", host.read_log())
    finally:
        if host:
            host.close()
        display.stop()


if __name__ == "__main__":
    main()
