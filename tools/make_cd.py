#!/usr/bin/env python3
"""Builds what a phone maker flashes: the phone's CD image.

    tools/make_cd.py [--build DIR] [--out DIR] [--config FILE] [--setups DIR]
                     [--check-library FILE] [--cert FILE --key FILE] [--label NAME]
                     [--unsigned]

Writes OUT/image/ (the CD's tree), OUT/<label>.iso (ISO 9660 with Joliet and
Rock Ridge) and OUT/extracted/ (the image read back through its Joliet tree,
the names Windows sees). The program, the update library, the SCSI command
library and the service are Authenticode-signed (SHA-256) with the maker's
certificate and key, or with a throwaway test certificate made here; one the
maker gives already signed keeps its signature. The check library and the
setups go on the CD as given.

A maker's inputs, each also taken from an environment variable:
  --config         DEVSTART_CD_CONFIG         their config.ini (default cd/config.ini)
  --setups         DEVSTART_CD_SETUPS         a folder with the setups config.ini names,
                                              by file name (default: the stand-ins)
  --check-library  DEVSTART_CD_CHECK_LIBRARY  their P4_UpdlinkChk.dll (default: the stand-in)
  --scsi-library   DEVSTART_CD_SCSI_LIBRARY   their SendScsiCmd.dll (default: the simulated phone's)
  --service        DEVSTART_CD_SERVICE        their SCSI command service program (default: ours)
  --cert, --key    DEVSTART_CD_CERT, _KEY     their code-signing certificate and key (PEM or
                                              DER; DEVSTART_CD_KEY_PASS for a protected key)
  --label          DEVSTART_CD_LABEL          the volume label (default TAVO_PHONE)

File times in the image are the commit's date (SOURCE_DATE_EPOCH when set),
so two builds of one commit give the same unsigned image."""
import argparse
import configparser
import os
import pathlib
import re
import shutil
import struct
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parents[1]

# What the program copies from the CD's root whatever config.ini says.
FIXED = ("Devstart.exe", "SendScsiCmd.dll", "P4_Updlink.dll", "P4_UpdlinkChk.dll", "config.ini", "Progress.avi")
# The keys of config.ini that name a file on the CD: the setups are staged
# with their path (root or tools\ only), the service is taken from the root.
SETUP_KEYS = (("DRIVER", "driver_name"), ("DRIVER", "driver_uninstall"), ("ITK", "itk_setup"))
SERVICE_KEY = ("SERVICE", "service_fname")
# A phone's CD partition is a few megabytes of its flash, shared with the
# phone's own firmware; the image must leave room for a maker's real setups,
# which are larger than the stand-ins.
BUDGET = 16 * 1024 * 1024


class MakerError(Exception):
    pass


def option(args, name, env, default=None):
    value = getattr(args, name) or os.environ.get(env)
    return value if value else default


def read_config(path):
    """config.ini as the program reads it: 8-bit or UTF-16 with its mark."""
    raw = path.read_bytes()
    text = raw.decode("utf-16") if raw[:2] in (b"\xff\xfe", b"\xfe\xff") else raw.decode("latin-1")
    parser = configparser.ConfigParser(interpolation=None, strict=False, comment_prefixes=(";",),
                                       inline_comment_prefixes=None, delimiters=("=",))
    parser.optionxform = str  # key names keep their case, as the program asks for them
    parser.read_string(text)
    return parser


def cd_path(name, key):
    """Where on the CD a file config.ini names lies, as a relative path."""
    rel = name.replace("/", "\\")
    rel = rel[2:] if rel.startswith(".\\") else rel.lstrip("\\")
    parts = [p for p in rel.split("\\") if p]
    if not parts or any(p in (".", "..") for p in parts) or ":" in rel:
        raise MakerError(f"config.ini {key}={name}: not a file below the CD's root")
    if len(parts) > 2 or (len(parts) == 2 and parts[0].lower() != "tools"):
        raise MakerError(f"config.ini {key}={name}: only the root and its tools folder are staged")
    return pathlib.PurePosixPath(*(["tools", parts[1]] if len(parts) == 2 else parts))


def commit_time():
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    out = subprocess.run(["git", "-C", str(ROOT), "log", "-1", "--format=%ct"], capture_output=True, text=True)
    return int(out.stdout.strip()) if out.returncode == 0 and out.stdout.strip() else 0


def run(cmd, **kw):
    done = subprocess.run(cmd, capture_output=True, text=True, **kw)
    if done.returncode != 0:
        raise MakerError(f"{cmd[0]} failed ({done.returncode}): {(done.stderr or done.stdout).strip()}")
    return done.stdout


def test_certificate(folder):
    """A throwaway code-signing certificate for builds without the maker's."""
    folder.mkdir(parents=True, exist_ok=True)
    cert, key = folder / "test-cert.pem", folder / "test-key.pem"
    run(["openssl", "req", "-x509", "-newkey", "rsa:3072", "-nodes", "-sha256", "-days", "30",
         "-subj", "/CN=Devstart test signing (not for release)/O=Tavo",
         "-addext", "keyUsage=critical,digitalSignature", "-addext", "extendedKeyUsage=codeSigning",
         "-keyout", str(key), "-out", str(cert)])
    return cert, key


def has_signature(path):
    """Whether a PE file carries an Authenticode signature (its security directory)."""
    data = path.read_bytes()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    magic = struct.unpack_from("<H", data, pe + 24)[0]
    offset, size = struct.unpack_from("<II", data, pe + 24 + (96 if magic == 0x10B else 112) + 8 * 4)
    return size > 0


def sign(path, cert, key):
    signed = path.with_name(path.name + ".signed")
    # No time-stamp server here (the build is offline): a maker's release
    # adds one (osslsigncode -ts URL) so the signature outlives the certificate.
    cmd = ["osslsigncode", "sign", "-h", "sha256", "-certs", str(cert), "-key", str(key),
           "-n", path.stem, "-in", str(path), "-out", str(signed)]
    if os.environ.get("DEVSTART_CD_KEY_PASS"):
        cmd[2:2] = ["-pass", os.environ["DEVSTART_CD_KEY_PASS"]]
    run(cmd)
    signed.replace(path)


def build_tree(args, image):
    build = pathlib.Path(args.build)
    config_file = pathlib.Path(option(args, "config", "DEVSTART_CD_CONFIG", ROOT / "cd" / "config.ini"))
    setups = pathlib.Path(option(args, "setups", "DEVSTART_CD_SETUPS", build / "sim"))
    check = pathlib.Path(option(args, "check_library", "DEVSTART_CD_CHECK_LIBRARY",
                                build / "sim" / "update" / "check" / "P4_UpdlinkChk.dll"))
    config = read_config(config_file)

    scsi = pathlib.Path(option(args, "scsi_library", "DEVSTART_CD_SCSI_LIBRARY", build / "SendScsiCmd.dll"))
    service_program = pathlib.Path(option(args, "service", "DEVSTART_CD_SERVICE", build / "ScsiCmdService.exe"))
    files = {  # place on the CD -> where it comes from
        "Devstart.exe": build / "Devstart.exe",
        "SendScsiCmd.dll": scsi,
        "P4_Updlink.dll": build / "P4_Updlink.dll",
        "P4_UpdlinkChk.dll": check,
        "Progress.avi": build / "Progress.avi",
    }
    service = config.get(*SERVICE_KEY, fallback="").strip()
    service_place = str(cd_path(service, SERVICE_KEY[1])) if service else None
    if service_place:
        files[service_place] = service_program
    for section, key in SETUP_KEYS:
        name = config.get(section, key, fallback="").strip()
        if name:
            place = cd_path(name, key)
            # By its file name, or by its path on the CD when the folder is a CD's tree.
            files[str(place)] = next((p for p in (setups / place.name, setups / place) if p.is_file()),
                                     setups / place.name)
    for place, source in files.items():
        if not source.is_file():
            raise MakerError(f"{place}: {source} is missing")

    remove_tree(image)
    (image / "tools").mkdir(parents=True)
    for place, source in files.items():
        shutil.copyfile(source, image / place)
    raw = config_file.read_bytes()
    if config_file == ROOT / "cd" / "config.ini" and b"\r" not in raw:
        raw = raw.replace(b"\n", b"\r\n")  # git keeps ours with LF; the CD's is a Windows file
    (image / "config.ini").write_bytes(raw)
    label = args.label
    (image / "autorun.inf").write_bytes(
        f"[autorun]\r\nopen=Devstart.exe\r\nicon=Devstart.exe,0\r\nlabel={label}\r\n".encode("ascii"))
    # What we sign: the program, the two libraries and the service, whatever
    # its name on the CD, unless the maker's copy is signed already.
    ours = [image / p for p in ("Devstart.exe", "SendScsiCmd.dll", "P4_Updlink.dll", service_place) if p]
    return [p for p in ours if not has_signature(p)]


def remove_tree(folder):
    """An earlier build's tree, read-only as the CD's files are."""
    if folder.exists():
        for p in [folder, *folder.rglob("*")]:
            p.chmod(0o755)
        shutil.rmtree(folder)


def fix_times(image, when):
    for p in sorted(image.rglob("*"), reverse=True) + [image]:
        p.chmod(0o555 if p.is_dir() else 0o444)
        os.utime(p, (when, when))


def make_iso(image, iso, label, when):
    iso.unlink(missing_ok=True)
    env = dict(os.environ, SOURCE_DATE_EPOCH=str(when))
    # Joliet keeps each name's case and length (P4_UpdlinkChk.dll is no 8.3
    # name); Rock Ridge (-r) keeps them for other systems, with every file
    # read-only and owned by user and group 0.
    run(["xorriso", "-as", "mkisofs", "-quiet", "-o", str(iso), "-V", label, "-publisher", "Tavo", "-J", "-r",
         "-input-charset", "utf-8", str(image)], env=env)


def extract(iso, folder):
    """The image read back as Windows reads it: through its Joliet tree."""
    remove_tree(folder)
    run(["xorriso", "-abort_on", "FAILURE", "-rockridge", "off", "-joliet", "on", "-osirrox", "on",
         "-indev", str(iso), "-extract", "/", str(folder)])


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default=str(ROOT / "build" / "win32"), help="the shipped 32-bit build")
    ap.add_argument("--out", default=str(ROOT / "build" / "cd"))
    ap.add_argument("--config")
    ap.add_argument("--setups")
    ap.add_argument("--check-library", dest="check_library")
    ap.add_argument("--scsi-library", dest="scsi_library")
    ap.add_argument("--service")
    ap.add_argument("--cert")
    ap.add_argument("--key")
    ap.add_argument("--label")
    ap.add_argument("--unsigned", action="store_true", help="leave the binaries unsigned (reproducibility check)")
    args = ap.parse_args()
    args.label = option(args, "label", "DEVSTART_CD_LABEL", "TAVO_PHONE")
    out = pathlib.Path(args.out)
    try:
        # Joliet volume labels hold 16 characters; Windows shows this one.
        if not re.fullmatch(r"[A-Z0-9_]{1,16}", args.label):
            raise MakerError(f"volume label {args.label!r}: 1 to 16 of A-Z, 0-9 and _")
        cert, key = option(args, "cert", "DEVSTART_CD_CERT"), option(args, "key", "DEVSTART_CD_KEY")
        if bool(cert) != bool(key):
            raise MakerError("a signing certificate needs its key, and a key its certificate")
        image, iso = out / "image", out / f"{args.label}.iso"
        when = commit_time()
        to_sign = build_tree(args, image)
        if not args.unsigned:
            if not cert:
                cert, key = test_certificate(out / "signing")
            for binary in to_sign:
                sign(binary, cert, key)
            shutil.copyfile(cert, out / "signing-cert.pem")
        else:
            (out / "signing-cert.pem").unlink(missing_ok=True)
        fix_times(image, when)
        make_iso(image, iso, args.label, when)
        extract(iso, out / "extracted")
    except MakerError as e:
        print(f"make_cd: {e}", file=sys.stderr)
        return 1
    size = iso.stat().st_size
    print(f"{iso.relative_to(ROOT) if iso.is_relative_to(ROOT) else iso}: {size:,} bytes "
          f"({size * 100 // BUDGET}% of the {BUDGET // (1024 * 1024)} MiB budget), "
          f"{'unsigned' if args.unsigned else 'signed'}")
    for p in sorted(image.rglob("*")):
        if p.is_file():
            print(f"  {p.stat().st_size:>10,}  {p.relative_to(image)}")
    if size > BUDGET:
        print(f"make_cd: the image is over its budget of {BUDGET:,} bytes", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
