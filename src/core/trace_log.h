// The program's trace log: "Devstart.Log" in the user's temporary folder,
// UTF-16LE lines ended by CR LF, each prefixed with the milliseconds since the
// log was created; every line also goes to an attached debugger. Support reads
// this file, so its form is part of the contract.
#pragma once

#include <string>

#include "platform/handles.h"
#include "platform/machine.h"

namespace devstart {

class TraceLog {
 public:
  explicit TraceLog(const Machine& machine);
  TraceLog(const TraceLog&) = delete;
  TraceLog& operator=(const TraceLog&) = delete;

  void Trace(const std::wstring& message);

  const std::wstring& path() const { return path_; }

 private:
  ISystemInfo& system_;
  IFileSystem& files_;
  std::uint32_t start_tick_ = 0;
  std::wstring path_;
  UniqueFile file_;
};

// The process's one log: the entry point installs it once it is open, tests
// install their own.
void SetTraceLog(TraceLog* log);

// The usual call: get the log, then trace.
void Trace(const std::wstring& message);

}  // namespace devstart
