"""Prefixes of either architecture: a pure 32-bit one (what Windows 2000 and
the 32-bit editions were) and a 64-bit one (a 32-bit program under WOW64)."""
import pytest

from conftest import VirtualCd
from road_helpers import wait_for_relaunch
from winehost import WINE_ARCHES


def reg_query(host, key):
    """`reg query` of a key in the 64-bit view (the only one on win32), or None."""
    r = host.run_tool(["reg", "query", key, "/reg:64"])
    return r.stdout.decode(errors="replace") if r.returncode == 0 else None


@pytest.mark.parametrize("host", WINE_ARCHES, indirect=True)
def test_prefix_has_the_shape_of_its_architecture(host, host_bins, tmp_path):
    """What the matrix stands on: Wine's tools, a .reg import and the CD run
    work in both prefixes, and only the 64-bit one has the WOW64 layout."""
    wow64 = host.arch == "win64"
    c = host.prefix / "drive_c"
    assert ((c / "windows" / "syswow64").exists(), (c / "Program Files (x86)").exists()) == (wow64, wow64)
    host.reg_import('[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tavo Electronics\\Tavo USB Autorun]\n"debug_mode"="1"\n')
    assert "debug_mode    REG_SZ    1" in reg_query(host, r"HKLM\SOFTWARE\Tavo Electronics\Tavo USB Autorun")
    assert (reg_query(host, r"HKLM\SOFTWARE\Wow6432Node") is not None) == wow64
    cd = VirtualCd(host, host_bins, tmp_path / "cd")
    rc, _ = cd.run()
    assert rc == 0
    [record] = wait_for_relaunch(host)
    assert record["arguments"] == "-drive:E"
