// Small OS interfaces in Win32 vocabulary. The logic of the program talks only
// to these; platform/win32 implements them with the real calls and tests/fake
// with an in-memory PC. Arguments and results keep their Win32 meaning so a
// test can see exactly what the program asked of the system.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32_values.h"

namespace devstart {

// Opaque handle value as the system gives it; kInvalidHandle is
// INVALID_HANDLE_VALUE, 0 is NULL.
using Handle = std::uintptr_t;
constexpr Handle kInvalidHandle = static_cast<Handle>(-1);
constexpr Handle kNullHandle = 0;

// The fields of OSVERSIONINFOEXW that decisions use.
struct OsVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t build = 0;
  std::uint32_t platform_id = 0;
  std::uint16_t service_pack_major = 0;
  std::uint8_t product_type = 0;  // VER_NT_WORKSTATION, VER_NT_SERVER, ...
};

// Process and system facts.
class ISystem {
 public:
  virtual ~ISystem() = default;
  // GetTempPathW: the folder with its trailing backslash; empty on failure.
  virtual std::wstring GetTempPath() = 0;
  virtual std::wstring GetCurrentDirectory() = 0;
  // GetModuleFileNameW(NULL).
  virtual std::wstring GetModuleFileName() = 0;
  // GetVersionExW with the extended record; nullopt when the call fails.
  virtual std::optional<OsVersion> GetVersion() = 0;
  virtual std::uint16_t GetUserDefaultUILanguage() = 0;
  // SetThreadUILanguage looked up by name in kernel32.dll; nullopt when the
  // library or the function is missing, else the function's result.
  virtual std::optional<std::uint16_t> SetThreadUILanguageByName(std::uint16_t lang) = 0;
  virtual bool SetThreadLocale(std::uint32_t lcid) = 0;
  virtual std::uint32_t GetTickCount() = 0;
  virtual void OutputDebugString(const std::wstring& text) = 0;
};

// Files, as the trace log needs them.
class IFiles {
 public:
  virtual ~IFiles() = default;
  // CreateFileW; returns kInvalidHandle on failure.
  virtual Handle CreateFile(const std::wstring& path, std::uint32_t access, std::uint32_t share,
                            std::uint32_t disposition, std::uint32_t attributes) = 0;
  // WriteFile at the current position; returns the BOOL result.
  virtual bool WriteFile(Handle file, const void* bytes, std::uint32_t size) = 0;
  virtual bool CloseHandle(Handle h) = 0;
};

// GetPrivateProfileStringW. `size` is the buffer size in characters; the
// result holds what Windows copied (without the terminator) and its return
// value (the copied length, size - 1 when the value was cut).
struct ProfileRead {
  std::wstring text;
  std::uint32_t returned = 0;
};
class IProfile {
 public:
  virtual ~IProfile() = default;
  virtual ProfileRead GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                              const std::wstring& default_value,
                                              std::uint32_t size, const std::wstring& file) = 0;
};

// Named kernel objects.
struct MutexResult {
  Handle handle = kNullHandle;
  std::uint32_t last_error = 0;  // GetLastError right after CreateMutexW
};
class ISync {
 public:
  virtual ~ISync() = default;
  virtual MutexResult CreateMutex(bool initial_owner, const std::wstring& name) = 0;
  virtual bool CloseHandle(Handle h) = 0;
};

// Top-level windows of other processes, as the second instance needs them.
using WindowHandle = std::uintptr_t;
class IWindows {
 public:
  virtual ~IWindows() = default;
  // FindWindowW with a class name (empty = any class) and a title.
  virtual WindowHandle FindWindow(const std::wstring& class_name, const std::wstring& title) = 0;
  virtual bool SetWindowPos(WindowHandle w, WindowHandle insert_after, int x, int y, int cx, int cy,
                            std::uint32_t flags) = 0;
  virtual std::intptr_t SendMessage(WindowHandle w, std::uint32_t msg, std::uintptr_t wparam,
                                    std::intptr_t lparam) = 0;
  // MessageBoxW; returns the button pressed.
  virtual int MessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
                         std::uint32_t type) = 0;
};

// String-table resources of the program's own module, looked up by explicit
// language (FindResourceExW on the string block), so every Windows and Wine
// give the same answer whatever the thread's UI language is.
class IStringResources {
 public:
  virtual ~IStringResources() = default;
  virtual std::optional<std::wstring> LoadString(std::uint32_t id, std::uint16_t lang) = 0;
};

}  // namespace devstart
