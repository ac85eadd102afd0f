"""The UI driver against a real window under Wine: the PC suite stand-in, a
captioned 300x120 window at (40,40) that paints nothing in its client area."""
import shutil
import subprocess
import time

import pytest

from conftest import bring_up_desktop
from ui_helpers import drag, find_window, list_windows, pixel, screenshot, send, wine_draws_frames

CLASS, TITLE = "TavoPCSuiteStandIn", "Tavo PC Suite IV"
WS_CAPTION, WS_VISIBLE, WM_NULL, WM_GETTEXTLENGTH = 0x00C00000, 0x10000000, 0x0000, 0x000E


@pytest.fixture
def suite(host, bins, tmp_path):
    """The stand-in's window, drawn with its caption."""
    wine_draws_frames(host)
    bring_up_desktop(host, bins)
    exe = shutil.copy2(bins.PCSuite, tmp_path / "PCSuite.exe")
    proc = host.start(exe, ["/seconds=120"])
    try:
        w = find_window(host, bins, cls=CLASS, visible=True, timeout=60)
        assert w is not None, "the stand-in's window did not show"
        yield w
    finally:
        proc.kill()


def test_a_window_is_found_by_class_and_by_title_alike(host, bins, suite):
    assert (suite["class"], suite["title"], suite["rect"]) == (CLASS, TITLE, (40, 40, 340, 160))
    assert suite["style"] & (WS_CAPTION | WS_VISIBLE) == WS_CAPTION | WS_VISIBLE
    assert (suite["visible"], suite["enabled"], suite["owner"], suite["children"]) == (True, True, 0, [])
    assert suite["pid"] > 0
    assert find_window(host, bins, title=TITLE) == suite
    assert find_window(host, bins, hwnd=suite["hwnd"]) == suite
    listed = [w for w in list_windows(host, bins) if w["hwnd"] == suite["hwnd"]]
    assert listed == [{"hwnd": suite["hwnd"], "class": CLASS, "title": TITLE, "owner": 0, "pid": suite["pid"]}]
    assert find_window(host, bins, cls=CLASS, title="Another title", timeout=1) is None


def test_sent_messages_are_answered(host, bins, suite):
    assert send(host, bins, suite["hwnd"], WM_NULL) == 0
    assert send(host, bins, suite["hwnd"], WM_GETTEXTLENGTH) == len(TITLE)
    assert send(host, bins, 0x7FFF0, WM_NULL) is None  # no such window


def test_a_screenshot_shows_the_window_as_the_screen_does(host, bins, suite, tmp_path):
    png = screenshot(host, bins, tmp_path / "suite.png", cls=CLASS)
    size = subprocess.run(["identify", "-format", "%w %h", str(png)], capture_output=True, text=True, check=True)
    assert size.stdout == "300 120"
    client = screenshot(host, bins, tmp_path / "client.png", hwnd=suite["hwnd"], client=True)
    size = subprocess.run(["identify", "-format", "%w %h", str(client)], capture_output=True, text=True, check=True)
    assert tuple(int(v) for v in size.stdout.split()) == suite["client"]
    # The caption is drawn over the empty desktop, and the file holds what
    # the screen holds.
    caption = pixel(host, bins, 150, 50)
    assert caption != pixel(host, bins, 600, 600)
    at = subprocess.run(["convert", str(png), "-format", "%[fx:int(255*p{110,10}.r)],%[fx:int(255*p{110,10}.g)],"
                         "%[fx:int(255*p{110,10}.b)]", "info:"], capture_output=True, text=True, check=True)
    assert tuple(int(v) for v in at.stdout.split(",")) == caption


def test_dragging_the_caption_moves_the_window_by_the_drag(host, bins, suite):
    drag(host, bins, 150, 50, 250, 130)
    for _ in range(50):
        moved = find_window(host, bins, hwnd=suite["hwnd"])
        if moved["rect"] != suite["rect"]:
            break
        time.sleep(0.1)
    assert moved["rect"] == (140, 120, 440, 240)
