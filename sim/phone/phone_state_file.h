// The simulated phone's state file, shared by every process that calls the
// SCSI command library (the program, the service) and by the tests and the
// demo: C:\sim-phone\phone.txt, in the form described in phone_model.h. Each
// call holds the file exclusively while it reads, updates and writes it.
#pragma once

#include <windows.h>

#include <string>

#include "phone_model.h"

namespace simphone {

constexpr const wchar_t* kStateFolder = L"C:\\sim-phone";
constexpr const wchar_t* kStateFile = L"C:\\sim-phone\\phone.txt";

// Runs `update` on the phone's state under the file's exclusive lock and
// writes the result back. Returns false when the file could not be held.
template <typename Update>
bool WithPhoneState(Update update) {
  ::CreateDirectoryW(kStateFolder, nullptr);
  HANDLE h = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 500 && h == INVALID_HANDLE_VALUE; ++attempt) {
    h = ::CreateFileW(kStateFile, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                      nullptr);
    if (h == INVALID_HANDLE_VALUE) ::Sleep(10);
  }
  if (h == INVALID_HANDLE_VALUE) return false;
  std::string text;
  char buf[4096];
  DWORD n = 0;
  while (::ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) text.append(buf, n);
  PhoneModel model = PhoneModel::Parse(text);
  update(model);
  std::string out = model.Format();
  ::SetFilePointer(h, 0, nullptr, FILE_BEGIN);
  DWORD written = 0;
  ::WriteFile(h, out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
  ::SetEndOfFile(h);
  ::CloseHandle(h);
  return true;
}

}  // namespace simphone
