// Kernel objects.
#pragma once

#include <cstdint>
#include <string>

#include "platform/results.h"

namespace devstart {

struct MutexResult {
  Handle handle = kNullHandle;
  std::uint32_t error = 0;  // GetLastError right after CreateMutexW (ERROR_ALREADY_EXISTS)
};

// The calls every kernel handle shares, and the named mutexes.
class IKernelObjects {
 public:
  virtual ~IKernelObjects() = default;
  // Files, pipes, snapshots, processes, threads, tokens and mutexes.
  virtual bool CloseHandle(Handle h) = 0;
  virtual MutexResult CreateMutex(bool initial_owner, const std::wstring& name) = 0;
};

}  // namespace devstart
