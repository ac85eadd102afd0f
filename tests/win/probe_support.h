// What the Windows-side probes share: the real machine with the program's
// trace log and the options of one config.ini, and what they print (one
// "name=value" line per finding, in UTF-8, for the end-to-end tests to read).
#pragma once

#include "platform/win32/win_api.h"

#include <cstdio>
#include <string>

#include "core/option.h"
#include "core/trace_log.h"
#include "platform/win32/machine.h"
#include "utf8_out.h"

namespace devstart::probe {

// One probe run: the trace goes to Devstart.Log in the temporary folder, as
// the program's does.
struct Run {
  explicit Run(const std::wstring& config) {
    SetTraceLog(&log);
    CIni ini(machine().files, config);
    option.Load(ini);
  }
  Machine& machine() { return win32.machine(); }

  Win32Machine win32;
  TraceLog log{win32.machine()};
  COption option;
};

inline void Print(const char* name, const std::wstring& value) {
  std::printf("%s=%s\n", name, utf8out::Utf8(value).c_str());
}
inline void Print(const char* name, long long value) { std::printf("%s=%lld\n", name, value); }

}  // namespace devstart::probe
