// The simulated phone as the identity DLLs see it: a small text file named by
// the environment variable UPDLINK_PHONE_STATE, one "key=value" per line:
//   count=1          phones attached (0 = none; a missing file also means none)
//   serial=ESN0001   the serial (ESN) the phone reports; empty = read fails
//   model=AB-100     model name as the phone spells it
//   software=1.0+A   phone software version
//   auth_serial=...  what AuthDll's GetPhoneInfo answers
// Independent of the SCSI phone stand-in: only these DLLs read it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

struct PhoneState {
  int count = 0;
  std::string serial, model, software, authSerial;
};

inline PhoneState ReadPhoneState() {
  PhoneState s;
  const char* path = std::getenv("UPDLINK_PHONE_STATE");
  if (!path || !*path) return s;
  FILE* f = std::fopen(path, "rb");
  if (!f) return s;
  char line[512];
  while (std::fgets(line, sizeof line, f)) {
    std::string l(line);
    while (!l.empty() && (l.back() == '\n' || l.back() == '\r')) l.pop_back();
    auto eq = l.find('=');
    if (eq == std::string::npos) continue;
    std::string k = l.substr(0, eq), v = l.substr(eq + 1);
    if (k == "count") s.count = std::atoi(v.c_str());
    else if (k == "serial") s.serial = v;
    else if (k == "model") s.model = v;
    else if (k == "software") s.software = v;
    else if (k == "auth_serial") s.authSerial = v;
  }
  std::fclose(f);
  return s;
}

inline void CopyText(char* dest, std::size_t size, const std::string& text) {
  std::snprintf(dest, size, "%s", text.c_str());
}
