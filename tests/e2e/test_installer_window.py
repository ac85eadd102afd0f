"""The installer window under Wine: the real program from the virtual CD,
relaunched into its local run, its window and guide dialog found, pressed,
dragged and looked at with the UI driver while the stages run."""
import shutil

import pytest

from conftest import PROGRAM, answer_box
from inspect_helpers import setup_config, setup_log, sim_file
from phone import Phone
from road_helpers import install_pc_suite, trace_lines, wait_until
from updlink_rig import UpdateServer, free_port
from winehost import SHELL_EXECUTE_TRACE, shell_executions
from ui_helpers import (MAIN_WINDOW, SHELL_NOT_FOUND, Box, click, drag, find_window, list_windows, move, pixel,
                        post, read_png, result_box, screenshot, send)

WM_CLOSE, WM_COMMAND, WM_SYSKEYDOWN, WM_NULL = 0x10, 0x111, 0x104, 0
ALT_F4 = (0x73, 0x203E0001)  # VK_F4 with the context (Alt) bit
PC_SUITE_PHONE, ITK_PHONE = (0x40, 0x0A, 0x00), (0x41, 0x0A, 0x00)
# Frames of the button strips where no caption is drawn (left edge, middle).
CANCEL_DISABLED = (116, 123, 128)
OK_NORMAL, OK_HOVER = (237, 241, 242), (234, 246, 247)
# The Download strip's fourth frame, and the caption of a disabled button.
DOWNLOAD_DISABLED, GREY_CAPTION = (116, 123, 128), (200, 200, 200)
# The wrong-mode box has the system's own caption: "Error" in English.
# The wrong-mode box has no caption of its own: Wine shows the system's
# "Error" in the user's language. Per language: that caption, the text, the
# guide dialog's title.
WRONG_MODE = "Device is connected using an incorrect mode. End or cancel the installation and try again."
WRONG_MODE_BY_LANGUAGE = {
    "en_GB.UTF-8": ("Error", WRONG_MODE, "Installation guide"),
    "de_DE.UTF-8": ("Fehler", "Das Ger\u00e4t ist in einem falschen Modus verbunden. Beenden Sie die Installation "
                    "oder brechen Sie sie ab, und versuchen Sie es erneut.", "Installationsanleitung"),
}


pytestmark = pytest.mark.usefixtures("desktop")


@pytest.fixture
def road(road, host):
    """conftest's road on Windows 10, the phone in PC-suite mode."""
    host.set_windows_version("win10")
    Phone(host).write(setting=PC_SUITE_PHONE)
    return road


def install_driver(host, road):
    setup_config(host, "DriverSetup", mode="install")
    rc, _ = host.run(road.folder / "tools" / "DriverSetup.exe", [], cwd=road.folder, timeout=120)
    assert rc == 0


def program_pids(host):
    """Devstart processes of this prefix (the CD's and the staged copy)."""
    return host.linux_pids("Devstart.exe")


def end_setup(host, role):
    """Ends a setup that would never end, as its user might."""
    started = [line for line in setup_log(host, role) if line.startswith("started")]
    pid = int(started[-1].split()[-1])
    host.run_tool(["taskkill", "/F", "/PID", str(pid)])


def open_window(host, bins, road, args=(), env=None):
    """Starts the CD run; the local run's window once it is up."""
    road.start(args, env=env)
    window = find_window(host, bins, cls="Devstart", title="Devstart", timeout=120, visible=True)
    assert window is not None, trace_lines(host)
    return window


def child(window, control_id):
    return next(c for c in window["children"] if c["id"] == control_id)


def guide_dialog(host, bins, timeout=120, title="Installation guide"):
    return find_window(host, bins, cls="#32770", title=title, timeout=timeout, visible=True)


@pytest.mark.parametrize("lang, cancel", [("en_GB.UTF-8", "Cancel"), ("de_DE.UTF-8", "Abbrechen")])
def test_window_place_looks_and_cancel_during_a_setup_that_does_not_end(road, host, bins, lang, cancel):
    setup_config(host, "DriverSetup", mode="never")
    road.start(env={"LC_ALL": lang, "LANG": lang})
    window = find_window(host, bins, cls="Devstart", title="Devstart", timeout=120, visible=True)
    assert window is not None, trace_lines(host)
    assert wait_until(lambda: setup_log(host, "DriverSetup"))
    window = find_window(host, bins, hwnd=window["hwnd"])
    assert window["rect"] == (300, 300, 730, 570)
    assert window["style"] & 0xFFFF0000 == 0x94000000  # WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS, no caption or frame
    button = child(window, 1007)
    assert (button["class"].lower(), button["text"], button["enabled"], button["rect"]) == \
        ("button", cancel, False, (175, 222, 255, 250))
    animation = child(window, 1010)
    assert (animation["class"], animation["visible"], animation["rect"]) == ("SysAnimate32", True, (160, 93, 270, 109))
    # The disabled Cancel shows its fourth frame.
    assert pixel(host, bins, 300 + 175 + 8, 300 + 222 + 14) == CANCEL_DISABLED

    # Alt+F4 is swallowed, and the window answers while the setup runs.
    post(host, bins, window["hwnd"], WM_SYSKEYDOWN, *ALT_F4)
    assert send(host, bins, window["hwnd"], WM_NULL) == 0
    # Dragged by any point of its surface.
    # The move starts at the first step with the button down, so the window
    # follows the rest of the way: the vector less at most a step.
    drag(host, bins, 310, 310, 360, 340, steps=40)
    assert wait_until(lambda: find_window(host, bins, hwnd=window["hwnd"])["rect"][0] >= 348, 10)
    # The mouse's input leaves the queue only after what was posted before
    # it: moved, the window has had the Alt+F4 too.
    assert find_window(host, bins, hwnd=window["hwnd"])["visible"]
    left, top, right, bottom = find_window(host, bins, hwnd=window["hwnd"])["rect"]
    assert (348 <= left <= 350, 328 <= top <= 330, right - left, bottom - top) == (True, True, 430, 270)

    # Cancel during the wait only marks the run; PC-suite mode then closes
    # instead of showing the guide dialog. Sent, as a click's notification
    # reaches the window: handled once the call returns.
    assert send(host, bins, window["hwnd"], WM_COMMAND, 1007, timeout_ms=30000) == 0
    assert find_window(host, bins, hwnd=window["hwnd"])["visible"]
    end_setup(host, "DriverSetup")
    assert wait_until(lambda: not program_pids(host)), trace_lines(host)
    assert guide_dialog(host, bins, timeout=0) is None


def test_cancel_in_itk_mode_closes_before_the_itk_setup(road, host, bins):
    install_driver(host, road)
    Phone(host).write(setting=ITK_PHONE)
    setup_config(host, "DriverSetup", mode="never")
    # An old driver version makes the start stage run the setup again.
    road.write_config((road.folder / "config.ini").read_text().replace("driver_version=1.2.0.4", "driver_version=9.0"))
    window = open_window(host, bins, road)
    assert wait_until(lambda: len(setup_log(host, "DriverSetup")) > 2)
    assert send(host, bins, window["hwnd"], WM_COMMAND, 1007, timeout_ms=30000) == 0
    end_setup(host, "DriverSetup")
    assert wait_until(lambda: not program_pids(host)), trace_lines(host)
    assert setup_log(host, "VTPSetup") == []
    assert "CAutoRunManager::StepITK(+)" not in trace_lines(host)


def test_closing_the_window_during_a_setup_ends_the_run_after_it(road, host, bins):
    setup_config(host, "DriverSetup", mode="never")
    window = open_window(host, bins, road)
    assert wait_until(lambda: setup_log(host, "DriverSetup"))
    post(host, bins, window["hwnd"], WM_CLOSE)
    assert wait_until(lambda: find_window(host, bins, hwnd=window["hwnd"], timeout=0) is None, 20)
    assert program_pids(host)  # still waiting for its setup
    end_setup(host, "DriverSetup")
    assert wait_until(lambda: not program_pids(host), 30), trace_lines(host)
    assert "CAutoRunManager::ModeChange(+)" not in trace_lines(host)


def test_missing_driver_setup_fails_and_cleans_the_staged_folder_only(road, host, bins):
    (road.folder / "tools" / "DriverSetup.exe").unlink()
    marker = host.temp_dir / "C" / "marker"
    marker.parent.mkdir(parents=True, exist_ok=True)
    marker.write_text("not the installer's")
    road.start()
    # The shell says first that it found no such file (the launch has no
    # owner window), then the program that the setup failed.
    answer_box(host, bins, SHELL_NOT_FOUND["en_GB.UTF-8"]["file"])
    answer_box(host, bins, result_box("Failed to set up.", owner=MAIN_WINDOW))
    staging = host.temp_dir / "E"
    assert wait_until(lambda: not program_pids(host), 30)
    assert not (staging / "config.ini").exists()
    assert not (staging / "tools").exists()
    assert marker.exists()


def test_installed_pc_suite_is_started_without_the_guide(road, host, bins):
    suite = install_pc_suite(host, sim_file("PCSuite"))
    road.start()
    host.wait_for_file(suite / "PCSuite.log", 120)
    assert wait_until(lambda: not program_pids(host), 30), trace_lines(host)
    assert "CAutoRunManager::StepRun() ExecuteC:\\PCSuite\\PCSuite.exe" in trace_lines(host)
    assert not (host.temp_dir / "E" / "config.ini").exists()


def test_guide_dialog_in_test_mode_hovers_and_hands_back_on_ok(road, host, bins, tmp_path):
    install_pc_suite(host, sim_file("PCSuite"))
    road.write_config((road.folder / "config.ini").read_text().replace("pcsuite_test=0", "pcsuite_test=1"))
    (road.folder / "Progress.avi").unlink()
    road.start()
    dialog = guide_dialog(host, bins)
    assert dialog is not None, "\n".join(trace_lines(host))
    assert dialog["rect"] == (300, 300, 780, 582)
    assert [(c["id"], c["text"], c["enabled"], c["rect"]) for c in dialog["children"]] == [
        (1008, "", True, (454, 8, 470, 24)),
        (1009, "Download", False, (135, 222, 235, 250)),
        (1006, "OK", True, (245, 222, 345, 250)),
    ]
    main = find_window(host, bins, cls="Devstart", title="Devstart")
    assert not main["visible"]
    # Without its clip the animation stays hidden.
    assert not child(main, 1010)["visible"]

    ok = (300 + 245 + 10, 300 + 222 + 14)
    move(host, bins, 100, 100)
    assert wait_until(lambda: pixel(host, bins, *ok) == OK_NORMAL, 10)
    move(host, bins, *ok)
    assert wait_until(lambda: pixel(host, bins, *ok) == OK_HOVER, 10)
    move(host, bins, 100, 100)
    assert wait_until(lambda: pixel(host, bins, *ok) == OK_NORMAL, 10)

    # No setup address: Download shows its fourth frame and a grey caption,
    # and does nothing when clicked.
    download = (300 + 135 + 10, 300 + 222 + 14)
    assert pixel(host, bins, *download) == DOWNLOAD_DISABLED
    screenshot(host, bins, tmp_path / "guide.png", hwnd=dialog["hwnd"])
    button = [row[135:235] for row in read_png(tmp_path / "guide.png")[222:250]]
    assert any(GREY_CAPTION in row for row in button)
    click(host, bins, *download)
    click(host, bins, 100, 100)
    assert find_window(host, bins, hwnd=dialog["hwnd"])["visible"]
    assert not any("StepPCSuite" in line for line in trace_lines(host))

    post(host, bins, dialog["hwnd"], WM_COMMAND, 1006)
    assert wait_until(lambda: not program_pids(host), 30), trace_lines(host)
    assert trace_lines(host)[-1] == "NORMAL_EXIT"


SETUP_URL = "{}/base/TavoPCSuite4/Autorun/TavoPCSuiteIV_Setup.exe"


def test_download_opens_the_setup_address_through_explorer_then_runs(road, host, bins, tmp_path):
    install_driver(host, road)
    # The check library on the CD offers one setup base, served on loopback.
    server = UpdateServer(tmp_path / "server", free_port())
    shutil.copy2(PROGRAM.parent / "sim" / "update" / "check" / "P4_UpdlinkChk.dll", road.folder)
    data = host.unix_path(r"C:\sim-update")
    data.mkdir(parents=True, exist_ok=True)
    (data / "check.ini").write_text(f"[answer]\r\nversion=1.0.0.1\r\nsetup1={server.origin}/base\r\n")
    server.start()
    try:
        exec_log = host.prefix / "exec.log"
        road.start(env={"WINEDEBUG": SHELL_EXECUTE_TRACE}, stderr=exec_log)
        dialog = guide_dialog(host, bins)
        assert dialog is not None, "\n".join(trace_lines(host))
        assert child(dialog, 1009)["enabled"]
        click(host, bins, 300 + 135 + 50, 300 + 222 + 14)
        assert wait_until(lambda: not program_pids(host), 60), trace_lines(host)
    finally:
        server.stop()
    lines = trace_lines(host)
    assert "CAutoRunManager::StepPCSuite() GetUrl_Setup == " + SETUP_URL.format(server.origin) in lines
    # The Windows explorer is given the address, quoted as one argument
    # (Wine's explorer cannot browse it, so nothing is downloaded here).
    assert [e for e in shell_executions(exec_log) if e["file"].endswith("explorer.exe")] == [
        {"verb": "open", "file": "C:\\windows\\explorer.exe", "parm": '"' + SETUP_URL.format(server.origin) + '"',
         "dir": None}]
    # Then the run stage, as after OK: the staged copy is removed.
    assert lines[-1] == "NORMAL_EXIT"
    assert not (host.temp_dir / "E" / "config.ini").exists()


@pytest.mark.parametrize("lang", WRONG_MODE_BY_LANGUAGE)
def test_pc_suite_start_during_the_itk_stage_warns_over_the_window(road, host, bins, lang):
    caption, text, _ = WRONG_MODE_BY_LANGUAGE[lang]
    env = {"LC_ALL": lang, "LANG": lang}
    install_driver(host, road)
    Phone(host).write(setting=ITK_PHONE)
    setup_config(host, "VTPSetup", mode="never")
    window = open_window(host, bins, road, env=env)
    assert wait_until(lambda: setup_log(host, "VTPSetup"))
    Phone(host).write(setting=PC_SUITE_PHONE)
    road.start(env=env)
    answer_box(host, bins, Box(caption, text, owner=MAIN_WINDOW))
    # The stage goes on: the ITK setup is still waited for, then the run ends.
    assert find_window(host, bins, hwnd=window["hwnd"])["visible"]
    end_setup(host, "VTPSetup")
    assert wait_until(lambda: window["pid"] not in [w["pid"] for w in list_windows(host, bins)], 60)


@pytest.mark.parametrize("lang", WRONG_MODE_BY_LANGUAGE)
def test_itk_start_while_the_guide_shows_warns_over_the_dialog(road, host, bins, lang):
    caption, text, guide_title = WRONG_MODE_BY_LANGUAGE[lang]
    env = {"LC_ALL": lang, "LANG": lang}
    install_driver(host, road)
    # With the driver in place the window is up only for a moment before
    # the guide takes over: look for the guide.
    road.start(env=env)
    dialog = guide_dialog(host, bins, title=guide_title)
    assert dialog is not None, "\n".join(trace_lines(host))
    window = find_window(host, bins, cls="Devstart", title="Devstart")
    Phone(host).write(setting=ITK_PHONE)
    road.start(env=env)
    answer_box(host, bins, Box(caption, text, owner=("#32770", guide_title)))
    assert find_window(host, bins, hwnd=dialog["hwnd"])["visible"]
    post(host, bins, dialog["hwnd"], WM_COMMAND, 1008)
    assert wait_until(lambda: find_window(host, bins, hwnd=window["hwnd"], timeout=0) is None, 30)
