#!/usr/bin/python3
"""GDI objects the installer window holds before and after 1000 repaints and
100 hover cycles on its Cancel button (tests/win/skin_probe.cpp, "gdi"),
under Wine. Not a test: it prints the figures and the probe's verdict.

usage: bench/ui/gdi_objects.py
"""
import pathlib
import sys

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

from winehost import standalone_host  # noqa: E402

BIN = ROOT / "build" / "win64"
WORK = ROOT / "build" / "bench-ui"


def main():
    probe = BIN / "tests" / "skin_probe.exe"
    if not probe.exists():
        sys.exit(f"{probe} is missing: cmake --build build/win64 --target skin_probe")
    with standalone_host(WORK / "prefix") as host:
        host.hold_desktop(BIN / "sim" / "uidriver.exe")
        rc, out = host.run(probe, ["gdi"], timeout=300)
        figures = out.strip() or "(nothing printed)"
        print(f"GDI objects held through the skin's owners: {figures}")
        print("unchanged" if rc == 0 else f"changed or failed (exit {rc})")


if __name__ == "__main__":
    main()
