// Win32 adapters of the device-channel ports: one system call per operation.
// The SCSI command library's adapter is in scsi_adapter.cpp, linked only into
// the program, since only the program imports SendScsiCmd.dll.
#pragma once

#include "platform/ports_device.h"

namespace devstart {

class Win32ScsiLibrary : public IScsiLibrary {
 public:
  int SendScsiCmd(int drive, int sub_code, int type, std::uint8_t* data, int length) override;
};

class Win32ServiceControl : public IServiceControl {
 public:
  HandleResult OpenSCManager(std::uint32_t access) override;
  HandleResult OpenService(Handle manager, const std::wstring& name, std::uint32_t access) override;
  HandleResult CreateService(Handle manager, const ServiceConfig& config) override;
  CallResult SetServiceDescription(Handle service, const std::wstring& description) override;
  ControlResult ControlService(Handle service, std::uint32_t control) override;
  CallResult StartService(Handle service) override;
  bool CloseServiceHandle(Handle h) override;
};

class Win32NamedPipes : public INamedPipes {
 public:
  HandleResult CreateFile(const std::wstring& name, std::uint32_t access, std::uint32_t share,
                          std::uint32_t disposition, std::uint32_t flags) override;
  CallResult WaitNamedPipe(const std::wstring& name, std::uint32_t timeout_ms) override;
  CallResult SetNamedPipeHandleState(Handle pipe, std::uint32_t mode) override;
  IoResult WriteFile(Handle pipe, const void* bytes, std::uint32_t size) override;
  IoResult ReadFile(Handle pipe, void* buffer, std::uint32_t size) override;
  bool CloseHandle(Handle h) override;
};

class Win32Security : public ISecurity {
 public:
  Handle GetCurrentProcess() override;
  HandleResult OpenProcessToken(Handle process, std::uint32_t access) override;
  std::optional<std::vector<std::uint8_t>> CreateWellKnownSid(std::uint32_t type, std::uint32_t buffer_size,
                                                              std::uint32_t* error) override;
  CallResult CheckTokenMembership(Handle token, const std::vector<std::uint8_t>& sid, bool* is_member) override;
  HandleResult GetLinkedToken(Handle token) override;
  CallResult LookupPrivilegeValue(const std::wstring& name, Luid* luid) override;
  CallResult AdjustTokenPrivileges(Handle token, const Luid& luid, std::uint32_t attributes) override;
  bool CloseHandle(Handle h) override;
};

class Win32FileSystem : public IFileSystem {
 public:
  std::wstring GetSpecialFolder(int csidl) override;
  CallResult CreateDirectory(const std::wstring& path) override;
  CallResult RemoveDirectory(const std::wstring& path) override;
  CallResult DeleteFile(const std::wstring& path) override;
  CallResult SetFileAttributes(const std::wstring& path, std::uint32_t attributes) override;
  CallResult CopyFile(const std::wstring& from, const std::wstring& to, bool fail_if_exists) override;
  FindResult FindFirstFile(const std::wstring& pattern) override;
  std::optional<FindData> FindNextFile(Handle find) override;
  bool FindClose(Handle find) override;
};

class Win32Clock : public IClock {
 public:
  void Sleep(std::uint32_t ms) override;
};

}  // namespace devstart
