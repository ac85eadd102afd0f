#include "fake/sim_files.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <map>
#include <string_view>

namespace devstart::sim {

namespace {

constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorSharingViolation = 32;
constexpr std::uint32_t kDeleteAccess = 0x10000;
constexpr std::uint32_t kErrorFileExists = 80;
constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr std::uint32_t kErrorBrokenPipe = 109;
constexpr std::uint32_t kErrorDirNotEmpty = 145;
constexpr std::uint32_t kCreateNew = 1;
constexpr std::uint32_t kTruncateExisting = 5;
constexpr std::uint32_t kErrorDiskFull = 112;
constexpr std::uint32_t kMountPointTag = 0xA0000003u;  // IO_REPARSE_TAG_MOUNT_POINT
constexpr std::uint32_t kSymlinkTag = 0xA000000Cu;     // IO_REPARSE_TAG_SYMLINK
constexpr std::uint32_t kVersionMagic = 0xFEEF04BD;
// Bits SetFileAttributes cannot change: they say what the entry is.
constexpr std::uint32_t kKindBits = win::kFileAttributeDirectory | win::kFileAttributeReparsePoint;

bool MayWrite(std::uint32_t access) { return (access & (win::kGenericWrite | win::kGenericAll)) != 0; }
bool MayRead(std::uint32_t access) { return (access & (win::kGenericRead | win::kGenericAll)) != 0; }
// GENERIC_ALL carries delete access too.
bool MayDelete(std::uint32_t access) { return (access & (kDeleteAccess | win::kGenericAll)) != 0; }

// The share modes an opener with this access needs of every other opener.
std::uint32_t ShareNeeded(std::uint32_t access) {
  return (MayRead(access) ? win::kFileShareRead : 0) | (MayWrite(access) ? win::kFileShareWrite : 0) |
         (MayDelete(access) ? win::kFileShareDelete : 0);
}

// A file name against a mask with * and ?, without regard to case.
bool Matches(const std::wstring& mask, const std::wstring& name) {
  std::size_t m = 0, n = 0, star = std::wstring::npos, resume = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == L'?' || mask[m] == name[n])) {
      ++m, ++n;
    } else if (m < mask.size() && mask[m] == L'*') {
      star = m++;
      resume = n;
    } else if (star != std::wstring::npos) {
      m = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == L'*') ++m;
  return m == mask.size();
}

std::wstring Trim(const std::wstring& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && (s[b] == L' ' || s[b] == L'\t')) ++b;
  while (e > b && (s[e - 1] == L' ' || s[e - 1] == L'\t' || s[e - 1] == L'\r')) --e;
  return s.substr(b, e - b);
}

std::wstring Decode(const std::string& bytes) {
  std::wstring out;
  auto u8 = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (bytes.size() >= 2 && u8(0) == 0xFF && u8(1) == 0xFE) {
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) out.push_back(static_cast<wchar_t>(u8(i) | (u8(i + 1) << 8)));
    return out;
  }
  if (bytes.size() >= 3 && u8(0) == 0xEF && u8(1) == 0xBB && u8(2) == 0xBF) {
    for (std::size_t i = 3; i < bytes.size();) {
      unsigned c = u8(i);
      int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
      unsigned cp = extra == 0 ? c : c & (0x3F >> extra);
      for (int k = 1; k <= extra && i + k < bytes.size(); ++k) cp = (cp << 6) | (u8(i + k) & 0x3F);
      out.push_back(static_cast<wchar_t>(cp));
      i += 1 + extra;
    }
    return out;
  }
  // No mark: the ANSI code page; the tests use ASCII only.
  for (char c : bytes) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

// ---- pipes -------------------------------------------------------------------

bool PipeServer::IsPipePath(const std::wstring& path) { return Fold(path).rfind(L"\\\\.\\pipe\\", 0) == 0; }

HandleResult PipeServer::Open(KernelHandles& handles, const std::wstring& name, std::uint32_t access,
                              std::uint32_t share, std::uint32_t disposition, std::uint32_t flags) {
  calls.push_back(L"CreateFile " + name + L" " + Hex(access) + L" " + std::to_wstring(share) + L" " +
                  std::to_wstring(disposition) + L" " + std::to_wstring(flags));
  // Asking the server with no request tells whether the pipe exists.
  if (!server || !server(name, std::string())) return {kInvalidHandle, win::kErrorFileNotFound};
  if (busy_opens > 0) {
    --busy_opens;
    return {kInvalidHandle, win::kErrorPipeBusy};
  }
  Handle h = handles.Open(*this);
  connections_[h] = Connection{name, {}};
  open_handles.insert(h);
  return {h, 0};
}

IoResult PipeServer::Write(Handle pipe, const void* bytes, std::uint32_t size) {
  auto it = connections_.find(pipe);
  if (write_fails || it == connections_.end()) return {false, kErrorBrokenPipe, 0};
  std::string request(static_cast<const char*>(bytes), size);
  requests.push_back(request);
  // A service that never answers does not get as far as the phone.
  if (quiet_peeks != -1) it->second.pending = server(it->second.name, request).value_or("");
  return {true, 0, size};
}

IoResult PipeServer::Read(Handle pipe, void* buffer, std::uint32_t size) {
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

CallResult PipeServer::Wait(const std::wstring& name, std::uint32_t timeout_ms) {
  calls.push_back(L"WaitNamedPipe " + name + L" " + std::to_wstring(timeout_ms));
  if (wait_fails) return {false, win::kErrorSemTimeout};
  return {true, 0};
}

CallResult PipeServer::SetState(Handle pipe, std::uint32_t mode) {
  calls.push_back(L"SetNamedPipeHandleState " + std::to_wstring(mode));
  if (!Has(pipe)) return {false, kErrorInvalidHandle};
  if (set_state_fails) return {false, win::kErrorAccessDenied};
  return {true, 0};
}

IoResult PipeServer::Peek(Handle pipe) {
  auto it = connections_.find(pipe);
  if (it == connections_.end()) return {false, kErrorInvalidHandle, 0};
  if (quiet_peeks != 0) {
    if (quiet_peeks > 0) --quiet_peeks;
    return {true, 0, 0};
  }
  // A scripted piece or the reply is ready at once; with nothing left the
  // service has hung up.
  std::size_t ready = scripted_reads.empty() ? it->second.pending.size() : scripted_reads.front().first.size();
  if (ready == 0) return {false, kErrorBrokenPipe, 0};
  return {true, 0, static_cast<std::uint32_t>(ready)};
}

bool PipeServer::Release(Handle h) {
  connections_.erase(h);
  return open_handles.erase(h) == 1;
}

// ---- the disk behind the ports' back ------------------------------------------

namespace {

// "C:" or "C:\a\b": a drive, then parts that are neither empty, "." nor "..",
// with no forward slash. Most paths a run asks about are already like this.
bool IsPlainAbsolute(const std::wstring& p) {
  if (p.size() < 2 || p[1] != L':' || (p.size() > 2 && p[2] != L'\\') || p.back() == L'\\') return false;
  for (std::size_t at = 2; at < p.size(); ++at) {
    if (p[at] == L'/') return false;
    if (p[at] != L'\\') continue;
    std::size_t next = at + 1;
    if (next == p.size() || p[next] == L'\\' || p[next] == L'/') return false;
    if (p[next] == L'.') {
      std::size_t dots = (next + 1 < p.size() && p[next + 1] == L'.') ? 2 : 1;
      std::size_t after = next + dots;
      if (after == p.size() || p[after] == L'\\' || p[after] == L'/') return false;
    }
  }
  return true;
}

}  // namespace

std::wstring FakeFiles::Absolute(const std::wstring& path) const {
  if (IsPlainAbsolute(path)) return path;
  std::wstring p = path;
  std::replace(p.begin(), p.end(), L'/', L'\\');
  if (p.size() < 2 || p[1] != L':')
    p = (!p.empty() && p[0] == L'\\' ? current_directory.substr(0, 2) : current_directory + L"\\") + p;
  // Drive, then the parts without ".", "..", or empty ones: "C:" is the root.
  std::wstring out = p.substr(0, 2);
  out.reserve(p.size());
  for (std::size_t at = 2; at <= p.size();) {
    std::size_t end = std::min(p.find(L'\\', at), p.size());
    std::wstring_view part(p.data() + at, end - at);
    if (part == L"..") {
      if (out.size() > 2) out.resize(out.rfind(L'\\'));
    } else if (!part.empty() && part != L".") {
      out += L'\\';
      out += part;
    }
    at = end + 1;
  }
  return out;
}

void FakeFiles::Put(const std::wstring& path, const std::string& bytes) {
  std::wstring abs = Absolute(path);
  MakeFolder(abs.substr(0, abs.rfind(L'\\')));
  auto [it, added] = files_.try_emplace(Fold(abs), File{abs, {}});
  it->second.bytes = bytes;
}

std::optional<std::string> FakeFiles::Get(const std::wstring& path) const {
  auto it = files_.find(Key(path));
  if (it == files_.end()) return std::nullopt;
  return it->second.bytes;
}

void FakeFiles::MakeFolder(const std::wstring& path) {
  std::wstring abs = Absolute(path);
  MakeFolderAt(abs, Fold(abs));
}

void FakeFiles::MakeFolderAt(const std::wstring& abs, const std::wstring& folded) {
  // Deepest first: a folder that is there has its parents too.
  for (std::size_t end = abs.size();;) {
    std::wstring_view key(folded.data(), end);
    if (folders_.find(key) != folders_.end()) break;
    folders_.emplace(std::wstring(key), abs.substr(0, end));
    std::size_t at = end == 0 ? std::wstring::npos : abs.rfind(L'\\', end - 1);
    if (at == std::wstring::npos) break;
    end = at;
  }
}

bool FakeFiles::FolderExists(const std::wstring& path) const { return FolderKeyExists(Key(path)); }

void FakeFiles::AddLink(const std::wstring& link, const std::wstring& target, bool symbolic) {
  MakeFolder(link);
  links[Key(link)] = Absolute(target);
  link_tags_[Key(link)] = symbolic ? kSymlinkTag : kMountPointTag;
  attributes[Key(link)] = win::kFileAttributeDirectory | win::kFileAttributeReparsePoint;
}

void FakeFiles::SetAttributes(const std::wstring& path, std::uint32_t value) { attributes[Key(path)] = value; }

std::uint32_t FakeFiles::Store(const std::wstring& path, const std::string& bytes) {
  HandleResult file = CreateFile(path, win::kGenericWrite, 0, win::kCreateAlways, win::kFileAttributeNormal);
  if (file.handle == kInvalidHandle) return file.error;
  IoResult written = WriteFile(file.handle, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  handles_.Close(file.handle);
  return written.ok ? 0 : written.error;
}

std::wstring FakeFiles::Resolve(const std::wstring& path) const {
  if (links.empty()) return Absolute(path);
  std::wstring abs = Absolute(path);
  std::wstring folded = Fold(abs);
  for (const auto& [link, target] : links) {
    // The link itself too: listing it lists its target.
    if (folded == link) return Resolve(target);
    if (folded.size() > link.size() && folded.compare(0, link.size() + 1, link + L"\\") == 0) {
      return Resolve(target + abs.substr(link.size()));
    }
  }
  return abs;
}

bool FakeFiles::IsWritable(const std::wstring& path) const {
  if (read_only_folders.empty()) return true;
  std::wstring key = Key(path);
  for (const auto& folder : read_only_folders) {
    std::wstring ro = Key(folder);
    if (key == ro || key.rfind(ro + L"\\", 0) == 0) return false;
  }
  return true;
}

std::uint32_t FakeFiles::GoneError(const std::wstring& path) const {
  std::wstring abs = Absolute(path);
  auto it = gone_drives.find(static_cast<wchar_t>(std::towupper(abs[0])));
  return it == gone_drives.end() ? 0 : it->second;
}

bool FakeFiles::Allocate(const std::wstring& path, std::size_t size) {
  auto it = free_bytes.find(static_cast<wchar_t>(std::towupper(Absolute(path)[0])));
  if (it == free_bytes.end()) return true;
  if (size > it->second) return false;
  it->second -= size;
  return true;
}

bool FakeFiles::RemoveEmptyFolder(const std::wstring& key) {
  auto folder = folders_.find(key);
  if (folder == folders_.end()) return false;
  // Anything inside sorts right after the folder's own key.
  std::wstring prefix = key + L"\\";
  auto inside = [&](const auto& map) {
    auto it = map.lower_bound(prefix);
    return it != map.end() && it->first.compare(0, prefix.size(), prefix) == 0;
  };
  if (inside(folders_) || inside(files_)) return false;
  folders_.erase(folder);
  return true;
}

std::vector<std::wstring> FakeFiles::Children(const std::wstring& folder) const {
  std::wstring prefix = Key(folder) + L"\\";
  std::vector<std::wstring> out;
  auto add = [&](const std::wstring& key, const std::wstring& path) {
    if (key.size() > prefix.size() && key.compare(0, prefix.size(), prefix) == 0 &&
        key.find(L'\\', prefix.size()) == std::wstring::npos) {
      out.push_back(path.substr(prefix.size()));
    }
  };
  // What is inside a folder sorts right after its own key.
  for (auto it = folders_.lower_bound(prefix); it != folders_.end() && it->first.rfind(prefix, 0) == 0; ++it) {
    add(it->first, it->second);
  }
  for (auto it = files_.lower_bound(prefix); it != files_.end() && it->first.rfind(prefix, 0) == 0; ++it) {
    add(it->first, it->second.path);
  }
  return out;
}

FindData FakeFiles::Describe(const std::wstring& folder, const std::wstring& name) const {
  if (name == L"." || name == L"..") return {win::kFileAttributeDirectory, 0, name};
  std::wstring key = Key(folder + L"\\" + name);
  std::uint32_t attrs = folders_.count(key) ? win::kFileAttributeDirectory : 0;
  if (auto it = attributes.find(key); it != attributes.end()) attrs |= it->second;
  if (attrs == 0) attrs = win::kFileAttributeNormal;
  auto tag = link_tags_.find(key);
  return {attrs, links.count(key) && tag != link_tags_.end() ? tag->second : 0, name};
}

// ---- the port ------------------------------------------------------------------

std::optional<std::wstring> FakeFiles::SHGetSpecialFolderPath(int csidl, bool create) {
  auto it = special_folders.find(csidl);
  if (it == special_folders.end()) return std::nullopt;
  if (create) MakeFolder(it->second);
  return it->second;
}

CallResult FakeFiles::SetCurrentDirectory(const std::wstring& path) {
  calls.push_back(L"SetCurrentDirectory " + path);
  std::wstring abs = Resolve(path);
  if (!FolderExists(abs)) return {false, FolderExists(abs.substr(0, abs.rfind(L'\\'))) ? win::kErrorFileNotFound
                                                                                          : win::kErrorPathNotFound};
  current_directory = Absolute(path);
  if (current_directory.size() == 2) current_directory += L"\\";
  return {true, 0};
}

HandleResult FakeFiles::CreateFile(const std::wstring& path, std::uint32_t access, std::uint32_t share,
                                   std::uint32_t disposition, std::uint32_t flags) {
  if (PipeServer::IsPipePath(path)) return pipes_.Open(handles_, path, access, share, disposition, flags);
  std::wstring abs = Resolve(path);
  std::wstring key = Fold(abs);
  if (std::uint32_t gone = GoneError(abs)) return {kInvalidHandle, gone};
  std::size_t slash = abs.rfind(L'\\');
  if (slash == std::wstring::npos || !FolderExists(abs.substr(0, slash))) {
    return {kInvalidHandle, win::kErrorPathNotFound};
  }
  // A folder is no file (without backup semantics, which the program never asks for).
  if (FolderExists(abs)) return {kInvalidHandle, win::kErrorAccessDenied};
  bool exists = files_.count(key) != 0;
  if (disposition == kCreateNew && exists) return {kInvalidHandle, kErrorFileExists};
  if ((disposition == win::kOpenExisting || disposition == kTruncateExisting) && !exists) {
    return {kInvalidHandle, win::kErrorFileNotFound};
  }
  if (disposition < kCreateNew || disposition > kTruncateExisting) return {kInvalidHandle, kErrorInvalidParameter};
  bool truncates = exists && (disposition == win::kCreateAlways || disposition == kTruncateExisting);
  bool writes = !exists || truncates;
  auto attrs = attributes.find(key);
  bool read_only = attrs != attributes.end() && (attrs->second & win::kFileAttributeReadonly) != 0;
  if ((writes && !IsWritable(abs)) || (read_only && (truncates || MayWrite(access)))) {
    return {kInvalidHandle, win::kErrorAccessDenied};
  }
  if (!SharingAllows(key, access, share)) return {kInvalidHandle, kErrorSharingViolation};
  if (writes) Put(abs, {});
  Handle h = handles_.Open(*this);
  open_[h] = OpenFile{key, access, 0, share};
  open_files.insert(h);
  return {h, 0};
}

IoResult FakeFiles::WriteFile(Handle file, const void* bytes, std::uint32_t size) {
  if (pipes_.Has(file)) return pipes_.Write(file, bytes, size);
  auto it = open_.find(file);
  if (it == open_.end()) return {false, kErrorInvalidHandle, 0};
  if (!MayWrite(it->second.access)) return {false, win::kErrorAccessDenied, 0};
  if (!Allocate(it->second.key, size)) return {false, kErrorDiskFull, 0};
  std::string& content = files_.at(it->second.key).bytes;
  std::size_t at = it->second.position;
  content.resize(std::max(content.size(), at + size));
  content.replace(at, size, static_cast<const char*>(bytes), size);
  it->second.position += size;
  return {true, 0, size};
}

bool FakeFiles::SharingAllows(const std::wstring& key, std::uint32_t access, std::uint32_t share) const {
  for (const auto& [handle, other] : open_) {
    if (other.key != key) continue;
    if ((ShareNeeded(access) & ~other.share) != 0 || (ShareNeeded(other.access) & ~share) != 0) return false;
  }
  return true;
}

std::uint32_t FakeFiles::SetFilePointer(Handle file, std::int32_t distance, std::uint32_t method) {
  auto it = open_.find(file);
  if (it == open_.end()) return win::kInvalidSetFilePointer;
  std::int64_t base = method == 0 ? 0 : method == 1 ? static_cast<std::int64_t>(it->second.position)
                                                    : static_cast<std::int64_t>(files_.at(it->second.key).bytes.size());
  std::int64_t at = base + distance;
  if (method > win::kFileEnd || at < 0) return win::kInvalidSetFilePointer;
  it->second.position = static_cast<std::size_t>(at);
  return static_cast<std::uint32_t>(at);
}

IoResult FakeFiles::ReadFile(Handle file, void* buffer, std::uint32_t size) {
  if (pipes_.Has(file)) return pipes_.Read(file, buffer, size);
  auto it = open_.find(file);
  if (it == open_.end()) return {false, kErrorInvalidHandle, 0};
  if (!MayRead(it->second.access)) return {false, win::kErrorAccessDenied, 0};
  const std::string& content = files_.at(it->second.key).bytes;
  std::size_t at = std::min(it->second.position, content.size());
  // At the end of a file a read succeeds with nothing transferred.
  auto n = static_cast<std::uint32_t>(std::min<std::size_t>(size, content.size() - at));
  std::copy(content.begin() + static_cast<long>(at), content.begin() + static_cast<long>(at + n),
            static_cast<char*>(buffer));
  it->second.position = at + n;
  return {true, 0, n};
}

std::optional<std::string> FakeFiles::SHGetSpecialFolderPathA(int csidl, bool create) {
  std::optional<std::wstring> path = SHGetSpecialFolderPath(csidl, create);
  if (!path) return std::nullopt;
  return Narrow(*path);
}

std::uint32_t FakeFiles::GetFileAttributesA(const std::string& path) {
  std::wstring key = Fold(Resolve(Widen(path)));
  bool folder = FolderKeyExists(key);
  if (!folder && files_.count(key) == 0) return win::kInvalidFileAttributes;
  auto it = attributes.find(key);
  std::uint32_t attrs = (folder ? win::kFileAttributeDirectory : 0) | (it == attributes.end() ? 0 : it->second);
  return attrs == 0 ? win::kFileAttributeNormal : attrs;
}

bool FakeFiles::Release(Handle h) {
  open_files.erase(h);
  return open_.erase(h) == 1;
}

CallResult FakeFiles::CreateDirectory(const std::wstring& path) {
  calls.push_back(L"CreateDirectory " + path);
  std::wstring p = Resolve(path);
  if (p.size() <= 2) return {false, win::kErrorAccessDenied};
  std::wstring key = Fold(p);
  if (FolderKeyExists(key) || files_.count(key) != 0) return {false, win::kErrorAlreadyExists};
  if (!FolderKeyExists(std::wstring_view(key).substr(0, key.rfind(L'\\')))) return {false, win::kErrorPathNotFound};
  if (!IsWritable(p)) return {false, win::kErrorAccessDenied};
  MakeFolderAt(p, key);
  return {true, 0};
}

CallResult FakeFiles::RemoveDirectory(const std::wstring& path) {
  calls.push_back(L"RemoveDirectory " + path);
  std::wstring own = Key(path);
  if (links.count(own) != 0) {
    // Removing a junction removes the link, never what it points at.
    links.erase(own);
    link_tags_.erase(own);
    attributes.erase(own);
    folders_.erase(own);
    return {true, 0};
  }
  std::wstring key = links.empty() ? std::move(own) : Fold(Resolve(path));
  if (!FolderKeyExists(key)) return {false, win::kErrorFileNotFound};
  if (!RemoveEmptyFolder(key)) return {false, kErrorDirNotEmpty};
  attributes.erase(key);
  return {true, 0};
}

CallResult FakeFiles::DeleteFile(const std::wstring& path) {
  calls.push_back(L"DeleteFile " + path);
  std::wstring key = Fold(Resolve(path));
  if (files_.count(key) == 0) return {false, win::kErrorFileNotFound};
  // Deleting opens the file for deletion: a handle that does not share it keeps the file.
  const std::uint32_t all = win::kFileShareRead | win::kFileShareWrite | win::kFileShareDelete;
  if (in_use.count(key) != 0 || !SharingAllows(key, kDeleteAccess, all)) return {false, kErrorSharingViolation};
  auto it = attributes.find(key);
  if (it != attributes.end() && (it->second & win::kFileAttributeReadonly) != 0) return {false, win::kErrorAccessDenied};
  files_.erase(key);
  attributes.erase(key);
  return {true, 0};
}

CallResult FakeFiles::SetFileAttributes(const std::wstring& path, std::uint32_t value) {
  calls.push_back(L"SetFileAttributes " + path + L" " + Hex(value));
  std::wstring key = Fold(Resolve(path));
  if (files_.count(key) == 0 && !FolderExists(key)) return {false, win::kErrorFileNotFound};
  std::uint32_t& stored = attributes[key];
  stored = (stored & kKindBits) | (value == win::kFileAttributeNormal ? 0 : value & ~kKindBits);
  return {true, 0};
}

CallResult FakeFiles::CopyFile(const std::wstring& from, const std::wstring& to, bool fail_if_exists) {
  calls.push_back(L"CopyFile " + from + L" -> " + to);
  if (before_copy) before_copy(from);
  std::uint32_t gone = GoneError(from);
  if (gone == 0) gone = GoneError(to);
  if (gone != 0) return {false, gone};
  std::optional<std::string> bytes = Get(Resolve(from));
  if (!bytes) return {false, FolderExists(Resolve(from)) ? win::kErrorAccessDenied : win::kErrorFileNotFound};
  if (auto bad = read_errors.find(Fold(Resolve(from))); bad != read_errors.end()) return {false, bad->second};
  std::wstring dest = Resolve(to);
  std::size_t slash = dest.rfind(L'\\');
  if (slash == std::wstring::npos || !FolderExists(dest.substr(0, slash))) return {false, win::kErrorPathNotFound};
  if (!IsWritable(dest)) return {false, win::kErrorAccessDenied};
  if (Exists(dest) && fail_if_exists) return {false, kErrorFileExists};
  auto it = attributes.find(Fold(dest));
  if (it != attributes.end() && (it->second & win::kFileAttributeReadonly) != 0) return {false, win::kErrorAccessDenied};
  if (in_use.count(Fold(dest)) != 0) return {false, kErrorSharingViolation};
  // Windows removes what it wrote of a copy that ran out of room.
  if (!Allocate(dest, bytes->size())) return {false, kErrorDiskFull};
  Put(dest, *bytes);
  return {true, 0};
}

CallResult FakeFiles::MoveFileEx(const std::wstring& from, const std::wstring& to, std::uint32_t flags) {
  calls.push_back(L"MoveFileEx " + from + L" -> " + to);
  std::wstring src = Resolve(from), dest = Resolve(to);
  std::optional<std::string> bytes = Get(src);
  if (!bytes) return {false, win::kErrorFileNotFound};
  if (in_use.count(Fold(src)) != 0 || in_use.count(Fold(dest)) != 0) return {false, kErrorSharingViolation};
  // Both names are opened for deletion: an open handle that does not share it keeps them.
  const std::uint32_t all = win::kFileShareRead | win::kFileShareWrite | win::kFileShareDelete;
  bool dest_kept = Exists(dest) && !SharingAllows(Fold(dest), kDeleteAccess, all);
  if (!SharingAllows(Fold(src), kDeleteAccess, all) || dest_kept) return {false, kErrorSharingViolation};
  if (!IsWritable(dest)) return {false, win::kErrorAccessDenied};
  if (Exists(dest)) {
    if ((flags & win::kMoveFileReplaceExisting) == 0) return {false, win::kErrorAlreadyExists};
    auto it = attributes.find(Fold(dest));
    if (it != attributes.end() && (it->second & win::kFileAttributeReadonly) != 0) return {false, win::kErrorAccessDenied};
  }
  files_.erase(Fold(src));
  attributes.erase(Fold(src));
  Put(dest, *bytes);
  return {true, 0};
}

FindResult FakeFiles::FindFirstFile(const std::wstring& pattern) {
  calls.push_back(L"FindFirstFile " + pattern);
  std::size_t slash = pattern.rfind(L'\\');
  std::wstring mask = Fold(slash == std::wstring::npos ? pattern : pattern.substr(slash + 1));
  std::wstring folder = Resolve(slash == std::wstring::npos ? L"." : pattern.substr(0, slash + 1));
  if (std::uint32_t gone = GoneError(folder)) return {kInvalidHandle, gone, {}};
  if (!FolderExists(folder)) return {kInvalidHandle, win::kErrorPathNotFound, {}};
  // "*.*" also matches names without a dot, as it always has on Windows.
  if (mask == L"*.*") mask = L"*";
  std::vector<std::wstring> names;
  if (folder.size() > 2) names = {L".", L".."};
  for (const std::wstring& name : Children(folder)) names.push_back(name);
  std::deque<FindData> entries;
  for (const std::wstring& name : names) {
    if (!mask.empty() && Matches(mask, Fold(name))) entries.push_back(Describe(folder, name));
  }
  if (entries.empty()) return {kInvalidHandle, win::kErrorFileNotFound, {}};
  FindData first = entries.front();
  entries.pop_front();
  Handle h = next_find_;
  next_find_ += 4;
  finds_[h] = entries;
  return {h, 0, first};
}

std::optional<FindData> FakeFiles::FindNextFile(Handle find) {
  auto it = finds_.find(find);
  if (it == finds_.end() || it->second.empty()) return std::nullopt;
  FindData d = it->second.front();
  it->second.pop_front();
  return d;
}

bool FakeFiles::FindClose(Handle find) { return finds_.erase(find) == 1; }

namespace {

// A file's keys as the profile functions see them: by folded section and
// key, the first of duplicates kept. Parsed once per content, since a fuzz
// run reads one config.ini thousands of times a second.
using ProfileKeys = std::map<std::pair<std::wstring, std::wstring>, std::wstring>;

const ProfileKeys& ParseProfile(const std::string& bytes) {
  thread_local std::string parsed_bytes;
  thread_local ProfileKeys keys;
  thread_local bool parsed = false;
  if (parsed && bytes == parsed_bytes) return keys;
  keys.clear();
  std::wstring text = Decode(bytes);
  bool in_any_section = false;
  std::wstring section;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = Trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line[0] == L';') continue;
    if (line[0] == L'[') {
      std::size_t close = line.find(L']');
      section = Fold(Trim(line.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1)));
      in_any_section = true;
      continue;
    }
    if (!in_any_section) continue;
    std::size_t eq = line.find(L'=');
    keys.try_emplace({section, Fold(Trim(line.substr(0, eq)))},
                     eq == std::wstring::npos ? L"" : Trim(line.substr(eq + 1)));
  }
  parsed_bytes = bytes;
  parsed = true;
  return keys;
}

}  // namespace

ProfileRead FakeFiles::GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                               const std::wstring& default_value, std::uint32_t size,
                                               const std::wstring& file) {
  profile_sizes_asked.push_back(size);
  std::wstring value = default_value;
  auto it = files_.find(Key(file));
  if (it != files_.end()) {
    const ProfileKeys& keys = ParseProfile(it->second.bytes);
    auto found = keys.find({Fold(section), Fold(key)});
    if (found != keys.end()) {
      value = found->second;
      if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
      }
    }
  }
  if (size == 0) return {};
  if (value.size() > size - 1) value.resize(size - 1);
  return ProfileRead{value, static_cast<std::uint32_t>(value.size())};
}

// ---- version resources ----------------------------------------------------------

FixedFileInfo FakeVersionInfo::Put(const std::wstring& path, std::uint16_t a, std::uint16_t b, std::uint16_t c,
                                   std::uint16_t d) {
  if (!files_.Exists(path)) files_.Put(path, "MZ");
  FixedFileInfo info;
  info.signature = kVersionMagic;
  info.struc_version = 0x10000;
  info.file_version_ms = (static_cast<std::uint32_t>(a) << 16) | b;
  info.file_version_ls = (static_cast<std::uint32_t>(c) << 16) | d;
  info.product_version_ms = 0x00630063;  // differs on purpose from the file version
  info.product_version_ls = 0x00630063;
  resources_[Fold(files_.Absolute(path))] = info;
  bytes_[Fold(files_.Absolute(path))] = *files_.Get(path);
  return info;
}

bool FakeVersionInfo::Current(const std::wstring& path) const {
  auto it = bytes_.find(Fold(files_.Absolute(path)));
  return it != bytes_.end() && files_.Get(path) == it->second;
}

const FixedFileInfo* FakeVersionInfo::Find(const std::wstring& path) const {
  auto it = resources_.find(Fold(files_.Absolute(path)));
  return it == resources_.end() || !Current(path) ? nullptr : &it->second;
}

std::uint32_t FakeVersionInfo::GetFileVersionInfoSize(const std::wstring& path, std::uint32_t* handle) {
  if (handle) *handle = 0;
  return Find(path) ? 4 + sizeof(FixedFileInfo) : 0;
}

bool FakeVersionInfo::GetFileVersionInfo(const std::wstring& path, std::uint32_t, std::uint32_t size,
                                         std::vector<std::uint8_t>* block) {
  const FixedFileInfo* info = Find(path);
  if (info == nullptr || size < 4 + sizeof(FixedFileInfo)) return false;
  block->assign(size, 0);
  std::memcpy(block->data(), &kVersionMagic, 4);
  std::memcpy(block->data() + 4, info, sizeof(FixedFileInfo));
  return true;
}

std::optional<FixedFileInfo> FakeVersionInfo::VerQueryRoot(const std::vector<std::uint8_t>& block) {
  std::uint32_t magic = 0;
  if (block.size() < 4 + sizeof(FixedFileInfo)) return std::nullopt;
  std::memcpy(&magic, block.data(), 4);
  if (magic != kVersionMagic) return std::nullopt;
  FixedFileInfo info;
  std::memcpy(&info, block.data() + 4, sizeof(info));
  return info;
}

void FakeVersionInfo::PutStrings(const std::wstring& path, std::uint16_t lang, std::uint16_t code_page,
                                 const std::map<std::string, std::string>& values) {
  if (!files_.Exists(path)) files_.Put(path, "MZ");
  bytes_[Fold(files_.Absolute(path))] = *files_.Get(path);
  auto& table = strings_[Fold(files_.Absolute(path))];
  table["\\varfileinfo\\translation"] = {static_cast<char>(lang & 0xFF), static_cast<char>(lang >> 8),
                                          static_cast<char>(code_page & 0xFF), static_cast<char>(code_page >> 8)};
  char prefix[32];
  std::snprintf(prefix, sizeof prefix, "\\stringfileinfo\\%04x%04x\\", lang, code_page);
  for (const auto& [name, value] : values) table[prefix + Narrow(Fold(Widen(name)))] = value;
}

std::optional<std::vector<std::uint8_t>> FakeVersionInfo::BlockA(const std::string& path) const {
  std::wstring wide = Widen(path);
  const FixedFileInfo* info = Find(wide);
  auto table = strings_.find(Fold(files_.Absolute(wide)));
  bool has_strings = table != strings_.end() && Current(wide);
  if (info == nullptr && !has_strings) return std::nullopt;
  std::vector<std::uint8_t> block(4 + sizeof(FixedFileInfo), 0);
  std::memcpy(block.data(), &kVersionMagic, 4);
  if (info != nullptr) std::memcpy(block.data() + 4, info, sizeof(FixedFileInfo));
  auto append = [&](const std::string& text) {
    auto n = static_cast<std::uint32_t>(text.size());
    block.insert(block.end(), reinterpret_cast<const std::uint8_t*>(&n), reinterpret_cast<const std::uint8_t*>(&n) + 4);
    block.insert(block.end(), text.begin(), text.end());
  };
  if (has_strings) {
    for (const auto& [name, value] : table->second) {
      append(name);
      append(value);
    }
  }
  return block;
}

std::uint32_t FakeVersionInfo::GetFileVersionInfoSizeA(const std::string& path, std::uint32_t* handle) {
  if (handle) *handle = 0;
  std::optional<std::vector<std::uint8_t>> block = BlockA(path);
  return block ? static_cast<std::uint32_t>(block->size()) : 0;
}

bool FakeVersionInfo::GetFileVersionInfoA(const std::string& path, std::uint32_t, std::uint32_t size,
                                          std::vector<std::uint8_t>* block) {
  std::optional<std::vector<std::uint8_t>> whole = BlockA(path);
  if (!whole || size < whole->size()) return false;
  block->assign(size, 0);
  std::copy(whole->begin(), whole->end(), block->begin());
  return true;
}

std::optional<std::string> FakeVersionInfo::VerQueryValueA(const std::vector<std::uint8_t>& block,
                                                           const std::string& sub_block) {
  std::uint32_t magic = 0;
  if (block.size() < 4 + sizeof(FixedFileInfo)) return std::nullopt;
  std::memcpy(&magic, block.data(), 4);
  if (magic != kVersionMagic) return std::nullopt;
  std::string wanted = Narrow(Fold(Widen(sub_block)));
  std::size_t at = 4 + sizeof(FixedFileInfo);
  auto next = [&](std::string* text) {
    std::uint32_t n = 0;
    if (at + 4 > block.size()) return false;
    std::memcpy(&n, block.data() + at, 4);
    if (at + 4 + n > block.size()) return false;
    text->assign(reinterpret_cast<const char*>(block.data()) + at + 4, n);
    at += 4 + n;
    return true;
  };
  std::string name, value;
  while (next(&name) && next(&value)) {
    if (name == wanted) return value;
  }
  return std::nullopt;
}

}  // namespace devstart::sim
