// The owning handle of each kind the logic holds, each closed by its own call
// through its own port. Kernel handles come in two kinds because Windows
// reports a failed open differently: NULL for processes, tokens and mutexes,
// INVALID_HANDLE_VALUE for files, pipes and snapshots.
#pragma once

#include "platform/ports.h"
#include "platform/scoped_handle.h"

namespace devstart {

struct KernelHandleTraits {
  using Port = IKernelObjects;
  using Value = Handle;
  static constexpr Value kInvalid = kNullHandle;
  static void Close(Port& port, Value v) { port.CloseHandle(v); }
};
struct KernelFileTraits {
  using Port = IKernelObjects;
  using Value = Handle;
  static constexpr Value kInvalid = kInvalidHandle;
  static void Close(Port& port, Value v) { port.CloseHandle(v); }
};
struct FindHandleTraits {
  using Port = IFileSystem;
  using Value = Handle;
  static constexpr Value kInvalid = kInvalidHandle;
  static void Close(Port& port, Value v) { port.FindClose(v); }
};
struct RegKeyTraits {
  using Port = IRegistry;
  using Value = RegKey;
  static constexpr Value kInvalid = 0;
  static void Close(Port& port, Value v) { port.RegCloseKey(v); }
};
struct ServiceHandleTraits {
  using Port = IServices;
  using Value = Handle;
  static constexpr Value kInvalid = kNullHandle;
  static void Close(Port& port, Value v) { port.CloseServiceHandle(v); }
};

struct InternetHandleTraits {
  using Port = IInternet;
  using Value = Handle;
  static constexpr Value kInvalid = 0;
  static void Close(Port& port, Value v) { port.InternetCloseHandle(v); }
};

struct ModuleHandleTraits {
  using Port = IModules;
  using Value = Handle;
  static constexpr Value kInvalid = 0;
  static void Close(Port& port, Value v) { port.FreeLibrary(v); }
};

// Processes, threads, tokens, mutexes.
using UniqueHandle = ScopedHandle<KernelHandleTraits>;
// Files, pipes, process snapshots.
using UniqueFile = ScopedHandle<KernelFileTraits>;
using UniqueFind = ScopedHandle<FindHandleTraits>;
using UniqueKey = ScopedHandle<RegKeyTraits>;
using UniqueService = ScopedHandle<ServiceHandleTraits>;
using UniqueInternet = ScopedHandle<InternetHandleTraits>;
// Libraries loaded by LoadLibrary.
using UniqueModule = ScopedHandle<ModuleHandleTraits>;

}  // namespace devstart
