"""The installer window and guide dialog in every language the program
carries: every text fits its box in the skin's font, each language's window
and dialog come up with its texts (saved as PNGs under build/e2e/screens for
a person to look at), and painting leaks no GDI object."""
import re

import pytest

from conftest import ROOT, WORK
from ui_helpers import enable_font_fallback, find_window, post, screenshot
from winehost import finish

TEXTS = ROOT / "src" / "ui" / "texts"
LANGUAGES = sorted(p.stem for p in TEXTS.glob("*.txt"))
SCREENS = WORK / "screens"
# Status lines, notice, guide blocks, button captions.
DRAWN = (2201, 2202, 2203, 2204, 2200, 2300, 2301, 2302, 2303, 2100, 2101, 2102)
BUTTON_BOXES = {2100: "80,28", 2101: "100,28", 2102: "100,28"}
CANCEL_CAPTIONS = {"0407": "Abbrechen", "0809": "Cancel", "0419": "Отмена", "0804": "取消"}
WM_COMMAND, GO_ON = 0x0111, 0x8001
ID_CANCEL, ID_GUIDE_OK = 1007, 1006
# The folder of the animation clip the window opens from its current directory.
CLIP_FOLDER = ROOT / "src" / "ui" / "res"


def texts(lang):
    lines = (TEXTS / f"{lang}.txt").read_text(encoding="utf-8").splitlines()
    return {int(line.split("\t", 1)[0]): line.split("\t", 1)[1] for line in lines if line and line[0] != "#"}


def test_every_drawn_text_fits_its_box_in_every_language(host, bins):
    assert len(LANGUAGES) == 36
    enable_font_fallback(host)
    rc, out = host.run(bins.skin_probe, ["measure"], timeout=240)
    assert rc == 0
    rows = [dict(field.split("=", 1) for field in line.split()) for line in out.splitlines()]
    assert sorted((r["lang"], int(r["id"])) for r in rows) == sorted((l, i) for l in LANGUAGES for i in DRAWN)
    for r in rows:
        assert r["box"] == BUTTON_BOXES.get(int(r["id"]), r["box"]), r
    cut = [f"{r['lang']} {r['id']}: needs {r['need']} in {r['box']}" for r in rows if r["cut"] != "0"]
    assert not cut, "texts cut in their box:\n" + "\n".join(cut)


@pytest.mark.parametrize("lang", LANGUAGES)
def test_window_and_guide_show_the_language(desktop, bins, lang):
    host = desktop
    enable_font_fallback(host)
    words = texts(lang)
    assert words[2100] == CANCEL_CAPTIONS.get(lang, words[2100])
    SCREENS.mkdir(parents=True, exist_ok=True)
    proc = host.start(bins.skin_probe, ["show", lang], cwd=CLIP_FOLDER)
    try:
        assert proc.stdout.readline().strip() == b"ready"
        main = find_window(host, bins, cls="Devstart", visible=True)
        assert main is not None, "the installer window did not show"
        cancel = [c for c in main["children"] if c["id"] == ID_CANCEL]
        assert [c["text"] for c in cancel] == [words[2100]]
        screenshot(host, bins, SCREENS / f"{lang}-window.png", hwnd=main["hwnd"])

        assert post(host, bins, main["hwnd"], GO_ON)
        guide = find_window(host, bins, cls="#32770", title=words[2300], visible=True, timeout=30)
        assert guide is not None, "the guide dialog did not show"
        screenshot(host, bins, SCREENS / f"{lang}-guide.png", hwnd=guide["hwnd"])

        assert post(host, bins, guide["hwnd"], WM_COMMAND, ID_GUIDE_OK)
        assert finish(proc, 60) == 0
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()


def test_repainting_the_window_leaks_no_gdi_object(desktop, bins):
    rc, out = desktop.run(bins.skin_probe, ["gdi"], timeout=240)
    counts = re.fullmatch(r"before=(\d+) after=(\d+)", out.strip())
    assert counts, out
    before, after = int(counts[1]), int(counts[2])
    assert before > 0, "the window holds its skin through counted owners"
    assert (rc, after) == (0, before)
