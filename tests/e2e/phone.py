"""The simulated phone's state file, as the tests write and read it: the
setting block, the USB mode, results to inject, the log of every call. The
SCSI command library and the service read and update the same file
(C:\\sim-phone\\phone.txt in the prefix)."""
import pathlib


class Phone:
    def __init__(self, host):
        self.path = pathlib.Path(host.prefix) / "drive_c" / "sim-phone" / "phone.txt"

    def write(self, setting=(0x40, 0x0A, 0x00), mode=0, status=0x01, setting_results=(), mode1_results=(),
              mode2_results=(), extra=()):
        lines = [f"setting={' '.join(f'{b:02x}' for b in setting)}", f"mode={mode}", f"status={status:02x}"]
        for key, values in (("result.setting", setting_results), ("result.mode1", mode1_results),
                            ("result.mode2", mode2_results)):
            if values:
                lines.append(f"{key}={' '.join(str(v) for v in values)}")
        lines.extend(extra)
        self.path.parent.mkdir(parents=True, exist_ok=True)
        self.path.write_text("\r\n".join(lines) + "\r\n")

    def state(self):
        """Keys with their last value, and the call log as tuples."""
        values, calls = {}, []
        for line in self.path.read_text().splitlines():
            key, _, value = line.partition("=")
            if key == "call":
                drive, sub, kind, length, result = value.split()
                calls.append((drive, int(sub), int(kind), int(length), int(result)))
            elif key:
                values[key] = value
        return values, calls

    @property
    def calls(self):
        return self.state()[1]

    @property
    def mode(self):
        return int(self.state()[0]["mode"])
