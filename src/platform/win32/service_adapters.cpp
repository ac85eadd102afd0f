// The service control manager, the client side of named pipes, and the
// process token.
#include "platform/win32/convert.h"

#include <vector>

#include "platform/win32/adapters.h"

namespace devstart {

using win32::FromHandle;
using win32::HandleOf;
using win32::Result;
using win32::ToHandle;
using win32::ToSc;

HandleResult Win32Services::OpenSCManager(std::uint32_t access) {
  SC_HANDLE h = ::OpenSCManagerW(nullptr, nullptr, access);
  return HandleOf(h, h == nullptr);
}

HandleResult Win32Services::OpenService(Handle manager, const std::wstring& name, std::uint32_t access) {
  SC_HANDLE h = ::OpenServiceW(ToSc(manager), name.c_str(), access);
  return HandleOf(h, h == nullptr);
}

HandleResult Win32Services::CreateService(Handle manager, const ServiceConfig& c) {
  SC_HANDLE h = ::CreateServiceW(ToSc(manager), c.name.c_str(), c.display_name.c_str(), c.desired_access,
                                 c.service_type, c.start_type, c.error_control, c.binary_path.c_str(), nullptr,
                                 nullptr, nullptr, nullptr, nullptr);
  return HandleOf(h, h == nullptr);
}

CallResult Win32Services::SetServiceDescription(Handle service, const std::wstring& description) {
  // The record takes a writable pointer.
  std::wstring text = description;
  SERVICE_DESCRIPTIONW info{text.data()};
  return Result(::ChangeServiceConfig2W(ToSc(service), SERVICE_CONFIG_DESCRIPTION, &info));
}

ControlResult Win32Services::ControlService(Handle service, std::uint32_t control) {
  SERVICE_STATUS status{};
  BOOL ok = ::ControlService(ToSc(service), control, &status);
  DWORD error = ok ? 0 : ::GetLastError();
  return ControlResult{ok != FALSE, error, status.dwCurrentState};
}

CallResult Win32Services::StartService(Handle service) { return Result(::StartServiceW(ToSc(service), 0, nullptr)); }

bool Win32Services::CloseServiceHandle(Handle h) { return ::CloseServiceHandle(ToSc(h)) != FALSE; }

CallResult Win32Services::WaitNamedPipe(const std::wstring& name, std::uint32_t timeout_ms) {
  return Result(::WaitNamedPipeW(name.c_str(), timeout_ms));
}

CallResult Win32Services::SetNamedPipeHandleState(Handle pipe, std::uint32_t mode) {
  DWORD m = mode;
  return Result(::SetNamedPipeHandleState(ToHandle(pipe), &m, nullptr, nullptr));
}

IoResult Win32Services::PeekNamedPipe(Handle pipe) {
  DWORD available = 0;
  BOOL ok = ::PeekNamedPipe(ToHandle(pipe), nullptr, 0, nullptr, &available, nullptr);
  if (!ok) return IoResult{false, static_cast<std::uint32_t>(::GetLastError()), 0};
  return IoResult{true, 0, static_cast<std::uint32_t>(available)};
}

Handle Win32Security::GetCurrentProcess() { return FromHandle(::GetCurrentProcess()); }

HandleResult Win32Security::OpenProcessToken(Handle process, std::uint32_t access) {
  HANDLE token = nullptr;
  BOOL ok = ::OpenProcessToken(ToHandle(process), access, &token);
  return HandleResult{ok ? FromHandle(token) : kNullHandle, ok ? 0u : ::GetLastError()};
}

std::optional<std::vector<std::uint8_t>> Win32Security::CreateWellKnownSid(std::uint32_t type,
                                                                           std::uint32_t buffer_size,
                                                                           std::uint32_t* error) {
  std::vector<std::uint8_t> sid(buffer_size);
  DWORD size = buffer_size;
  // Looked up by name: Windows 2000 does not have it, and there the
  // Administrators SID is built from its authority and two sub-authorities.
  using Fn = BOOL(WINAPI*)(WELL_KNOWN_SID_TYPE, PSID, PSID, DWORD*);
  auto create = win32::LookUp<Fn>(L"advapi32.dll", "CreateWellKnownSid");
  if (create == nullptr) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID built = nullptr;
    if (type != WinBuiltinAdministratorsSid ||
        !::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                    &built)) {
      *error = type != WinBuiltinAdministratorsSid ? ERROR_NOT_SUPPORTED : ::GetLastError();
      return std::nullopt;
    }
    DWORD length = ::GetLengthSid(built);
    bool fits = length <= buffer_size && ::CopySid(buffer_size, sid.data(), built);
    ::FreeSid(built);
    if (!fits) {
      *error = ERROR_INSUFFICIENT_BUFFER;
      return std::nullopt;
    }
    sid.resize(length);
    return sid;
  }
  if (!create(static_cast<WELL_KNOWN_SID_TYPE>(type), nullptr, sid.data(), &size)) {
    *error = ::GetLastError();
    return std::nullopt;
  }
  sid.resize(size);
  return sid;
}

CallResult Win32Security::CheckTokenMembership(Handle token, const std::vector<std::uint8_t>& sid, bool* is_member) {
  // The call takes a writable SID pointer.
  BOOL member = FALSE;
  std::vector<std::uint8_t> copy = sid;
  BOOL ok = ::CheckTokenMembership(ToHandle(token), copy.data(), &member);
  CallResult r = Result(ok);
  if (ok) *is_member = member != FALSE;
  return r;
}

HandleResult Win32Security::GetLinkedToken(Handle token) {
  // TOKEN_LINKED_TOKEN: one handle. Class 19 exists from Windows Vista on;
  // the SDK headers of an XP target do not name it.
  HANDLE linked = nullptr;
  DWORD size = 0;
  BOOL ok = ::GetTokenInformation(ToHandle(token), static_cast<TOKEN_INFORMATION_CLASS>(19), &linked, sizeof linked,
                                  &size);
  return HandleResult{ok ? FromHandle(linked) : kNullHandle, ok ? 0u : ::GetLastError()};
}

CallResult Win32Security::LookupPrivilegeValue(const std::wstring& name, Luid* luid) {
  LUID value{};
  BOOL ok = ::LookupPrivilegeValueW(nullptr, name.c_str(), &value);
  CallResult r = Result(ok);
  if (ok) {
    luid->low = value.LowPart;
    luid->high = value.HighPart;
  }
  return r;
}

CallResult Win32Security::AdjustTokenPrivileges(Handle token, const Luid& luid, std::uint32_t attributes) {
  TOKEN_PRIVILEGES tp{};
  tp.PrivilegeCount = 1;
  tp.Privileges[0].Luid.LowPart = luid.low;
  tp.Privileges[0].Luid.HighPart = luid.high;
  tp.Privileges[0].Attributes = attributes;
  return Result(::AdjustTokenPrivileges(ToHandle(token), FALSE, &tp, 0, nullptr, nullptr));
}

}  // namespace devstart
