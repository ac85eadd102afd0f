// Files and folders.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/results.h"

namespace devstart {

// GetPrivateProfileStringW. `size` is the buffer size in characters; the
// result holds what Windows copied (without the terminator) and its return
// value (the copied length, size - 1 when the value was cut).
struct ProfileRead {
  std::wstring text;
  std::uint32_t returned = 0;
};

// One WIN32_FIND_DATAW, the fields the program reads.
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

// Files, folders, named pipes opened as files, and config.ini. File and pipe
// handles are closed with IKernelObjects::CloseHandle, find handles with
// FindClose.
class IFileSystem {
 public:
  virtual ~IFileSystem() = default;
  // GetTempPathW: the folder with its trailing backslash; empty on failure.
  virtual std::wstring GetTempPath() = 0;
  virtual std::wstring GetCurrentDirectory() = 0;
  virtual CallResult SetCurrentDirectory(const std::wstring& path) = 0;
  // GetModuleFileNameW(NULL).
  virtual std::wstring GetModuleFileName() = 0;
  // SHGetSpecialFolderPathW with no owner; nullopt when it fails.
  virtual std::optional<std::wstring> SHGetSpecialFolderPath(int csidl, bool create) = 0;
  // CreateFileW(path, access, share, NULL, disposition, flags, NULL);
  // INVALID_HANDLE_VALUE on failure.
  virtual HandleResult CreateFile(const std::wstring& path, std::uint32_t access, std::uint32_t share,
                                  std::uint32_t disposition, std::uint32_t flags) = 0;
  virtual IoResult WriteFile(Handle file, const void* bytes, std::uint32_t size) = 0;
  // SetFilePointer with no high part: the new position, or
  // INVALID_SET_FILE_POINTER.
  virtual std::uint32_t SetFilePointer(Handle file, std::int32_t distance, std::uint32_t method) = 0;
  virtual IoResult ReadFile(Handle file, void* buffer, std::uint32_t size) = 0;
  virtual CallResult CreateDirectory(const std::wstring& path) = 0;
  virtual CallResult RemoveDirectory(const std::wstring& path) = 0;
  virtual CallResult DeleteFile(const std::wstring& path) = 0;
  virtual CallResult SetFileAttributes(const std::wstring& path, std::uint32_t attributes) = 0;
  virtual CallResult CopyFile(const std::wstring& from, const std::wstring& to, bool fail_if_exists) = 0;
  virtual CallResult MoveFileEx(const std::wstring& from, const std::wstring& to, std::uint32_t flags) = 0;
  virtual FindResult FindFirstFile(const std::wstring& pattern) = 0;
  // FindNextFileW; nullopt when it fails (no more files included).
  virtual std::optional<FindData> FindNextFile(Handle find) = 0;
  virtual bool FindClose(Handle find) = 0;
  virtual ProfileRead GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                              const std::wstring& default_value, std::uint32_t size,
                                              const std::wstring& file) = 0;
  // The ANSI variants the live-update library uses.
  virtual std::string GetCurrentDirectoryA() = 0;
  virtual std::optional<std::string> SHGetSpecialFolderPathA(int csidl, bool create) = 0;
  virtual HandleResult CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share,
                                   std::uint32_t disposition, std::uint32_t flags) = 0;
  virtual CallResult CreateDirectoryA(const std::string& path) = 0;
  virtual CallResult DeleteFileA(const std::string& path) = 0;
  // INVALID_FILE_ATTRIBUTES when the path does not exist.
  virtual std::uint32_t GetFileAttributesA(const std::string& path) = 0;
  virtual CallResult SetFileAttributesA(const std::string& path, std::uint32_t attributes) = 0;
};

}  // namespace devstart
