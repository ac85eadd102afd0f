#include "platform/win32/device_adapters.h"

#include "platform/win32/device_api.h"

namespace devstart {

namespace {
HANDLE ToHandle(Handle h) { return reinterpret_cast<HANDLE>(h); }
Handle FromHandle(const void* h) { return reinterpret_cast<Handle>(h); }
SC_HANDLE ToSc(Handle h) { return reinterpret_cast<SC_HANDLE>(h); }
CallResult Result(BOOL ok) { return CallResult{ok != FALSE, ok ? 0u : ::GetLastError()}; }
HandleResult HandleOf(const void* h, bool failed) { return HandleResult{FromHandle(h), failed ? ::GetLastError() : 0u}; }
FindData FromFind(const WIN32_FIND_DATAW& d) {
  return FindData{d.dwFileAttributes, d.dwReserved0, std::wstring(reinterpret_cast<const wchar_t*>(d.cFileName))};
}
}  // namespace

HandleResult Win32ServiceControl::OpenSCManager(std::uint32_t access) {
  SC_HANDLE h = ::OpenSCManagerW(nullptr, nullptr, access);
  return HandleOf(h, h == nullptr);
}

HandleResult Win32ServiceControl::OpenService(Handle manager, const std::wstring& name, std::uint32_t access) {
  SC_HANDLE h = ::OpenServiceW(ToSc(manager), name.c_str(), access);
  return HandleOf(h, h == nullptr);
}

HandleResult Win32ServiceControl::CreateService(Handle manager, const ServiceConfig& c) {
  SC_HANDLE h = ::CreateServiceW(ToSc(manager), c.name.c_str(), c.display_name.c_str(), c.desired_access,
                                 c.service_type, c.start_type, c.error_control, c.binary_path.c_str(), nullptr,
                                 nullptr, nullptr, nullptr, nullptr);
  return HandleOf(h, h == nullptr);
}

CallResult Win32ServiceControl::SetServiceDescription(Handle service, const std::wstring& description) {
  std::wstring text = description;
  SERVICE_DESCRIPTIONW info{text.data()};
  return Result(::ChangeServiceConfig2W(ToSc(service), SERVICE_CONFIG_DESCRIPTION, &info));
}

ControlResult Win32ServiceControl::ControlService(Handle service, std::uint32_t control) {
  SERVICE_STATUS status{};
  BOOL ok = ::ControlService(ToSc(service), control, &status);
  DWORD error = ok ? 0 : ::GetLastError();
  return ControlResult{ok != FALSE, error, status.dwCurrentState};
}

CallResult Win32ServiceControl::StartService(Handle service) {
  return Result(::StartServiceW(ToSc(service), 0, nullptr));
}

bool Win32ServiceControl::CloseServiceHandle(Handle h) { return ::CloseServiceHandle(ToSc(h)) != FALSE; }

HandleResult Win32NamedPipes::CreateFile(const std::wstring& name, std::uint32_t access, std::uint32_t share,
                                         std::uint32_t disposition, std::uint32_t flags) {
  HANDLE h = ::CreateFileW(name.c_str(), access, share, nullptr, disposition, flags, nullptr);
  return HandleOf(h, h == INVALID_HANDLE_VALUE);
}

CallResult Win32NamedPipes::WaitNamedPipe(const std::wstring& name, std::uint32_t timeout_ms) {
  return Result(::WaitNamedPipeW(name.c_str(), timeout_ms));
}

CallResult Win32NamedPipes::SetNamedPipeHandleState(Handle pipe, std::uint32_t mode) {
  DWORD m = mode;
  return Result(::SetNamedPipeHandleState(ToHandle(pipe), &m, nullptr, nullptr));
}

IoResult Win32NamedPipes::WriteFile(Handle pipe, const void* bytes, std::uint32_t size) {
  DWORD n = 0;
  BOOL ok = ::WriteFile(ToHandle(pipe), bytes, size, &n, nullptr);
  return IoResult{ok != FALSE, ok ? 0u : ::GetLastError(), n};
}

IoResult Win32NamedPipes::ReadFile(Handle pipe, void* buffer, std::uint32_t size) {
  DWORD n = 0;
  BOOL ok = ::ReadFile(ToHandle(pipe), buffer, size, &n, nullptr);
  return IoResult{ok != FALSE, ok ? 0u : ::GetLastError(), n};
}

bool Win32NamedPipes::CloseHandle(Handle h) { return ::CloseHandle(ToHandle(h)) != FALSE; }

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
  auto create = reinterpret_cast<Fn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"advapi32.dll"), "CreateWellKnownSid")));
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
  BOOL member = FALSE;
  std::vector<std::uint8_t> copy = sid;
  BOOL ok = ::CheckTokenMembership(ToHandle(token), copy.data(), &member);
  *is_member = ok && member;
  return Result(ok);
}

HandleResult Win32Security::GetLinkedToken(Handle token) {
  // TOKEN_LINKED_TOKEN: one handle. Class 19 exists from Windows Vista on.
  HANDLE linked = nullptr;
  DWORD size = 0;
  BOOL ok = ::GetTokenInformation(ToHandle(token), static_cast<TOKEN_INFORMATION_CLASS>(19), &linked,
                                  sizeof linked, &size);
  return HandleResult{ok ? FromHandle(linked) : kNullHandle, ok ? 0u : ::GetLastError()};
}

CallResult Win32Security::LookupPrivilegeValue(const std::wstring& name, Luid* luid) {
  LUID value{};
  BOOL ok = ::LookupPrivilegeValueW(nullptr, name.c_str(), &value);
  luid->low = value.LowPart;
  luid->high = value.HighPart;
  return Result(ok);
}

CallResult Win32Security::AdjustTokenPrivileges(Handle token, const Luid& luid, std::uint32_t attributes) {
  TOKEN_PRIVILEGES tp{};
  tp.PrivilegeCount = 1;
  tp.Privileges[0].Luid.LowPart = luid.low;
  tp.Privileges[0].Luid.HighPart = luid.high;
  tp.Privileges[0].Attributes = attributes;
  return Result(::AdjustTokenPrivileges(ToHandle(token), FALSE, &tp, 0, nullptr, nullptr));
}

bool Win32Security::CloseHandle(Handle h) { return ::CloseHandle(ToHandle(h)) != FALSE; }

std::wstring Win32FileSystem::GetSpecialFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, 0, path))) return {};
  return path;
}

CallResult Win32FileSystem::CreateDirectory(const std::wstring& path) {
  return Result(::CreateDirectoryW(path.c_str(), nullptr));
}

CallResult Win32FileSystem::RemoveDirectory(const std::wstring& path) { return Result(::RemoveDirectoryW(path.c_str())); }

CallResult Win32FileSystem::DeleteFile(const std::wstring& path) { return Result(::DeleteFileW(path.c_str())); }

CallResult Win32FileSystem::SetFileAttributes(const std::wstring& path, std::uint32_t attributes) {
  return Result(::SetFileAttributesW(path.c_str(), attributes));
}

CallResult Win32FileSystem::CopyFile(const std::wstring& from, const std::wstring& to, bool fail_if_exists) {
  return Result(::CopyFileW(from.c_str(), to.c_str(), fail_if_exists ? TRUE : FALSE));
}

FindResult Win32FileSystem::FindFirstFile(const std::wstring& pattern) {
  WIN32_FIND_DATAW data{};
  HANDLE h = ::FindFirstFileW(pattern.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return FindResult{kInvalidHandle, ::GetLastError(), {}};
  return FindResult{FromHandle(h), 0, FromFind(data)};
}

std::optional<FindData> Win32FileSystem::FindNextFile(Handle find) {
  WIN32_FIND_DATAW data{};
  if (!::FindNextFileW(ToHandle(find), &data)) return std::nullopt;
  return FromFind(data);
}

bool Win32FileSystem::FindClose(Handle find) { return ::FindClose(ToHandle(find)) != FALSE; }

void Win32Clock::Sleep(std::uint32_t ms) { ::Sleep(ms); }

}  // namespace devstart
