// Services and pipes.
#pragma once

#include <cstdint>
#include <string>

#include "platform/results.h"

namespace devstart {

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

// ControlService: its BOOL, the error, and the SERVICE_STATUS field the
// program reads (zero when Windows did not fill the record).
struct ControlResult {
  bool ok = false;
  std::uint32_t error = 0;
  std::uint32_t current_state = 0;
};

// The service control manager of the local machine and the client calls of
// named pipes (a pipe is opened, written and read through IFileSystem).
class IServices {
 public:
  virtual ~IServices() = default;
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
  virtual CallResult WaitNamedPipe(const std::wstring& name, std::uint32_t timeout_ms) = 0;
  // SetNamedPipeHandleState with a read mode, collection count and time-out
  // left unchanged (NULL).
  virtual CallResult SetNamedPipeHandleState(Handle pipe, std::uint32_t mode) = 0;
  // PeekNamedPipe without copying: `transferred` is the total byte count
  // ready to read. Fails once the other end has let go and nothing is left.
  virtual IoResult PeekNamedPipe(Handle pipe) = 0;
};

}  // namespace devstart
