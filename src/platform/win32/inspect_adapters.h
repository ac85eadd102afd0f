// Win32 adapters of the inspection and process-control ports.
#pragma once

#include "platform/ports_inspect.h"

namespace devstart {

class Win32Registry : public IRegistry {
 public:
  std::int32_t RegCreateKeyEx(RegKey parent, const std::wstring& sub_key, std::uint32_t options, std::uint32_t sam,
                              RegKey* key, std::uint32_t* disposition) override;
  RegValueRead RegQueryValueEx(RegKey key, const std::wstring& name, std::uint32_t buffer_bytes) override;
  std::int32_t RegSetValueEx(RegKey key, const std::wstring& name, std::uint32_t type,
                             const std::vector<std::uint8_t>& data) override;
  std::int32_t RegCloseKey(RegKey key) override;
};

class Win32VersionInfo : public IVersionInfo {
 public:
  std::uint32_t GetFileVersionInfoSize(const std::wstring& path, std::uint32_t* handle) override;
  bool GetFileVersionInfo(const std::wstring& path, std::uint32_t handle, std::uint32_t size,
                          std::vector<std::uint8_t>* block) override;
  std::optional<FixedFileInfo> VerQueryRoot(const std::vector<std::uint8_t>& block) override;
};

class Win32Processes : public IProcesses {
 public:
  Handle CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t process_id) override;
  std::optional<ProcessEntry> Process32First(Handle snapshot) override;
  std::optional<ProcessEntry> Process32Next(Handle snapshot) override;
  bool CloseHandle(Handle h) override;
  ShellExecuteResult ShellExecuteEx(std::uint32_t mask, const std::wstring& verb, const std::wstring& file,
                                    const std::wstring& parameters, int show) override;
  std::optional<std::uint32_t> GetProcessIdByName(Handle process) override;
  std::optional<std::uint32_t> NtQueryProcessIdByName(Handle process) override;
  std::uint32_t MsgWaitForMultipleObjects(const std::vector<Handle>& handles, std::uint32_t timeout_ms,
                                          std::uint32_t wake_mask) override;
  bool DispatchOneMessage() override;
  void Sleep(std::uint32_t ms) override;
};

class Win32WindowSearch : public IWindowSearch {
 public:
  WindowHandle FindWindow(const std::wstring& class_name, const std::wstring& title) override;
  bool PostMessage(WindowHandle w, std::uint32_t msg, std::uintptr_t wparam, std::intptr_t lparam) override;
};

class Win32NativeSystem : public INativeSystem {
 public:
  std::optional<std::uint16_t> GetNativeSystemInfoByName() override;
  std::uint16_t GetSystemInfo() override;
  std::optional<std::wstring> SHGetSpecialFolderPath(int csidl, bool create) override;
  bool FindFirstFileFinds(const std::wstring& path) override;
};

}  // namespace devstart
