// Modules and their resources.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/results.h"

namespace devstart {

// What a guarded call came to: its result, or the exception that ended it.
// When the exception was a C++ `_com_error` thrown by Microsoft's compiler,
// `com_hresult` is the error it carried.
struct GuardedCall {
  int result = 0;
  bool raised = false;
  std::uint32_t code = 0;
  std::optional<std::int32_t> com_hresult;
};

// What a guarded load came to: the module (0 when none), GetLastError of a
// load that failed, or the exception the library's entry point raised.
struct GuardedLoad {
  Handle module = 0;
  std::uint32_t error = 0;
  bool raised = false;
  std::uint32_t code = 0;
};

class IModules {
 public:
  virtual ~IModules() = default;
  // A string of the program's own string tables, looked up by explicit
  // language (FindResourceExW on the string block), so every Windows and Wine
  // give the same answer whatever the thread's UI language is.
  virtual std::optional<std::wstring> LoadString(std::uint32_t id, std::uint16_t lang) = 0;
  // LoadLibraryA (0 on failure) and GetProcAddress (nullptr when missing).
  // Libraries loaded for the phone's identity are never freed.
  virtual Handle LoadLibraryA(const std::string& name) = 0;
  virtual void* GetProcAddress(Handle module, const std::string& name) = 0;
  // LoadLibraryW (0 on failure) and FreeLibrary, for the libraries the
  // program loads from its own folder for one call.
  virtual Handle LoadLibraryW(const std::wstring& path) = 0;
  virtual bool FreeLibrary(Handle module) = 0;
  // Runs `call` inside a structured-exception guard, so that an exception
  // raised by a foreign library (a C++ exception of another compiler reaches
  // this program only as one) ends the call instead of the process.
  virtual GuardedCall CallGuarded(const std::function<int()>& call) = 0;
  // LoadLibraryW of a full path inside the same guard: a library whose entry
  // point raises on attach fails its load instead of ending the process.
  virtual GuardedLoad LoadLibraryGuarded(const std::wstring& path) = 0;
  // SetDllDirectoryW(L""), looked up by name (Windows XP SP1 and later):
  // takes the current directory out of the search for libraries named
  // without a folder. False where the system has no such call.
  virtual bool DropCurrentDirectoryFromSearch() = 0;
};

}  // namespace devstart
