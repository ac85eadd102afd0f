// The device side of the simulated PC: the phone behind the SCSI command
// library, the service control manager (and the client calls of pipes that
// belong to it), and the process token. "Windows XP, standard user, service
// stopped" is a few assignments.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fake/sim_files.h"
#include "fake/sim_kernel.h"
#include "phone/phone_model.h"

namespace devstart::sim {

// SendScsiCmd.dll in front of the simulated phone.
class FakeScsiLibrary : public IScsiLibrary {
 public:
  simphone::PhoneModel model;
  int SendScsiCmd(int drive, int sub_code, int type, std::uint8_t* data, int length) override {
    return model.Send(drive, sub_code, type, data, length);
  }
};

// The service control manager. Services are kept by name; a test sets a
// service's state, and scripts failures of the manager itself. The pipe
// calls go to the pipe server.
class FakeServices : public IServices {
 public:
  explicit FakeServices(PipeServer& pipes) : pipes_(pipes) {}
  struct Service {
    ServiceConfig config;
    std::wstring description;
    std::uint32_t state = win::kServiceStopped;
    // What StartService does: the state it leaves (start-pending services
    // stay so until a test moves them on).
    std::uint32_t state_after_start = win::kServiceRunning;
    // Access rights this user may not have (OpenService fails with 5).
    std::uint32_t denied_access = 0;
    int starts = 0;
  };
  std::map<std::wstring, Service> services;  // by folded name
  bool open_manager_fails = false;
  std::uint32_t manager_denied_access = 0;   // e.g. SC_MANAGER_CREATE_SERVICE for a standard user
  bool description_fails = false;
  std::optional<std::uint32_t> create_error;  // CreateService fails with this
  // Every manager call, e.g. "OpenSCManager 0x1", "ControlService 4".
  std::vector<std::wstring> calls;
  std::set<Handle> open_handles;

  Service* Find(const std::wstring& name);
  Service& Add(const std::wstring& name, std::uint32_t state);

  HandleResult OpenSCManager(std::uint32_t access) override;
  HandleResult OpenService(Handle manager, const std::wstring& name, std::uint32_t access) override;
  HandleResult CreateService(Handle manager, const ServiceConfig& config) override;
  CallResult SetServiceDescription(Handle service, const std::wstring& description) override;
  ControlResult ControlService(Handle service, std::uint32_t control) override;
  CallResult StartService(Handle service) override;
  bool CloseServiceHandle(Handle h) override;
  CallResult WaitNamedPipe(const std::wstring& name, std::uint32_t timeout_ms) override {
    return pipes_.Wait(name, timeout_ms);
  }
  CallResult SetNamedPipeHandleState(Handle pipe, std::uint32_t mode) override { return pipes_.SetState(pipe, mode); }
  IoResult PeekNamedPipe(Handle pipe) override { return pipes_.Peek(pipe); }

 private:
  PipeServer& pipes_;
  std::map<Handle, std::wstring> handles_;  // service handles -> folded name; managers -> ""
  // Apart from kernel handles: CloseHandle never takes one of these.
  Handle next_ = 0xC00000;
};

// The process token: membership of Administrators in the effective token and
// in the linked token, and the privileges switched on.
class FakeSecurity : public ISecurity, public KernelObjectOwner {
 public:
  explicit FakeSecurity(KernelHandles& handles) : handles_(handles) {}
  bool admin = false;                            // enabled in the effective token
  std::optional<bool> linked_admin;              // nullopt: no linked token
  std::uint32_t no_linked_error = win::kErrorNoSuchLogonSession;
  std::optional<std::uint32_t> open_token_error;
  std::optional<std::uint32_t> check_membership_error;
  bool lookup_privilege_fails = false;
  bool adjust_fails = false;
  std::vector<std::wstring> enabled_privileges;
  std::vector<std::uint32_t> token_access_asked;
  std::set<Handle> open_handles;

  // The pseudo handle (-1) Windows gives.
  Handle GetCurrentProcess() override { return static_cast<Handle>(-1); }
  HandleResult OpenProcessToken(Handle process, std::uint32_t access) override;
  std::optional<std::vector<std::uint8_t>> CreateWellKnownSid(std::uint32_t type, std::uint32_t buffer_size,
                                                              std::uint32_t* error) override;
  CallResult CheckTokenMembership(Handle token, const std::vector<std::uint8_t>& sid, bool* is_member) override;
  HandleResult GetLinkedToken(Handle token) override;
  CallResult LookupPrivilegeValue(const std::wstring& name, Luid* luid) override;
  CallResult AdjustTokenPrivileges(Handle token, const Luid& luid, std::uint32_t attributes) override;

  bool Release(Handle h) override { return open_handles.erase(h) == 1; }

 private:
  KernelHandles& handles_;
  Handle linked_ = kNullHandle;
  std::wstring looked_up_;
};

}  // namespace devstart::sim
