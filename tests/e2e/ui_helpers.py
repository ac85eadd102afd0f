"""Seeing and touching windows through the UI driver: find and describe a
window, real mouse input, messages, screenshots and pixel probes, and the
prefix settings that make windows look under Wine as they would on Windows."""

import dataclasses
import pathlib
import zlib

CHILD_FIELDS = ("id", "class", "text", "enabled", "visible", "rect")


@dataclasses.dataclass(frozen=True)
class Box:
    """A message box as the person sees it. The caption is exact ("" is an
    empty title bar); `owner` is the owning window's (class, title), None
    for a box without one; `process` the program that showed it."""
    caption: str
    text: str
    buttons: tuple = ("OK",)
    icon: str = "none"
    owner: tuple = None
    process: str = "Devstart.exe"


# The owner of the boxes the installer window shows.
MAIN_WINDOW = ("Devstart", "Devstart")


# The shell's own box for a program it cannot find (the file, or already its
# folder), in its words as FormatMessage gives them (line end included), per
# language.
SHELL_NOT_FOUND = {
    "en_GB.UTF-8": {"file": Box("Error", "File not found.\r\n", icon="hand"),
                    "path": Box("Error", "Path not found.\r\n", icon="hand")},
    "de_DE.UTF-8": {"file": Box("Fehler", "Datei nicht gefunden.\r\n", icon="hand"),
                    "path": Box("Fehler", "Pfad nicht gefunden.\r\n", icon="hand")},
}


def result_box(text, owner=None, process="Devstart.exe"):
    """The program's box for a failure code: caption "Devstart", a stop
    sign, OK."""
    return Box("Devstart", text, ("OK",), "hand", owner, process)


def unescape(text):
    """The driver writes a backslash, CR and LF as \\\\, \\r and \\n."""
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text):
            out.append({"n": "\n", "r": "\r", "\\": "\\"}.get(text[i + 1], text[i:i + 2]))
            i += 2
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


def numbers(text):
    return tuple(int(v) for v in text.split(","))


def parse_child(line):
    # The text may itself hold "|": the fields around it are fixed.
    parts = line.split("|")
    return {"id": int(parts[0]), "class": parts[1], "text": unescape("|".join(parts[2:-3])),
            "enabled": parts[-3] == "1", "visible": parts[-2] == "1", "rect": numbers(parts[-1])}


def parse_window(output):
    """The driver's description of a window as a dict: numbers as ints,
    rect and client as tuples, flags as bools, children as dicts."""
    w = {"children": []}
    for line in output.splitlines():
        if "=" not in line:
            continue
        key, value = line.split("=", 1)
        if key == "child":
            w["children"].append(parse_child(value))
        elif key in ("hwnd", "owner", "style", "exstyle"):
            w[key] = int(value, 16)
        elif key in ("rect", "client"):
            w[key] = numbers(value)
        elif key in ("visible", "enabled"):
            w[key] = value == "1"
        elif key == "pid":
            w[key] = int(value)
        else:
            w[key] = unescape(value)
    return w


def parse_box(output):
    """The driver's reading of a message box."""
    v = {}
    for line in output.splitlines():
        if "=" in line:
            key, value = line.split("=", 1)
            v[key] = unescape(value)
    owner = (v["owner_class"], v["owner_title"]) if int(v.get("owner", "0"), 16) else None
    buttons = tuple(v["buttons"].split(",")) if v.get("buttons") else ()
    return Box(v.get("caption", ""), v.get("text", ""), buttons, v.get("icon", ""), owner, v.get("process", ""))


def drive(host, bins, args, timeout=60):
    return host.run(bins.uidriver, [str(a) for a in args], timeout=timeout)


def target_args(hwnd=None, cls=None, title=None):
    args = []
    if hwnd is not None:
        args += ["--hwnd", hex(hwnd)]
    if cls is not None:
        args += ["--class", cls]
    if title is not None:
        args += ["--title", title]
    return args


def find_window(host, bins, cls=None, title=None, timeout=10, visible=False, hwnd=None):
    """The first top-level window of this class and/or title (or the window
    `hwnd`), waited for up to `timeout` seconds; None when none came."""
    args = ["find", *target_args(hwnd, cls, title), "--timeout", timeout]
    if visible:
        args.append("--visible")
    rc, out = drive(host, bins, args, timeout=timeout + 60)
    if rc == 3:
        return None
    assert rc == 0, f"uidriver find: exit {rc}"
    return parse_window(out)


def list_windows(host, bins):
    """The visible top-level windows: hwnd, class, title, owner, pid."""
    rc, out = drive(host, bins, ["list"])
    assert rc == 0, f"uidriver list: exit {rc}"
    windows = []
    for line in out.splitlines():
        parts = line.split("|")
        if len(parts) < 5:
            continue
        windows.append({"hwnd": int(parts[0], 16), "class": parts[1], "title": unescape("|".join(parts[2:-2])),
                        "owner": int(parts[-2], 16), "pid": int(parts[-1])})
    return windows


def mouse(host, bins, command, *points):
    rc, _ = drive(host, bins, [command, *points])
    assert rc == 0, f"uidriver {command}: exit {rc}"


def click(host, bins, x, y):
    mouse(host, bins, "click", x, y)


def move(host, bins, x, y):
    mouse(host, bins, "move", x, y)


def drag(host, bins, x1, y1, x2, y2, steps=10):
    mouse(host, bins, "drag", x1, y1, x2, y2, "--steps", steps)


def send(host, bins, hwnd, msg, wparam=0, lparam=0, timeout_ms=5000):
    """The window's answer to a sent message, or None when it gave none in
    time (or is gone)."""
    rc, out = drive(host, bins, ["send", hex(hwnd), hex(msg), wparam, lparam, "--timeout", timeout_ms],
                    timeout=timeout_ms / 1000 + 60)
    if rc == 6:
        return None
    assert rc == 0, f"uidriver send: exit {rc}"
    return int(out.strip().split("=", 1)[1])


def post(host, bins, hwnd, msg, wparam=0, lparam=0):
    """True when the message was posted."""
    rc, _ = drive(host, bins, ["post", hex(hwnd), hex(msg), wparam, lparam])
    assert rc in (0, 6), f"uidriver post: exit {rc}"
    return rc == 0


def screenshot(host, bins, out_path, hwnd=None, cls=None, title=None, client=False, timeout=10):
    """The window as the screen shows it, saved as a PNG file at `out_path`."""
    args = ["shot", *target_args(hwnd, cls, title), "--out", host.to_windows(out_path), "--timeout", timeout]
    if client:
        args.append("--client")
    rc, _ = drive(host, bins, args, timeout=timeout + 60)
    assert rc == 0, f"uidriver shot: exit {rc}"
    return out_path


def read_png(path):
    """The driver's screenshots: 8-bit RGB, no filter. Rows of (r, g, b)."""
    data = pathlib.Path(path).read_bytes()
    pos, width, height, idat = 8, 0, 0, b""
    while pos < len(data):
        length = int.from_bytes(data[pos:pos + 4], "big")
        kind, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height = int.from_bytes(body[:4], "big"), int.from_bytes(body[4:8], "big")
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw, stride = zlib.decompress(idat), 1 + 3 * width
    return [[tuple(raw[y * stride + 1 + 3 * x:y * stride + 4 + 3 * x]) for x in range(width)] for y in range(height)]


def pixel(host, bins, x, y):
    rc, out = drive(host, bins, ["pixel", x, y])
    assert rc == 0, f"uidriver pixel: exit {rc}"
    return numbers(out.strip().split("=", 1)[1])


def wine_draws_frames(host):
    """Xvfb has no window manager, and Wine leaves the frame of a captioned
    window to one: nobody draws the caption, and a click on it reaches no
    window at all. With Wine drawing frames itself, screenshots show the
    caption and a drag on it moves the window. Programs started afterwards
    see it."""
    host.reg_add(r"HKCU\Software\Wine\X11 Driver", "Decorated", "N", view64=False)


# Tahoma, the face the program's dialogs use, is no font of a Wine prefix;
# Wine's own choice for it has no Thai, Chinese or Korean. Thai is shaped
# (Uniscribe) from the selected font alone, without font linking, so Tahoma
# must be a font with Thai glyphs: Garuda (fonts-thai-tlwg), Latin and Thai.
# What Garuda lacks comes from its links, found by file name: Greek,
# Cyrillic and Vietnamese from Noto Sans, Chinese and Korean from Noto Sans
# CJK. Wine looks links up by the full name of the chosen face; 32-bit and
# 64-bit programs alike read them from this one key.
FONT_FALLBACK_REG = r"""[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Tahoma"="Garuda"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]
"Garuda"=hex(7):{links}
"Garuda Bold"=hex(7):{links}
"""

FONT_LINKS = ("NotoSans-Regular.ttf,Noto Sans", "NotoSansCJK-Regular.ttc,Noto Sans CJK SC")


def multi_sz_hex(strings):
    data = "".join(s + "\0" for s in strings).encode("utf-16-le") + b"\0\0"
    return ",".join(f"{b:02x}" for b in data)


def enable_font_fallback(host):
    """Texts in Chinese, Korean, Thai, Greek, Cyrillic and Vietnamese drawn
    in Tahoma show real glyphs (needs fonts-noto-core, fonts-noto-cjk and
    fonts-thai-tlwg on the host). Programs started afterwards see it."""
    host.reg_import(FONT_FALLBACK_REG.format(links=multi_sz_hex(FONT_LINKS)))
