// Ports of the device command channel and of the account and staging-folder
// checks: the SCSI command library, the service control manager, named pipes,
// the process token, and the file operations of the staging folder. Like the
// other ports they pass Win32 arguments through unchanged and report the
// Windows error code of every failure, so the logic can decide on it and a
// test can see exactly what was asked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/ports.h"
#include "platform/win32_device_values.h"

namespace devstart {

// A BOOL-returning call and GetLastError right after it (0 on success).
struct CallResult {
  bool ok = false;
  std::uint32_t error = 0;
};

// A handle-returning call; `handle` is what Windows returned (NULL or
// INVALID_HANDLE_VALUE on failure, depending on the call).
struct HandleResult {
  Handle handle = kNullHandle;
  std::uint32_t error = 0;
};

// The outside SCSI command library, "SendScsiCmd.dll". `data` points to the
// caller's reply buffer; the result is the number of bytes transferred or a
// negative code.
class IScsiLibrary {
 public:
  virtual ~IScsiLibrary() = default;
  virtual int SendScsiCmd(int drive, int sub_code, int type, std::uint8_t* data, int length) = 0;
};

// What CreateServiceW is given besides the manager handle.
struct ServiceConfig {
  std::wstring name;
  std::wstring display_name;
  std::uint32_t desired_access = 0;
  std::uint32_t service_type = 0;
  std::uint32_t start_type = 0;
  std::uint32_t error_control = 0;
  std::wstring binary_path;
};

// ControlService: its BOOL, the error, and the SERVICE_STATUS fields the
// program reads (zero when Windows did not fill the record).
struct ControlResult {
  bool ok = false;
  std::uint32_t error = 0;
  std::uint32_t current_state = 0;
};

// The service control manager of the local machine.
class IServiceControl {
 public:
  virtual ~IServiceControl() = default;
  // OpenSCManagerW(NULL, NULL, access).
  virtual HandleResult OpenSCManager(std::uint32_t access) = 0;
  virtual HandleResult OpenService(Handle manager, const std::wstring& name, std::uint32_t access) = 0;
  virtual HandleResult CreateService(Handle manager, const ServiceConfig& config) = 0;
  // ChangeServiceConfig2W with SERVICE_CONFIG_DESCRIPTION.
  virtual CallResult SetServiceDescription(Handle service, const std::wstring& description) = 0;
  virtual ControlResult ControlService(Handle service, std::uint32_t control) = 0;
  // StartServiceW with no arguments.
  virtual CallResult StartService(Handle service) = 0;
  virtual bool CloseServiceHandle(Handle h) = 0;
};

// A ReadFile or WriteFile on a pipe: the BOOL, the error, the bytes moved.
struct IoResult {
  bool ok = false;
  std::uint32_t error = 0;
  std::uint32_t transferred = 0;
};

// The client side of a named pipe.
class INamedPipes {
 public:
  virtual ~INamedPipes() = default;
  // CreateFileW(name, access, share, NULL, disposition, flags, NULL);
  // INVALID_HANDLE_VALUE on failure.
  virtual HandleResult CreateFile(const std::wstring& name, std::uint32_t access, std::uint32_t share,
                                  std::uint32_t disposition, std::uint32_t flags) = 0;
  virtual CallResult WaitNamedPipe(const std::wstring& name, std::uint32_t timeout_ms) = 0;
  // SetNamedPipeHandleState with a read mode, collection count and time-out
  // left unchanged (NULL).
  virtual CallResult SetNamedPipeHandleState(Handle pipe, std::uint32_t mode) = 0;
  virtual IoResult WriteFile(Handle pipe, const void* bytes, std::uint32_t size) = 0;
  virtual IoResult ReadFile(Handle pipe, void* buffer, std::uint32_t size) = 0;
  virtual bool CloseHandle(Handle h) = 0;
};

// A locally unique identifier (LUID) of a privilege.
struct Luid {
  std::uint32_t low = 0;
  std::int32_t high = 0;
};

// Token membership and privileges of the current process.
class ISecurity {
 public:
  virtual ~ISecurity() = default;
  // GetCurrentProcess(): the pseudo handle.
  virtual Handle GetCurrentProcess() = 0;
  virtual HandleResult OpenProcessToken(Handle process, std::uint32_t access) = 0;
  // CreateWellKnownSid(type, NULL, ...) into a buffer of `buffer_size` bytes.
  virtual std::optional<std::vector<std::uint8_t>> CreateWellKnownSid(std::uint32_t type,
                                                                      std::uint32_t buffer_size,
                                                                      std::uint32_t* error) = 0;
  // CheckTokenMembership; token kNullHandle means the caller's effective token.
  virtual CallResult CheckTokenMembership(Handle token, const std::vector<std::uint8_t>& sid, bool* is_member) = 0;
  // GetTokenInformation(TokenLinkedToken): the linked token's handle.
  virtual HandleResult GetLinkedToken(Handle token) = 0;
  // LookupPrivilegeValueW(NULL, name, ...).
  virtual CallResult LookupPrivilegeValue(const std::wstring& name, Luid* luid) = 0;
  // AdjustTokenPrivileges with one privilege and no previous state.
  virtual CallResult AdjustTokenPrivileges(Handle token, const Luid& luid, std::uint32_t attributes) = 0;
  virtual bool CloseHandle(Handle h) = 0;
};

// One WIN32_FIND_DATAW, the fields the staging folder needs.
struct FindData {
  std::uint32_t attributes = 0;
  std::uint32_t reparse_tag = 0;  // dwReserved0 when attributes has REPARSE_POINT
  std::wstring name;
};
struct FindResult {
  Handle handle = kInvalidHandle;
  std::uint32_t error = 0;
  FindData data;
};

// Folders and files of the staging folder and the system folder.
class IFileSystem {
 public:
  virtual ~IFileSystem() = default;
  // SHGetFolderPathW(NULL, csidl, NULL, 0, ...) ; empty on failure.
  virtual std::wstring GetSpecialFolder(int csidl) = 0;
  virtual CallResult CreateDirectory(const std::wstring& path) = 0;
  virtual CallResult RemoveDirectory(const std::wstring& path) = 0;
  virtual CallResult DeleteFile(const std::wstring& path) = 0;
  virtual CallResult SetFileAttributes(const std::wstring& path, std::uint32_t attributes) = 0;
  virtual CallResult CopyFile(const std::wstring& from, const std::wstring& to, bool fail_if_exists) = 0;
  virtual FindResult FindFirstFile(const std::wstring& pattern) = 0;
  // FindNextFileW; nullopt when it fails (no more files included).
  virtual std::optional<FindData> FindNextFile(Handle find) = 0;
  virtual bool FindClose(Handle find) = 0;
};

// Sleep.
class IClock {
 public:
  virtual ~IClock() = default;
  virtual void Sleep(std::uint32_t ms) = 0;
};

}  // namespace devstart
