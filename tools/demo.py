#!/usr/bin/env python3
"""The installer road under Wine: the phone's CD image (./x cd) in drive E:,
the program started from it as AutoRun starts it, and its trace log, printed
readably. Wine cannot mount the ISO and plays no AutoRun: the drive is the
image's tree read back from the ISO, and the demo does what AutoRun does."""
import os
import pathlib
import shutil
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

from inspect_helpers import setup_config  # noqa: E402
from road_helpers import install_pc_suite, wait_for_local_run  # noqa: E402
from ui_helpers import find_window, parse_box, post, screenshot  # noqa: E402
from updlink_rig import UpdateServer, free_port  # noqa: E402
from winehost import finish, pe_machine, standalone_host  # noqa: E402

BIN = pathlib.Path(os.environ.get("DEVSTART_BIN", ROOT / "build" / "win64"))
SHIPPED = pathlib.Path(os.environ.get("DEVSTART_SHIPPED", ROOT / "build" / "win32"))
WORK = ROOT / "build" / "demo"
CD_TREE = ROOT / "build" / "cd" / "extracted"


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


STANDINS = ("DriverSetup.exe", "VTPSetup.exe")


def standin(name):
    for folder in (SHIPPED / "sim", BIN / "sim"):
        if (folder / name).exists():
            return folder / name
    raise FileNotFoundError(name)


def autorun(host, cd, wait=True):
    """What Windows does when the phone's CD appears: the program autorun.inf
    names in its open= line, started from the CD's root with an empty command line."""
    ini = (cd / "autorun.inf").read_text(encoding="latin-1")
    open_line = next(line for line in ini.splitlines() if line.lower().startswith("open="))
    program = cd / open_line.split("=", 1)[1].strip().replace("\\", "/")
    return host.run(program, [], cwd=cd) if wait else host.start(program, [], cwd=cd)


def local_run_log(host):
    """The raw log once the local run has ended."""
    wait_for_local_run(host)
    return host.read_log()


def window_and_guide(host):
    """Screenshots of the installer window during the driver's setup and of
    the guide dialog after it; the guide's OK then ends the run."""
    uidriver = BIN / "sim" / "uidriver.exe"
    bins = type("Bins", (), {"uidriver": uidriver})
    window = find_window(host, bins, cls="Devstart", title="Devstart", timeout=60, visible=True)
    if window is None:
        print("    (the installer window did not open)")
        return
    time.sleep(1)
    shot = screenshot(host, bins, WORK / "installer-window.png", hwnd=window["hwnd"])
    print(f"    installer window: {shot.relative_to(ROOT)}")
    dialog = find_window(host, bins, cls="#32770", title="Installation guide", timeout=60, visible=True)
    if dialog is None:
        print("    (the guide dialog did not open)")
        return
    time.sleep(0.5)
    shot = screenshot(host, bins, WORK / "guide-dialog.png", hwnd=dialog["hwnd"])
    print(f"    guide dialog: {shot.relative_to(ROOT)} (Download disabled: the check library offers no setup)")
    post(host, bins, dialog["hwnd"], 0x111, 1006)
    print("    OK pressed: the run stage ends the copy and empties its staging folder")
    for _ in range(60):
        if (host.read_log() or [""])[-1].endswith("NORMAL_EXIT"):
            break
        time.sleep(0.5)


def show_staging(host):
    root = host.temp_dir / "E"
    print("\n--- the staging folder (%TEMP%\\E) ---")
    if not root.exists():
        print("    (not there: nothing was staged)")
        return
    for f in sorted(p for p in root.rglob("*") if p.is_file()):
        print(f"    {str(f.relative_to(root)).replace('/', chr(92))}  ({f.stat().st_size // 1024} KiB)")


def write_phone(host, mode=0):
    path = host.prefix / "drive_c" / "sim-phone" / "phone.txt"
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text(f"setting=40 0a 00\r\nmode={mode}\r\nstatus=01\r\n")


def software_update(host, build):
    print("\n[6] The update client, through the probe program that calls it as the installer window")
    print("    will: the check library offers version 1.0.3 (the CD has 1.0.2) and mirrors of which")
    print("    the first refuses, the second answers 404 and the third serves a newer update library;")
    print("    the newer library is downloaded over the staged one and started; then the guide")
    print("    dialog's Download choice names the setup address it would open in the browser")
    sim = build / "sim" / "update"
    app = host.unix_path(r"C:\sim-update\app")
    app.mkdir(parents=True, exist_ok=True)
    for src in (sim / "update_probe.exe", sim / "check" / "P4_UpdlinkChk.dll", sim / "updlib-staged" / "P4_Updlink.dll"):
        shutil.copy2(src, app)
    config = (ROOT / "cd" / "config.ini").read_text().replace("swupdate_version=1.0.0.1", "swupdate_version=1.0.2")
    (app / "config.ini").write_text(config.replace("\n", "\r\n"))
    server = UpdateServer(WORK / "server", free_port())
    server.script({"/mirror2/P4_Updlink.dll": {"status": 404},
                   "/mirror3/P4_Updlink.dll": {"file": str(sim / "updlib-newer" / "P4_Updlink.dll")},
                   "/pcsuite": "the setup's base"})
    refused = f"http://127.0.0.1:{free_port()}"
    o = server.origin
    host.unix_path(r"C:\sim-update\check.ini").write_text(
        "[answer]\r\nversion=1.0.3\r\n"
        f"dll1={refused}/mirror1/P4_Updlink.dll\r\ndll2={o}/mirror2/P4_Updlink.dll\r\n"
        f"dll3={o}/mirror3/P4_Updlink.dll\r\nsetup1={refused}/pcsuite\r\nsetup2={o}/pcsuite\r\n")
    server.start()
    try:
        host.run(app / "update_probe.exe", ["swupdate"], timeout=120)
        show_log("the check, then the software-update step", host.read_log())
        print("\n--- the update server's requests ---")
        for target in server.requests():
            print("    GET", target)
        print("\n--- the update library's record (C:\\sim-update\\startupdate.log) ---")
        record = host.unix_path(r"C:\sim-update\startupdate.log")
        print("    " + (record.read_text().strip() if record.exists() else "(never started)"))
        # The PC suite is installed by now: the Download choice offers its
        # setup only in the test mode of config.ini.
        (app / "config.ini").write_text(config.replace("pcsuite_test=0", "pcsuite_test=1").replace("\n", "\r\n"))
        host.run(app / "update_probe.exe", ["pcsuite"], timeout=120)
        lines = host.read_log() or []
        show_log("the check in test mode, then the Download choice",
                 [line for line in lines if "StepPCSuite" in line or "TEST MODE" in line])
    finally:
        server.stop()


def main():
    runnable = SHIPPED / "Devstart.exe"
    print("Program:", describe(runnable))
    if subprocess.run(["/usr/lib/wine/wine", "--version"], capture_output=True).returncode != 0:
        runnable = BIN / "Devstart.exe"
        print("This machine cannot run 32-bit code under Wine; the demo runs the same sources")
        print("built for x86-64:", describe(runnable))

    with standalone_host(WORK / "prefix") as host:
        cd = WORK / "cd"
        if cd.exists():
            for p in [cd, *cd.rglob("*")]:
                p.chmod(0o755)
            shutil.rmtree(cd)
        if runnable == SHIPPED / "Devstart.exe":
            # What a maker flashes, as Windows would see it: read-only files.
            shutil.copytree(CD_TREE, cd)
            print("CD image:", ", ".join(sorted(str(p.relative_to(cd)) for p in cd.rglob("*") if p.is_file())))
        else:
            cd.mkdir(parents=True)
            shutil.copy2(runnable, cd / "Devstart.exe")
            # Its companions from the same build: the SCSI command library (the
            # simulated phone), the SCSI command service and the update library.
            for companion in ("SendScsiCmd.dll", "ScsiCmdService.exe", "P4_Updlink.dll", "Progress.avi"):
                if (runnable.parent / companion).exists():
                    shutil.copy2(runnable.parent / companion, cd / companion)
            (cd / "tools").mkdir()
            for setup in STANDINS:
                shutil.copy2(standin(setup), cd / "tools" / setup)
            (cd / "config.ini").write_text((ROOT / "cd" / "config.ini").read_text().replace("\n", "\r\n"))
            (cd / "autorun.inf").write_text("[autorun]\r\nopen=Devstart.exe\r\n")
        host.map_cdrom("E", cd)
        host.set_windows_version("win10")
        host.hold_desktop(BIN / "sim" / "uidriver.exe")
        write_phone(host)
        print(f"\nVirtual CD {cd.relative_to(ROOT)} mapped as CD-ROM drive E: in {host.prefix.relative_to(ROOT)}")
        print("Windows 10, an administrator, the phone in PC-suite mode")

        print("\n[1] \"PC internet via the phone\" runs: the CD run names it and stages nothing")
        vtp = host.start(standin("VTP.exe"))
        time.sleep(2)
        run = autorun(host, cd, wait=False)
        rc, out = host.run(BIN / "sim" / "uidriver.exe", ["box", "--title", "Devstart", "--timeout", "60"], timeout=120)
        box = parse_box(out)
        print(f"    box {box.caption!r} ({box.icon}): {' '.join(box.text.split())!r} -> OK")
        finish(run, 120)
        vtp.kill()
        show_staging(host)

        print("\n[2] Nothing installed yet: the CD run stages the program and the driver setup and")
        print("    relaunches the copy elevated; the copy's installer window installs the driver, switches")
        print("    the phone and, with no PC suite installed, shows the installation guide")
        setup_config(host, "DriverSetup", mode="run", seconds=4)
        autorun(host, cd)
        show_staging(host)
        window_and_guide(host)
        show_log("CD run, then the local run (one file: the copy replaced it)", host.read_log())
        setup_config(host, "DriverSetup", mode="install")

        print("\n[3] The driver and the PC suite installed (by the CD's setup and by hand): the copy")
        print("    switches the phone and starts the PC suite, and no window opens")
        host.run(cd / "tools" / "DriverSetup.exe", [], cwd=cd, timeout=120)
        suite = install_pc_suite(host, standin("PCSuite.exe"))
        write_phone(host)
        autorun(host, cd)
        show_staging(host)
        show_log("CD run, then the local run", local_run_log(host))
        show_phone(host)
        for _ in range(40):
            if (suite / "PCSuite.log").exists():
                break
            time.sleep(0.5)
        print("\n--- the PC suite stand-in (C:\\PCSuite\\PCSuite.log) ---")
        print("    " + ((suite / "PCSuite.log").read_text().strip() if (suite / "PCSuite.log").exists() else "(never started)"))
        host.run_tool(["taskkill", "/f", "/im", "PCSuite.exe"])

        print("\n[4] Windows XP: an administrator's start installs the SCSI command service; then a")
        print("    standard user's CD run reads the phone through the service's pipe, stages, relaunches,")
        print("    and the copy switches the phone through the service and starts the PC suite")
        host.set_windows_version("winxp")
        write_phone(host)
        host.run(cd / "Devstart.exe", ["-run_cd"], cwd=cd)
        wait_for_local_run(host)
        host.run_tool(["taskkill", "/f", "/im", "PCSuite.exe"])
        query = host.run_tool(["sc", "query", "TavoScsiCommandService"]).stdout.decode(errors="replace")
        state = next((" ".join(line.split()) for line in query.splitlines() if "STATE" in line), "not installed")
        print("    sc query TavoScsiCommandService:", state)
        write_phone(host)
        (suite / "PCSuite.log").unlink(missing_ok=True)
        program = "Z:" + str(cd / "Devstart.exe").replace("/", "\\")
        host.run(BIN / "sim" / "standarduser.exe", [program], cwd=cd, timeout=120)
        show_log("standard user on Windows XP: CD run, then the local run", local_run_log(host))
        show_phone(host)
        host.run_tool(["taskkill", "/f", "/im", "PCSuite.exe"])
        host.run_tool(["sc", "stop", "TavoScsiCommandService"])
        host.run_tool(["sc", "delete", "TavoScsiCommandService"])

        print("\n[5] A second start while another copy holds the single-instance mutex")
        host.set_windows_version("win10")
        holder = host.start(BIN / "sim" / "holdmutex.exe", ["DevstartOneInstanceMutex", "20"])
        holder.stdout.readline()
        rc, _ = autorun(host, cd)
        holder.kill()
        print(f"    exit code {rc}")
        show_log("second instance", host.read_log())

        software_update(host, runnable.parent)


if __name__ == "__main__":
    main()
