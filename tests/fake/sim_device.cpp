#include "fake/sim_device.h"

#include "fake/sim_pc.h"
#include "phone/service_protocol.h"

namespace devstart::sim {

namespace {
std::wstring NoTrailingSlash(std::wstring p) {
  while (!p.empty() && p.back() == L'\\') p.pop_back();
  return p;
}
std::wstring Hex(std::uint32_t v) {
  wchar_t buf[16];
  swprintf(buf, 16, L"0x%x", v);
  return buf;
}
constexpr std::uint32_t kErrorSharingViolation = 32;
constexpr std::uint32_t kErrorFileExists = 80;
constexpr std::uint32_t kErrorDirNotEmpty = 145;
constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorBrokenPipe = 109;
}  // namespace

// ---- FakeFileSystem: removal and listing ---------------------------------

bool FakeFileSystem::RemoveFile(const std::wstring& path) { return files_.erase(Fold(Absolute(path))) == 1; }

bool FakeFileSystem::RemoveFolder(const std::wstring& path) {
  std::wstring p = NoTrailingSlash(Fold(Absolute(path)));
  if (folders_.count(p) == 0 || !Children(p).empty()) return false;
  folders_.erase(p);
  return true;
}

std::vector<std::wstring> FakeFileSystem::Children(const std::wstring& folder) const {
  std::wstring prefix = NoTrailingSlash(Fold(Absolute(folder))) + L"\\";
  std::vector<std::wstring> out;
  auto add = [&](const std::wstring& p) {
    if (p.size() > prefix.size() && p.compare(0, prefix.size(), prefix) == 0 &&
        p.find(L'\\', prefix.size()) == std::wstring::npos) {
      out.push_back(p.substr(prefix.size()));
    }
  };
  for (const auto& f : folders_) add(f);
  for (const auto& f : files_) add(f.first);
  return out;
}

// ---- service control manager ---------------------------------------------

FakeServiceControl::Service* FakeServiceControl::Find(const std::wstring& name) {
  auto it = services.find(Fold(name));
  return it == services.end() ? nullptr : &it->second;
}

FakeServiceControl::Service& FakeServiceControl::Add(const std::wstring& name, std::uint32_t state) {
  Service& s = services[Fold(name)];
  s.config.name = name;
  s.state = state;
  return s;
}

HandleResult FakeServiceControl::OpenSCManager(std::uint32_t access) {
  calls.push_back(L"OpenSCManager " + Hex(access));
  if (open_manager_fails || (access & manager_denied_access) != 0) return {kNullHandle, win::kErrorAccessDenied};
  Handle h = next_++;
  handles_[h] = L"";
  open_handles.insert(h);
  return {h, 0};
}

HandleResult FakeServiceControl::OpenService(Handle manager, const std::wstring& name, std::uint32_t access) {
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

HandleResult FakeServiceControl::CreateService(Handle manager, const ServiceConfig& config) {
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

CallResult FakeServiceControl::SetServiceDescription(Handle service, const std::wstring& description) {
  calls.push_back(L"SetServiceDescription");
  auto it = handles_.find(service);
  if (description_fails || it == handles_.end() || it->second.empty()) return {false, win::kErrorAccessDenied};
  services[it->second].description = description;
  return {true, 0};
}

ControlResult FakeServiceControl::ControlService(Handle service, std::uint32_t control) {
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

CallResult FakeServiceControl::StartService(Handle service) {
  calls.push_back(L"StartService");
  auto it = handles_.find(service);
  if (it == handles_.end() || it->second.empty()) return {false, kErrorInvalidHandle};
  Service& s = services[it->second];
  if (s.state != win::kServiceStopped) return {false, 1056};  // ERROR_SERVICE_ALREADY_RUNNING
  ++s.starts;
  s.state = s.state_after_start;
  return {true, 0};
}

bool FakeServiceControl::CloseServiceHandle(Handle h) {
  handles_.erase(h);
  return open_handles.erase(h) == 1;
}

// ---- named pipes ------------------------------------------------------------

HandleResult FakeNamedPipes::CreateFile(const std::wstring& name, std::uint32_t access, std::uint32_t share,
                                        std::uint32_t disposition, std::uint32_t flags) {
  calls.push_back(L"CreateFile " + name + L" " + Hex(access) + L" " + std::to_wstring(share) + L" " +
                  std::to_wstring(disposition) + L" " + std::to_wstring(flags));
  // Asking the server with no request tells whether the pipe exists.
  if (!server || !server(name, std::string())) return {kInvalidHandle, win::kErrorFileNotFound};
  if (busy_opens > 0) {
    --busy_opens;
    return {kInvalidHandle, win::kErrorPipeBusy};
  }
  Handle h = next_++;
  connections_[h] = Connection{name, {}, false};
  open_handles.insert(h);
  return {h, 0};
}

CallResult FakeNamedPipes::WaitNamedPipe(const std::wstring& name, std::uint32_t timeout_ms) {
  calls.push_back(L"WaitNamedPipe " + name + L" " + std::to_wstring(timeout_ms));
  if (wait_fails) return {false, win::kErrorSemTimeout};
  return {true, 0};
}

CallResult FakeNamedPipes::SetNamedPipeHandleState(Handle pipe, std::uint32_t mode) {
  calls.push_back(L"SetNamedPipeHandleState " + std::to_wstring(mode));
  if (set_state_fails || connections_.count(pipe) == 0) return {false, win::kErrorAccessDenied};
  return {true, 0};
}

IoResult FakeNamedPipes::WriteFile(Handle pipe, const void* bytes, std::uint32_t size) {
  auto it = connections_.find(pipe);
  if (write_fails || it == connections_.end()) return {false, kErrorBrokenPipe, 0};
  std::string request(static_cast<const char*>(bytes), size);
  requests.push_back(request);
  it->second.pending = server(it->second.name, request).value_or("");
  it->second.answered = true;
  return {true, 0, size};
}

IoResult FakeNamedPipes::ReadFile(Handle pipe, void* buffer, std::uint32_t size) {
  auto it = connections_.find(pipe);
  if (it == connections_.end()) return {false, kErrorInvalidHandle, 0};
  if (!scripted_reads.empty()) {
    auto [bytes, error] = scripted_reads.front();
    scripted_reads.pop_front();
    std::uint32_t n = std::min<std::uint32_t>(size, static_cast<std::uint32_t>(bytes.size()));
    std::copy(bytes.begin(), bytes.begin() + n, static_cast<char*>(buffer));
    return {error == 0, error, n};
  }
  // The service writes its reply and disconnects: an empty reply reads as
  // a broken pipe with nothing transferred.
  std::string& pending = it->second.pending;
  if (pending.empty()) return {false, kErrorBrokenPipe, 0};
  std::uint32_t n = std::min<std::uint32_t>(size, static_cast<std::uint32_t>(pending.size()));
  std::copy(pending.begin(), pending.begin() + n, static_cast<char*>(buffer));
  pending.erase(0, n);
  return {true, 0, n};
}

bool FakeNamedPipes::CloseHandle(Handle h) {
  connections_.erase(h);
  return open_handles.erase(h) == 1;
}

// ---- token -------------------------------------------------------------------

HandleResult FakeSecurity::OpenProcessToken(Handle, std::uint32_t access) {
  token_access_asked.push_back(access);
  if (open_token_error) return {kNullHandle, *open_token_error};
  Handle h = next_++;
  open_handles.insert(h);
  return {h, 0};
}

std::optional<std::vector<std::uint8_t>> FakeSecurity::CreateWellKnownSid(std::uint32_t type, std::uint32_t buffer_size,
                                                                          std::uint32_t* error) {
  // S-1-5-32-544, 16 bytes: fits the 68-byte buffer.
  if (type != win::kWinBuiltinAdministratorsSid || buffer_size < 16) {
    *error = 122;  // ERROR_INSUFFICIENT_BUFFER
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
  linked_ = next_++;
  open_handles.insert(linked_);
  return {linked_, 0};
}

CallResult FakeSecurity::LookupPrivilegeValue(const std::wstring& name, Luid* luid) {
  static const std::set<std::wstring> kKnown = {L"SeManageVolumePrivilege", L"SeBackupPrivilege",
                                                 L"SeRestorePrivilege", L"SeShutdownPrivilege", L"SeDebugPrivilege"};
  if (lookup_privilege_fails || kKnown.count(name) == 0) return {false, 1313};  // ERROR_NO_SUCH_PRIVILEGE
  looked_up_ = name;
  *luid = Luid{28, 0};
  return {true, 0};
}

CallResult FakeSecurity::AdjustTokenPrivileges(Handle token, const Luid&, std::uint32_t attributes) {
  if (adjust_fails || open_handles.count(token) == 0) return {false, kErrorInvalidHandle};
  if (attributes == win::kSePrivilegeEnabled) enabled_privileges.push_back(looked_up_);
  return {true, 0};
}

bool FakeSecurity::CloseHandle(Handle h) { return open_handles.erase(h) == 1; }

// ---- folders -------------------------------------------------------------

void FakeFolders::AddLink(const std::wstring& link, const std::wstring& target) {
  fs_.MakeFolder(link);
  std::wstring key = NoTrailingSlash(Fold(fs_.Absolute(link)));
  links[key] = NoTrailingSlash(fs_.Absolute(target));
  attributes[key] = win::kFileAttributeDirectory | win::kFileAttributeReparsePoint;
}

void FakeFolders::SetAttributes(const std::wstring& path, std::uint32_t value) {
  attributes[NoTrailingSlash(Fold(fs_.Absolute(path)))] = value;
}

std::wstring FakeFolders::Resolve(const std::wstring& path) const {
  std::wstring p = fs_.Absolute(path);
  std::wstring folded = Fold(p);
  for (const auto& [link, target] : links) {
    if (folded.size() > link.size() && folded.compare(0, link.size() + 1, link + L"\\") == 0) {
      return Resolve(target + p.substr(link.size()));
    }
  }
  return p;
}

std::wstring FakeFolders::GetSpecialFolder(int csidl) {
  auto it = special_folders.find(csidl);
  return it == special_folders.end() ? L"" : it->second;
}

CallResult FakeFolders::CreateDirectory(const std::wstring& path) {
  calls.push_back(L"CreateDirectory " + path);
  std::wstring p = NoTrailingSlash(Resolve(path));
  if (p.size() <= 2) return {false, win::kErrorAccessDenied};
  if (fs_.FolderExists(p) || fs_.Exists(p)) return {false, win::kErrorAlreadyExists};
  std::size_t slash = p.rfind(L'\\');
  if (slash == std::wstring::npos || !fs_.FolderExists(p.substr(0, slash))) return {false, win::kErrorPathNotFound};
  if (!fs_.IsWritable(p)) return {false, win::kErrorAccessDenied};
  fs_.MakeFolder(p);
  return {true, 0};
}

CallResult FakeFolders::RemoveDirectory(const std::wstring& path) {
  calls.push_back(L"RemoveDirectory " + path);
  std::wstring own = NoTrailingSlash(Fold(fs_.Absolute(path)));
  if (links.count(own) != 0) {
    // Removing a junction removes the link, never what it points at.
    links.erase(own);
    attributes.erase(own);
    fs_.RemoveFolder(own);
    return {true, 0};
  }
  std::wstring p = Resolve(path);
  if (!fs_.FolderExists(p)) return {false, win::kErrorFileNotFound};
  if (!fs_.RemoveFolder(p)) return {false, kErrorDirNotEmpty};
  attributes.erase(NoTrailingSlash(Fold(p)));
  return {true, 0};
}

CallResult FakeFolders::DeleteFile(const std::wstring& path) {
  calls.push_back(L"DeleteFile " + path);
  std::wstring key = Fold(Resolve(path));
  if (!fs_.Exists(key)) return {false, win::kErrorFileNotFound};
  if (in_use.count(key) != 0) return {false, kErrorSharingViolation};
  auto it = attributes.find(key);
  if (it != attributes.end() && (it->second & win::kFileAttributeReadonly) != 0) return {false, win::kErrorAccessDenied};
  fs_.RemoveFile(key);
  attributes.erase(key);
  return {true, 0};
}

CallResult FakeFolders::SetFileAttributes(const std::wstring& path, std::uint32_t value) {
  calls.push_back(L"SetFileAttributes " + path + L" " + Hex(value));
  std::wstring key = NoTrailingSlash(Fold(Resolve(path)));
  if (!fs_.Exists(key) && !fs_.FolderExists(key)) return {false, win::kErrorFileNotFound};
  attributes[key] = value == win::kFileAttributeNormal ? 0 : value;
  return {true, 0};
}

CallResult FakeFolders::CopyFile(const std::wstring& from, const std::wstring& to, bool fail_if_exists) {
  calls.push_back(L"CopyFile " + from + L" -> " + to);
  std::optional<std::string> bytes = fs_.Get(Resolve(from));
  if (!bytes) return {false, win::kErrorFileNotFound};
  std::wstring dest = Resolve(to);
  std::size_t slash = dest.rfind(L'\\');
  if (slash == std::wstring::npos || !fs_.FolderExists(dest.substr(0, slash))) return {false, win::kErrorPathNotFound};
  if (!fs_.IsWritable(dest)) return {false, win::kErrorAccessDenied};
  if (fs_.Exists(dest) && fail_if_exists) return {false, kErrorFileExists};
  auto it = attributes.find(Fold(dest));
  if (it != attributes.end() && (it->second & win::kFileAttributeReadonly) != 0) return {false, win::kErrorAccessDenied};
  fs_.Put(dest, *bytes);
  return {true, 0};
}

FindResult FakeFolders::FindFirstFile(const std::wstring& pattern) {
  calls.push_back(L"FindFirstFile " + pattern);
  std::size_t slash = pattern.rfind(L'\\');
  std::wstring mask = slash == std::wstring::npos ? pattern : pattern.substr(slash + 1);
  std::wstring folder = Resolve(slash == std::wstring::npos ? L"." : pattern.substr(0, slash));
  // Only the listing of a whole folder is simulated.
  if (mask != L"*.*" && mask != L"*") return {kInvalidHandle, win::kErrorFileNotFound, {}};
  if (!fs_.FolderExists(folder)) return {kInvalidHandle, win::kErrorPathNotFound, {}};
  std::deque<FindData> entries;
  if (NoTrailingSlash(folder).size() > 2) {
    entries.push_back({win::kFileAttributeDirectory, 0, L"."});
    entries.push_back({win::kFileAttributeDirectory, 0, L".."});
  }
  std::wstring base = NoTrailingSlash(Fold(folder)) + L"\\";
  for (const std::wstring& name : fs_.Children(folder)) {
    std::wstring key = base + name;
    std::uint32_t attrs = fs_.FolderExists(key) ? win::kFileAttributeDirectory : 0;
    if (auto it = attributes.find(key); it != attributes.end()) attrs |= it->second;
    if (attrs == 0) attrs = win::kFileAttributeNormal;
    std::uint32_t tag = links.count(key) ? 0xA0000003u : 0;  // IO_REPARSE_TAG_MOUNT_POINT
    entries.push_back({attrs, tag, name});
  }
  if (entries.empty()) return {kInvalidHandle, win::kErrorFileNotFound, {}};
  FindData first = entries.front();
  entries.pop_front();
  Handle h = next_++;
  finds_[h] = entries;
  return {h, 0, first};
}

std::optional<FindData> FakeFolders::FindNextFile(Handle find) {
  auto it = finds_.find(find);
  if (it == finds_.end() || it->second.empty()) return std::nullopt;
  FindData d = it->second.front();
  it->second.pop_front();
  return d;
}

bool FakeFolders::FindClose(Handle find) { return finds_.erase(find) == 1; }

// ---- the device side, wired ---------------------------------------------------

SimDevice::SimDevice(FakeFileSystem& fs) : folders(fs) {
  pipes.server = [this](const std::wstring& name, const std::string& request) -> std::optional<std::string> {
    if (Fold(name) != Fold(L"\\\\.\\pipe\\TavoScsiCommandService") || !ServiceRuns()) return std::nullopt;
    return simphone::AnswerRequest(request, [this](int drive, int sub, int type, std::uint8_t* data, int length) {
      return phone.SendScsiCmd(drive, sub, type, data, length);
    });
  };
}

FakeServiceControl::Service& SimDevice::InstallService(std::uint32_t state) {
  FakeServiceControl::Service& s = services.Add(L"TavoScsiCommandService", state);
  s.config.display_name = L"Tavo SCSI command service";
  s.config.binary_path = folders.GetSpecialFolder(win::kCsidlSystemX86) + L"\\ScsiCmdService.exe";
  return s;
}

bool SimDevice::ServiceRuns() {
  FakeServiceControl::Service* s = services.Find(L"TavoScsiCommandService");
  return s != nullptr && s->state == win::kServiceRunning;
}

}  // namespace devstart::sim
