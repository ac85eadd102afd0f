// Ports of the system inspection and process control: registry with views and
// access masks, version resources, process snapshots, top-level windows,
// ShellExecuteExW, process handles and waits that dispatch messages, native
// system facts. Arguments are passed through unchanged so a test can see the
// exact mask, verb or flag the program used.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/ports.h"

namespace devstart {

namespace win {

// Predefined registry keys: the HKEY values, which are sign-extended 32-bit
// numbers (so they differ between 32- and 64-bit builds).
constexpr std::uintptr_t kHkeyCurrentUser = static_cast<std::uintptr_t>(static_cast<std::intptr_t>(-0x7FFFFFFF));
constexpr std::uintptr_t kHkeyLocalMachine = static_cast<std::uintptr_t>(static_cast<std::intptr_t>(-0x7FFFFFFE));

constexpr std::uint32_t kKeyRead = 0x20019;
constexpr std::uint32_t kKeyAllAccess = 0xF003F;
constexpr std::uint32_t kKeyWow64_64Key = 0x0100;
constexpr std::uint32_t kKeyWow64_32Key = 0x0200;
constexpr std::uint32_t kRegOptionNonVolatile = 0;
constexpr std::uint32_t kRegCreatedNewKey = 1;
constexpr std::uint32_t kRegOpenedExistingKey = 2;

constexpr std::uint32_t kRegNone = 0;
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;

// ERROR_MORE_DATA as a registry status (LSTATUS is signed).
constexpr std::int32_t kRegErrorMoreData = 234;
constexpr std::int32_t kErrorInvalidHandle = 6;

constexpr std::uint32_t kTh32csSnapProcess = 0x2;
constexpr std::uint32_t kSeeMaskNoCloseProcess = 0x40;
constexpr std::uint32_t kSeeMaskFlagNoUi = 0x400;
constexpr int kSwShow = 5;

constexpr std::uint32_t kWaitObject0 = 0;
constexpr std::uint32_t kWaitTimeout = 258;
constexpr std::uint32_t kWaitFailed = 0xFFFFFFFFu;
constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;
constexpr std::uint32_t kQsAllInput = 0x04FF;

constexpr std::uint16_t kProcessorArchitectureIntel = 0;
constexpr std::uint16_t kProcessorArchitectureIa64 = 6;
constexpr std::uint16_t kProcessorArchitectureAmd64 = 9;
constexpr int kCsidlProgramFiles = 0x26;

constexpr std::uint32_t kMbOkCancel = 0x1;
constexpr std::uint32_t kMbIconQuestion = 0x20;
constexpr std::uint32_t kMbIconWarning = 0x30;

}  // namespace win

// Registry key handle (an HKEY value).
using RegKey = std::uintptr_t;

// RegQueryValueExW into a caller buffer of `buffer_bytes` bytes.
struct RegValueRead {
  std::int32_t status = 0;       // the call's result (ERROR_MORE_DATA when too small)
  std::uint32_t type = 0;
  std::uint32_t size = 0;        // byte count the call reported
  std::vector<std::uint8_t> data;  // the bytes written into the buffer on success
};

class IRegistry {
 public:
  virtual ~IRegistry() = default;
  // RegCreateKeyExW with no class and no security attributes.
  virtual std::int32_t RegCreateKeyEx(RegKey parent, const std::wstring& sub_key, std::uint32_t options,
                                      std::uint32_t sam, RegKey* key, std::uint32_t* disposition) = 0;
  virtual RegValueRead RegQueryValueEx(RegKey key, const std::wstring& name, std::uint32_t buffer_bytes) = 0;
  virtual std::int32_t RegSetValueEx(RegKey key, const std::wstring& name, std::uint32_t type,
                                     const std::vector<std::uint8_t>& data) = 0;
  virtual std::int32_t RegCloseKey(RegKey key) = 0;
};

// The version fields of VS_FIXEDFILEINFO the program uses, plus the rest of
// the 52-byte block as raw words.
struct FixedFileInfo {
  std::uint32_t signature = 0;
  std::uint32_t struc_version = 0;
  std::uint32_t file_version_ms = 0;
  std::uint32_t file_version_ls = 0;
  std::uint32_t product_version_ms = 0;
  std::uint32_t product_version_ls = 0;
};

class IVersionInfo {
 public:
  virtual ~IVersionInfo() = default;
  // GetFileVersionInfoSizeW; `handle` receives the value the call returns.
  virtual std::uint32_t GetFileVersionInfoSize(const std::wstring& path, std::uint32_t* handle) = 0;
  // GetFileVersionInfoW into a block of `size` bytes.
  virtual bool GetFileVersionInfo(const std::wstring& path, std::uint32_t handle, std::uint32_t size,
                                  std::vector<std::uint8_t>* block) = 0;
  // VerQueryValueW of the root block "\".
  virtual std::optional<FixedFileInfo> VerQueryRoot(const std::vector<std::uint8_t>& block) = 0;
};

struct ProcessEntry {
  std::uint32_t th32ProcessID = 0;
  std::wstring szExeFile;
};

struct ShellExecuteResult {
  bool ok = false;
  Handle process = kNullHandle;  // hProcess with SEE_MASK_NOCLOSEPROCESS
  std::uint32_t last_error = 0;
};

// Processes and the thread's messages.
class IProcesses {
 public:
  virtual ~IProcesses() = default;
  // CreateToolhelp32Snapshot; kInvalidHandle on failure.
  virtual Handle CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t process_id) = 0;
  // Process32FirstW / Process32NextW with dwSize 556; nullopt when the call fails.
  virtual std::optional<ProcessEntry> Process32First(Handle snapshot) = 0;
  virtual std::optional<ProcessEntry> Process32Next(Handle snapshot) = 0;
  virtual bool CloseHandle(Handle h) = 0;
  // ShellExecuteExW with a record of size 60, no owner and no directory.
  virtual ShellExecuteResult ShellExecuteEx(std::uint32_t mask, const std::wstring& verb,
                                            const std::wstring& file, const std::wstring& parameters,
                                            int show) = 0;
  // "GetProcessId" looked up in kernel32.dll; nullopt when it is missing.
  virtual std::optional<std::uint32_t> GetProcessIdByName(Handle process) = 0;
  // "NtQueryInformationProcess" of ntdll.dll, basic information class (0),
  // its UniqueProcessId; nullopt when the entry point is missing or fails.
  virtual std::optional<std::uint32_t> NtQueryProcessIdByName(Handle process) = 0;
  // MsgWaitForMultipleObjects with wait-any.
  virtual std::uint32_t MsgWaitForMultipleObjects(const std::vector<Handle>& handles, std::uint32_t timeout_ms,
                                                  std::uint32_t wake_mask) = 0;
  // PeekMessageW with PM_REMOVE, then TranslateMessage and DispatchMessageW;
  // false when the thread had no message.
  virtual bool DispatchOneMessage() = 0;
  virtual void Sleep(std::uint32_t ms) = 0;
};

// Top-level windows of other programs.
class IWindowSearch {
 public:
  virtual ~IWindowSearch() = default;
  // FindWindowW; an empty class or title is passed as NULL (any).
  virtual WindowHandle FindWindow(const std::wstring& class_name, const std::wstring& title) = 0;
  virtual bool PostMessage(WindowHandle w, std::uint32_t msg, std::uintptr_t wparam, std::intptr_t lparam) = 0;
};

class INativeSystem {
 public:
  virtual ~INativeSystem() = default;
  // "GetNativeSystemInfo" looked up in kernel32.dll: wProcessorArchitecture;
  // nullopt when the function is missing.
  virtual std::optional<std::uint16_t> GetNativeSystemInfoByName() = 0;
  // GetSystemInfo: wProcessorArchitecture.
  virtual std::uint16_t GetSystemInfo() = 0;
  // SHGetSpecialFolderPathW with no owner; nullopt when it fails.
  virtual std::optional<std::wstring> SHGetSpecialFolderPath(int csidl, bool create) = 0;
  // FindFirstFileW followed by FindClose: whether the search found an entry.
  virtual bool FindFirstFileFinds(const std::wstring& path) = 0;
};

}  // namespace devstart
