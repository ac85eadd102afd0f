#include "fake/sim_services.h"

namespace devstart::sim {

namespace {
constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorServiceAlreadyRunning = 1056;
constexpr std::uint32_t kErrorInsufficientBuffer = 122;
constexpr std::uint32_t kErrorNoSuchPrivilege = 1313;
}  // namespace

// ---- service control manager ---------------------------------------------

FakeServices::Service* FakeServices::Find(const std::wstring& name) {
  auto it = services.find(Fold(name));
  return it == services.end() ? nullptr : &it->second;
}

FakeServices::Service& FakeServices::Add(const std::wstring& name, std::uint32_t state) {
  Service& s = services[Fold(name)];
  s.config.name = name;
  s.state = state;
  return s;
}

HandleResult FakeServices::OpenSCManager(std::uint32_t access) {
  calls.push_back(L"OpenSCManager " + Hex(access));
  if (open_manager_fails || (access & manager_denied_access) != 0) return {kNullHandle, win::kErrorAccessDenied};
  Handle h = next_++;
  handles_[h] = L"";
  open_handles.insert(h);
  return {h, 0};
}

HandleResult FakeServices::OpenService(Handle manager, const std::wstring& name, std::uint32_t access) {
  calls.push_back(L"OpenService " + name + L" " + Hex(access));
  if (handles_.count(manager) == 0) return {kNullHandle, kErrorInvalidHandle};
  Service* s = Find(name);
  if (s == nullptr) return {kNullHandle, win::kErrorServiceDoesNotExist};
  if ((access & s->denied_access) != 0) return {kNullHandle, win::kErrorAccessDenied};
  Handle h = next_++;
  handles_[h] = Fold(name);
  open_handles.insert(h);
  return {h, 0};
}

HandleResult FakeServices::CreateService(Handle manager, const ServiceConfig& config) {
  calls.push_back(L"CreateService " + config.name);
  if (handles_.count(manager) == 0) return {kNullHandle, kErrorInvalidHandle};
  if (create_error) return {kNullHandle, *create_error};
  if (Find(config.name) != nullptr) return {kNullHandle, win::kErrorServiceExists};
  Service& s = Add(config.name, win::kServiceStopped);
  s.config = config;
  Handle h = next_++;
  handles_[h] = Fold(config.name);
  open_handles.insert(h);
  return {h, 0};
}

CallResult FakeServices::SetServiceDescription(Handle service, const std::wstring& description) {
  calls.push_back(L"SetServiceDescription");
  auto it = handles_.find(service);
  if (description_fails || it == handles_.end() || it->second.empty()) return {false, win::kErrorAccessDenied};
  services[it->second].description = description;
  return {true, 0};
}

ControlResult FakeServices::ControlService(Handle service, std::uint32_t control) {
  calls.push_back(L"ControlService " + std::to_wstring(control));
  auto it = handles_.find(service);
  if (it == handles_.end() || it->second.empty()) return {false, kErrorInvalidHandle, 0};
  const Service& s = services[it->second];
  // As Windows does: a stopped service does not take controls, a pending one
  // cannot; both still report their status.
  if (s.state == win::kServiceStopped) return {false, win::kErrorServiceNotActive, s.state};
  if (s.state != win::kServiceRunning) return {false, win::kErrorServiceCannotAcceptCtrl, s.state};
  return {true, 0, s.state};
}

CallResult FakeServices::StartService(Handle service) {
  calls.push_back(L"StartService");
  auto it = handles_.find(service);
  if (it == handles_.end() || it->second.empty()) return {false, kErrorInvalidHandle};
  Service& s = services[it->second];
  if (s.state != win::kServiceStopped) return {false, kErrorServiceAlreadyRunning};
  ++s.starts;
  s.state = s.state_after_start;
  return {true, 0};
}

bool FakeServices::CloseServiceHandle(Handle h) {
  handles_.erase(h);
  return open_handles.erase(h) == 1;
}

// ---- token -------------------------------------------------------------------

HandleResult FakeSecurity::OpenProcessToken(Handle, std::uint32_t access) {
  token_access_asked.push_back(access);
  if (open_token_error) return {kNullHandle, *open_token_error};
  Handle h = handles_.Open(*this);
  open_handles.insert(h);
  return {h, 0};
}

std::optional<std::vector<std::uint8_t>> FakeSecurity::CreateWellKnownSid(std::uint32_t type, std::uint32_t buffer_size,
                                                                          std::uint32_t* error) {
  // S-1-5-32-544, 16 bytes: fits the 68-byte buffer.
  if (type != win::kWinBuiltinAdministratorsSid || buffer_size < 16) {
    *error = kErrorInsufficientBuffer;
    return std::nullopt;
  }
  return std::vector<std::uint8_t>{1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
}

CallResult FakeSecurity::CheckTokenMembership(Handle token, const std::vector<std::uint8_t>&, bool* is_member) {
  if (check_membership_error) return {false, *check_membership_error};
  if (token == kNullHandle) {
    *is_member = admin;
  } else if (token == linked_ && linked_admin) {
    *is_member = *linked_admin;
  } else {
    return {false, kErrorInvalidHandle};
  }
  return {true, 0};
}

HandleResult FakeSecurity::GetLinkedToken(Handle token) {
  if (open_handles.count(token) == 0) return {kNullHandle, kErrorInvalidHandle};
  if (!linked_admin) return {kNullHandle, no_linked_error};
  linked_ = handles_.Open(*this);
  open_handles.insert(linked_);
  return {linked_, 0};
}

CallResult FakeSecurity::LookupPrivilegeValue(const std::wstring& name, Luid* luid) {
  static const std::set<std::wstring> kKnown = {L"SeManageVolumePrivilege", L"SeBackupPrivilege",
                                                 L"SeRestorePrivilege", L"SeShutdownPrivilege", L"SeDebugPrivilege"};
  if (lookup_privilege_fails || kKnown.count(name) == 0) return {false, kErrorNoSuchPrivilege};
  looked_up_ = name;
  *luid = Luid{28, 0};
  return {true, 0};
}

CallResult FakeSecurity::AdjustTokenPrivileges(Handle token, const Luid&, std::uint32_t attributes) {
  if (adjust_fails || open_handles.count(token) == 0) return {false, kErrorInvalidHandle};
  if (attributes == win::kSePrivilegeEnabled) enabled_privileges.push_back(looked_up_);
  return {true, 0};
}

}  // namespace devstart::sim
