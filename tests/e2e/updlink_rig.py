"""End-to-end rig of the live-update library: the simulated update server,
the simulated phone, cabinets, and the caller program that loads
P4_Updlink.dll as the sync software does.

Binaries: the library and its stand-ins come from UPDLINK_BIN when set, else
from the folder of DEVSTART_PROGRAM when the shipped 32-bit build is there
(the library is a 32-bit DLL, so its caller is 32-bit too), else from
DEVSTART_BIN. Each test runs its own server on a free port and points the
library at it through the registry value UPDATE_SERVER (see updlink.h).
"""
import json
import os
import pathlib
import re
import shutil
import socket
import struct
import subprocess

from winehost import ROOT

SYNC_KEY = r"HKEY_CURRENT_USER\Software\LowRegistry\Tavo Electronics Inc\TAVOSYNC"


def updlink_bin():
    if os.environ.get("UPDLINK_BIN"):
        return pathlib.Path(os.environ["UPDLINK_BIN"])
    program = os.environ.get("DEVSTART_PROGRAM")
    if program and (pathlib.Path(program).parent / "P4_Updlink.dll").exists():
        return pathlib.Path(program).parent
    return pathlib.Path(os.environ.get("DEVSTART_BIN", ROOT / "build" / "win64"))


def helper_bin():
    """The x86-64 build of the same sources (DEVSTART_BIN)."""
    return pathlib.Path(os.environ.get("DEVSTART_BIN", ROOT / "build" / "win64"))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def make_cab(path, entries):
    """An uncompressed cabinet holding `entries` [(name, bytes)] under exactly
    the names given, which gcab would normalise (for hostile names)."""
    data = b"".join(body for _, body in entries)
    blocks = [data[i:i + 32768] for i in range(0, len(data), 32768)] or [b""]
    files = b""
    offset = 0
    for name, body in entries:
        files += struct.pack("<IIHHHH", len(body), offset, 0, 0x5A21, 0x6000, 0x20) + name.encode("latin-1") + b"\0"
        offset += len(body)
    header_len, folder_len = 36, 8
    first_data = header_len + folder_len + len(files)
    cfdata = b"".join(struct.pack("<IHH", 0, len(b), len(b)) + b for b in blocks)
    total = first_data + len(cfdata)
    header = b"MSCF" + struct.pack("<IIIIIBBHHHHH", 0, total, 0, header_len + folder_len, 0, 3, 1, 1,
                                   len(entries), 0, 0x1234, 0)
    folder = struct.pack("<IHH", first_data, len(blocks), 0)
    pathlib.Path(path).write_bytes(header + folder + files + cfdata)


def gcab(cab, folder, names):
    """A cabinet made by gcab from files of `folder` (stored without path)."""
    subprocess.run(["gcab", "-c", str(cab), *names], cwd=folder, check=True)


class UpdateServer:
    def __init__(self, work, port):
        self.work, self.port = pathlib.Path(work), port
        self.scenario = self.work / "scenario.json"
        self.log = self.work / "requests.jsonl"
        self.files = self.work / "files"
        self.files.mkdir(parents=True, exist_ok=True)
        self.routes = {}
        self.proc = None
        self.origin = f"http://127.0.0.1:{port}"

    def script(self, routes=None, **more):
        if routes:
            self.routes.update(routes)
        self.routes.update(more)
        self.scenario.write_text(json.dumps({"routes": self.routes, "files": str(self.files)}))

    def start(self):
        if not self.scenario.exists():
            self.script()
        self.log.write_text("")
        self.proc = subprocess.Popen(
            ["/usr/bin/python3", str(ROOT / "sim" / "update_server.py"), "--port", str(self.port),
             "--scenario", str(self.scenario), "--log", str(self.log), "--files", str(self.files)],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        assert self.proc.stdout.readline().strip() == "ready"
        return self

    def stop(self):
        if self.proc:
            self.proc.terminate()
            self.proc.wait(timeout=10)
            self.proc = None

    def requests(self):
        if not self.log.exists():
            return []
        return [json.loads(line)["target"] for line in self.log.read_text().splitlines() if line]

    def paths(self):
        return [t.split("?")[0] for t in self.requests()]


def standard_routes(origin, model="AB100", buyer="TAV"):
    """Every request of a check answered: KIC mirror open and reachable."""
    row = ("<row><sw_version>P4.2</sw_version><sw_uri>{o}/files/global.exe</sw_uri>"
           "<sw_recommand_uri>{o}/files/kic.exe</sw_recommand_uri><sw_recommand_type>KIC/GLOBAL</sw_recommand_type>"
           "<sw_recommand_uri2>{o}/files/ruba.exe</sw_recommand_uri2><sw_recommand_type2>RUBA/GLOBAL</sw_recommand_type2>"
           "<sw_chk_uri>{o}/files/chk_kic.bin</sw_chk_uri><sw_chk_uri2>{o}/files/chk_ruba.bin</sw_chk_uri2></row>").format(o=origin)
    return {
        "/svc/popup/model_check.jsp": f"<check result='ok'><model>{model}</model><buyer>{buyer}</buyer></check>",
        "/csmg/b2c/client/ftp_country_info.jsp":
            "<countries result='OK'><totcount>1</totcount><row><country>Korea</country><country_code>KR</country_code>"
            "<country_isocode>KOR</country_isocode><region_code>K1</region_code></row></countries>",
        "/csmg/b2c/client/pcsync_ftp_upload_list.jsp": f"<list result='OK'>{row}</list>",
        "/csmg/b2c/client/pcsync_ftp_upload_testing.jsp": f"<list result='OK'>{row}</list>",
        "/csmg/b2c/client/ric_hit_rate_monitoring.jsp":
            "<hit result='OK'><pcsync_global>5</pcsync_global><pcsync_kic>1</pcsync_kic>"
            "<pcsync_kic_control_cnt>50</pcsync_kic_control_cnt><pcsync_ruba>1</pcsync_ruba>"
            "<pcsync_ruba_control_cnt>50</pcsync_ruba_control_cnt></hit>",
        "/csmg/b2c/client/ric_hit_rate_pcsync_log.jsp": "<log result='OK'></log>",
        "/csmg/b2c/client/auth_model_check.jsp":
            "<auth result='OK'><result>OK</result><sw_version>1.00a</sw_version></auth>",
    }


class UpdlinkRig:
    """One application folder with the caller, the library and the phone
    DLLs; a phone state file; a server on its own port."""

    def __init__(self, host, work, bin=None):
        self.host, self.work = host, pathlib.Path(work)
        shutil.rmtree(self.work, ignore_errors=True)
        self.bin = pathlib.Path(bin) if bin else updlink_bin()
        self.sim = self.bin / "sim" / "updlink"
        self.app = self.work / "app"
        self.app.mkdir(parents=True)
        for f in (self.bin / "P4_Updlink.dll", self.sim / "updlink_caller.exe", self.sim / "Phonelink.dll",
                  self.sim / "AuthDll.dll"):
            shutil.copy2(f, self.app / f.name)
        self.phone_file = self.work / "phone.txt"
        self.phone()
        self.server = UpdateServer(self.work / "server", free_port())
        self.server.script(standard_routes(self.server.origin))
        shutil.copy2(self.sim / "B2CAppSetup.exe", self.server.files / "B2CAppSetup.exe")
        (self.server.files / "chk_kic.bin").write_bytes(b"k" * 1500)
        (self.server.files / "chk_ruba.bin").write_bytes(b"r" * 1500)
        self.reg_values = {"UPDATE_SERVER": self.server.origin}

    def phone(self, count=1, serial="ESN0001", model="AB-100", software="1.0+A", auth_serial="AUTH77"):
        self.phone_file.write_text(
            f"count={count}\nserial={serial}\nmodel={model}\nsoftware={software}\nauth_serial={auth_serial}\n")

    def seed_registry(self, **values):
        self.reg_values.update(values)
        lines = [f"[{SYNC_KEY}]"] + [f'"{k}"="{v}"' for k, v in self.reg_values.items()]
        self.host.reg_import("\n".join(lines) + "\n")

    @property
    def app_data(self):
        return self.host.prefix / "drive_c" / "ProgramData" / "TAVOMOBILEAX"

    def run(self, *args, timeout=180):
        env = {"UPDLINK_PHONE_STATE": self.host.to_windows(self.phone_file)}
        code, out = self.host.run(self.app / "updlink_caller.exe", list(args), cwd=self.app, timeout=timeout, env=env)
        assert code == 0, out
        result = {}
        for line in out.splitlines():
            m = re.match(r"^([\w.]+)=(.*?)\r?$", line)
            if m:
                result[m.group(1)] = m.group(2)
        return result


def started_rig(host, request, work, bin=None):
    """A rig in a folder named after the scenario, its server started and the
    library's registry seeded."""
    name = request.node.name.replace("[", "-").replace("]", "").replace("/", "-")
    r = UpdlinkRig(host, work / name, bin)
    r.server.start()
    r.seed_registry()
    return r
