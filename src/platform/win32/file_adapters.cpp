// Files, folders, pipes opened as files, config.ini; version resources.
#include "platform/win32/convert.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/adapters.h"

namespace devstart {

using win32::FromHandle;
using win32::HandleOf;
using win32::Result;
using win32::ToHandle;

namespace {
FindData FromFind(const WIN32_FIND_DATAW& d) {
  return FindData{d.dwFileAttributes, d.dwReserved0, std::wstring(reinterpret_cast<const wchar_t*>(d.cFileName))};
}
}  // namespace

std::wstring Win32FileSystem::GetTempPath() {
  wchar_t buf[MAX_PATH + 1];
  DWORD n = ::GetTempPathW(MAX_PATH + 1, buf);
  if (n == 0 || n > MAX_PATH) return {};
  return std::wstring(buf, n);
}

CallResult Win32FileSystem::SetCurrentDirectory(const std::wstring& path) {
  return Result(::SetCurrentDirectoryW(path.c_str()));
}

std::wstring Win32FileSystem::GetCurrentDirectory() {
  DWORD n = ::GetCurrentDirectoryW(0, nullptr);
  if (n == 0) return {};
  std::wstring s(n, L'\0');
  n = ::GetCurrentDirectoryW(n, s.data());
  s.resize(n);
  return s;
}

std::wstring Win32FileSystem::GetModuleFileName() {
  // The call cuts a long path without saying so but by filling the buffer:
  // grow until it fits.
  std::wstring s(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = ::GetModuleFileNameW(nullptr, s.data(), static_cast<DWORD>(s.size()));
    if (n == 0) return {};
    if (n < s.size()) {
      s.resize(n);
      return s;
    }
    s.resize(s.size() * 2);
  }
}

std::optional<std::wstring> Win32FileSystem::SHGetSpecialFolderPath(int csidl, bool create) {
  // The call takes no buffer size; 1024 units leave room beyond MAX_PATH.
  wchar_t buffer[1024] = {};
  if (!::SHGetSpecialFolderPathW(nullptr, buffer, csidl, create ? TRUE : FALSE)) return std::nullopt;
  return std::wstring(buffer);
}

HandleResult Win32FileSystem::CreateFile(const std::wstring& path, std::uint32_t access, std::uint32_t share,
                                         std::uint32_t disposition, std::uint32_t flags) {
  HANDLE h = ::CreateFileW(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
  return HandleOf(h, h == INVALID_HANDLE_VALUE);
}

IoResult Win32FileSystem::WriteFile(Handle file, const void* bytes, std::uint32_t size) {
  DWORD n = 0;
  BOOL ok = ::WriteFile(ToHandle(file), bytes, size, &n, nullptr);
  return IoResult{ok != FALSE, ok ? 0u : ::GetLastError(), n};
}

std::uint32_t Win32FileSystem::SetFilePointer(Handle file, std::int32_t distance, std::uint32_t method) {
  return ::SetFilePointer(ToHandle(file), distance, nullptr, method);
}

IoResult Win32FileSystem::ReadFile(Handle file, void* buffer, std::uint32_t size) {
  // The count stays meaningful on failure: a message pipe answers a short
  // buffer with ERROR_MORE_DATA and the part that fitted.
  DWORD n = 0;
  BOOL ok = ::ReadFile(ToHandle(file), buffer, size, &n, nullptr);
  return IoResult{ok != FALSE, ok ? 0u : ::GetLastError(), n};
}

CallResult Win32FileSystem::CreateDirectory(const std::wstring& path) {
  return Result(::CreateDirectoryW(path.c_str(), nullptr));
}

CallResult Win32FileSystem::RemoveDirectory(const std::wstring& path) { return Result(::RemoveDirectoryW(path.c_str())); }

CallResult Win32FileSystem::DeleteFile(const std::wstring& path) { return Result(::DeleteFileW(path.c_str())); }

CallResult Win32FileSystem::SetFileAttributes(const std::wstring& path, std::uint32_t attributes) {
  return Result(::SetFileAttributesW(path.c_str(), attributes));
}

CallResult Win32FileSystem::MoveFileEx(const std::wstring& from, const std::wstring& to, std::uint32_t flags) {
  return Result(::MoveFileExW(from.c_str(), to.c_str(), flags));
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

ProfileRead Win32FileSystem::GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                                     const std::wstring& default_value, std::uint32_t size,
                                                     const std::wstring& file) {
  std::vector<wchar_t> buf(size + 1, L'\0');
  DWORD n = ::GetPrivateProfileStringW(section.c_str(), key.c_str(), default_value.c_str(), buf.data(), size,
                                       file.c_str());
  return ProfileRead{std::wstring(buf.data(), n), n};
}

std::string Win32FileSystem::GetCurrentDirectoryA() {
  DWORD n = ::GetCurrentDirectoryA(0, nullptr);
  if (n == 0) return {};
  std::string s(n, '\0');
  n = ::GetCurrentDirectoryA(n, s.data());
  s.resize(n < s.size() ? n : 0);
  return s;
}

std::optional<std::string> Win32FileSystem::SHGetSpecialFolderPathA(int csidl, bool create) {
  // The call takes no buffer size; 1024 bytes leave room beyond MAX_PATH.
  char buffer[1024] = {};
  if (!::SHGetSpecialFolderPathA(nullptr, buffer, csidl, create ? TRUE : FALSE)) return std::nullopt;
  return std::string(buffer);
}

HandleResult Win32FileSystem::CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share,
                                          std::uint32_t disposition, std::uint32_t flags) {
  HANDLE h = ::CreateFileA(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
  return HandleOf(h, h == INVALID_HANDLE_VALUE);
}

CallResult Win32FileSystem::CreateDirectoryA(const std::string& path) {
  return Result(::CreateDirectoryA(path.c_str(), nullptr));
}

CallResult Win32FileSystem::DeleteFileA(const std::string& path) { return Result(::DeleteFileA(path.c_str())); }

std::uint32_t Win32FileSystem::GetFileAttributesA(const std::string& path) {
  return ::GetFileAttributesA(path.c_str());
}

CallResult Win32FileSystem::SetFileAttributesA(const std::string& path, std::uint32_t attributes) {
  return Result(::SetFileAttributesA(path.c_str(), attributes));
}

std::uint32_t Win32VersionInfo::GetFileVersionInfoSize(const std::wstring& path, std::uint32_t* handle) {
  // The call sets the handle (to zero) whether it succeeds or not.
  DWORD h = 0;
  DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &h);
  if (handle != nullptr) *handle = h;
  return size;
}

bool Win32VersionInfo::GetFileVersionInfo(const std::wstring& path, std::uint32_t handle, std::uint32_t size,
                                         std::vector<std::uint8_t>* block) {
  std::vector<std::uint8_t> data(size, 0);
  if (!::GetFileVersionInfoW(path.c_str(), handle, size, data.data())) return false;
  *block = std::move(data);
  return true;
}

std::optional<FixedFileInfo> Win32VersionInfo::VerQueryRoot(const std::vector<std::uint8_t>& block) {
  // An empty block has no address to give the call.
  void* data = nullptr;
  UINT len = 0;
  if (block.empty() || !::VerQueryValueW(block.data(), L"\\", &data, &len) || data == nullptr ||
      len < sizeof(VS_FIXEDFILEINFO)) {
    return std::nullopt;
  }
  const auto* f = static_cast<const VS_FIXEDFILEINFO*>(data);
  FixedFileInfo info;
  info.signature = f->dwSignature;
  info.struc_version = f->dwStrucVersion;
  info.file_version_ms = f->dwFileVersionMS;
  info.file_version_ls = f->dwFileVersionLS;
  info.product_version_ms = f->dwProductVersionMS;
  info.product_version_ls = f->dwProductVersionLS;
  return info;
}

std::uint32_t Win32VersionInfo::GetFileVersionInfoSizeA(const std::string& path, std::uint32_t* handle) {
  DWORD h = 0;
  DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &h);
  if (handle != nullptr) *handle = h;
  return size;
}

bool Win32VersionInfo::GetFileVersionInfoA(const std::string& path, std::uint32_t handle, std::uint32_t size,
                                          std::vector<std::uint8_t>* block) {
  std::vector<std::uint8_t> data(size, 0);
  if (!::GetFileVersionInfoA(path.c_str(), handle, size, data.data())) return false;
  *block = std::move(data);
  return true;
}

std::optional<std::string> Win32VersionInfo::VerQueryValueA(const std::vector<std::uint8_t>& block,
                                                           const std::string& sub_block) {
  void* value = nullptr;
  UINT len = 0;
  if (block.empty() || !::VerQueryValueA(block.data(), sub_block.c_str(), &value, &len) || value == nullptr) {
    return std::nullopt;
  }
  // The length counts characters for a string value and bytes for anything
  // else; string values are those under \StringFileInfo, a name the call
  // matches without regard to case.
  static constexpr std::string_view kStrings = "\\stringfileinfo\\";
  bool is_string = sub_block.size() > kStrings.size() &&
                   std::equal(kStrings.begin(), kStrings.end(), sub_block.begin(), [](char a, char b) {
                     return a == (b >= 'A' && b <= 'Z' ? static_cast<char>(b - 'A' + 'a') : b);
                   });
  if (is_string) return std::string(static_cast<const char*>(value));
  return std::string(static_cast<const char*>(value), len);
}

}  // namespace devstart
