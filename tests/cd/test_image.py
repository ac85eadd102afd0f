"""The phone's CD image as a maker would flash it (./x cd), read back without
mounting it: the names Windows sees through Joliet, autorun.inf, the label,
the size against the phone's budget, and the signatures of what we sign."""
import configparser
import os
import pathlib
import re
import struct
import subprocess

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
OUT = pathlib.Path(os.environ.get("DEVSTART_CD_OUT", ROOT / "build" / "cd"))
BUILD = pathlib.Path(os.environ.get("DEVSTART_CD_BUILD", ROOT / "build" / "win32"))
ISO = OUT / "TAVO_PHONE.iso"
TREE = OUT / "extracted"
CERT = OUT / "signing-cert.pem"

# What the program opens from the CD's root, by the names it asks for.
PROGRAM_FILES = {"Devstart.exe", "SendScsiCmd.dll", "P4_Updlink.dll", "P4_UpdlinkChk.dll", "config.ini",
                 "Progress.avi"}
SIGNED = ("Devstart.exe", "SendScsiCmd.dll", "P4_Updlink.dll", "ScsiCmdService.exe")
# A phone's CD partition is carved out of its flash beside the firmware.
BUDGET = 16 * 1024 * 1024


def xorriso(*args, joliet=False):
    trees = ["-rockridge", "off", "-joliet", "on"] if joliet else []
    done = subprocess.run(["xorriso", "-abort_on", "FAILURE", *trees, "-indev", str(ISO), *args],
                          capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    return done.stdout


@pytest.fixture(scope="module")
def joliet_files():
    assert ISO.exists(), f"{ISO} is missing: ./x cd builds it"
    listing = xorriso("-find", "/", "-type", "f", joliet=True)
    return {line.strip().strip("'").lstrip("/") for line in listing.splitlines() if line.strip()}


def config_names(folder):
    ini = configparser.ConfigParser(interpolation=None, strict=False)
    ini.optionxform = str
    ini.read(folder / "config.ini", encoding="latin-1")
    names = [ini.get(s, k, fallback="") for s, k in (("DRIVER", "driver_name"), ("DRIVER", "driver_uninstall"),
                                                     ("ITK", "itk_setup"), ("SERVICE", "service_fname"))]
    return {n.replace("\\", "/").removeprefix("./").lstrip("/") for n in names if n}


def test_joliet_names_are_the_names_the_program_asks_for(joliet_files):
    setups = config_names(TREE)
    assert setups == {"tools/DriverSetup.exe", "tools/VTPSetup.exe", "ScsiCmdService.exe"}
    assert joliet_files == PROGRAM_FILES | setups | {"autorun.inf"}


def test_autorun_inf_opens_the_program_from_the_root():
    assert (TREE / "autorun.inf").read_bytes() == (
        b"[autorun]\r\nopen=Devstart.exe\r\nicon=Devstart.exe,0\r\nlabel=TAVO_PHONE\r\n")


def test_volume_label_read_only_files_and_size():
    assert "Volume Id    : TAVO_PHONE" in xorriso("-pvd_info")
    modes = {line.split()[0] for line in xorriso("-find", "/", "-type", "f", "-exec", "lsdl").splitlines()
             if line.startswith("-")}
    assert modes == {"-r--r--r--"}
    assert ISO.stat().st_size <= BUDGET


def pe_layout(path):
    """The import and resource directories and each section's bytes."""
    data = path.read_bytes()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    magic = struct.unpack_from("<H", data, pe + 24)[0]
    dirs = pe + 24 + (96 if magic == 0x10B else 112)
    imports, resources, security = (struct.unpack_from("<II", data, dirs + 8 * i) for i in (1, 2, 4))
    table = pe + 24 + optional
    raw = []
    for i in range(sections):
        name, _, _, size, offset = struct.unpack_from("<8sIIII", data, table + 40 * i)
        raw.append((name.rstrip(b"\0"), data[offset:offset + size]))
    return {"imports": imports, "resources": resources, "sections": raw}, security


@pytest.mark.parametrize("name", SIGNED)
def test_signed_with_sha256_and_otherwise_unchanged(name):
    done = subprocess.run(["osslsigncode", "verify", "-CAfile", str(CERT), "-in", str(TREE / name)],
                          capture_output=True, text=True)
    assert done.returncode == 0, done.stdout + done.stderr
    assert "Message digest algorithm  : SHA256" in done.stdout
    signed, security = pe_layout(TREE / name)
    built = BUILD / name
    unsigned, none = pe_layout(built)
    assert none == (0, 0) and security[1] > 0
    assert signed == unsigned, f"signing changed the sections or directories of {name}"


def test_what_is_not_ours_goes_on_the_cd_as_given():
    for name in ("P4_UpdlinkChk.dll", "tools/DriverSetup.exe", "tools/VTPSetup.exe"):
        assert pe_layout(TREE / name)[1] == (0, 0), name


def version_fields(path):
    """The string values of a version resource: each key followed by its value."""
    words = [m.decode("utf-16-le") for m in re.findall(rb"(?:[\x20-\x7e]\x00){2,}", path.read_bytes())]
    keys = ("CompanyName", "FileDescription", "FileVersion", "ProductName", "ProductVersion")
    return {k: words[words.index(k) + 1] for k in keys if k in words}


@pytest.mark.parametrize("name, description, version", [
    ("Devstart.exe", "Devstart", "1, 0, 0, 14"),
    ("P4_Updlink.dll", "Live update of the phone's software", "1.0.0.1"),
    ("SendScsiCmd.dll", "SCSI command library of the phone", "1.0.0.0"),
    ("ScsiCmdService.exe", "SCSI command service of the phone", "1.0.0.0"),
])
def test_version_resources_name_company_product_and_version(name, description, version):
    assert version_fields(TREE / name) == {"CompanyName": "Tavo", "FileDescription": description,
                                           "FileVersion": version, "ProductName": "Devstart",
                                           "ProductVersion": version}


def test_a_makers_inputs_make_their_image(tmp_path):
    """Their config.ini, setups, certificate and label, by options and variables."""
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=Acme",
                    "-keyout", str(tmp_path / "key.pem"), "-out", str(tmp_path / "cert.pem")],
                   check=True, capture_output=True)
    setups = tmp_path / "setups"
    setups.mkdir()
    (setups / "AcmeDriver.exe").write_bytes((BUILD / "sim" / "DriverSetup.exe").read_bytes())
    (setups / "ITKSetup.exe").write_bytes((BUILD / "sim" / "ITKSetup.exe").read_bytes())
    config = (ROOT / "cd" / "config.ini").read_text().replace("tools\\DriverSetup.exe", "AcmeDriver.exe") \
        .replace("tools\\VTPSetup.exe", "tools\\ITKSetup.exe").replace("service_fname=ScsiCmdService.exe",
                                                                     "service_fname=AcmeScsi.exe")
    (tmp_path / "config.ini").write_text(config)
    env = dict(os.environ, DEVSTART_CD_SETUPS=str(setups), DEVSTART_CD_LABEL="ACME_PHONE")
    done = subprocess.run(["/usr/bin/python3", str(ROOT / "tools" / "make_cd.py"), "--build", str(BUILD),
                           "--out", str(tmp_path / "cd"), "--config", str(tmp_path / "config.ini"),
                           "--cert", str(tmp_path / "cert.pem"), "--key", str(tmp_path / "key.pem")],
                          env=env, capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    tree = tmp_path / "cd" / "extracted"
    assert sorted(str(p.relative_to(tree)) for p in tree.rglob("*") if p.is_file()) == [
        "AcmeDriver.exe", "AcmeScsi.exe", "Devstart.exe", "P4_Updlink.dll", "P4_UpdlinkChk.dll", "Progress.avi",
        "SendScsiCmd.dll", "autorun.inf", "config.ini", "tools/ITKSetup.exe"]
    assert (tree / "autorun.inf").read_bytes().endswith(b"label=ACME_PHONE\r\n")
    for name in ("Devstart.exe", "AcmeScsi.exe"):
        verify = subprocess.run(["osslsigncode", "verify", "-CAfile", str(tmp_path / "cert.pem"), "-in",
                                 str(tree / name)], capture_output=True, text=True)
        assert verify.returncode == 0 and "Subject: /CN=Acme" in verify.stdout, verify.stdout
    for p in tmp_path.rglob("*"):
        p.chmod(0o755)
