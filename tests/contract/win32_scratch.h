// Scratch folders and files of the Win32 contract environments.
#pragma once

#include "platform/win32/win_api.h"

#include <string>

namespace devstart::contract {

// Removes a folder and everything in it (also what an earlier run left:
// process ids repeat under Wine).
inline void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW((folder + L"*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(folder + name + L"\\");
      } else {
        ::DeleteFileW((folder + name).c_str());
      }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
  }
  ::RemoveDirectoryW(folder.c_str());
}

// Replaces a file's content; false when it cannot be written whole.
inline bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
  ::CloseHandle(h);
  return ok;
}

}  // namespace devstart::contract
