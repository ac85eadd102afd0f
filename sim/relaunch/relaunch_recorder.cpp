// Records how it was started and ends at once, without a window: one record
// per start appended to C:\sim-relaunch\relaunch.txt, UTF-8 key=value lines,
// a record ending with an empty line. The whole record goes out in one write
// so that records of starts close together never interleave.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "utf8_out.h"

namespace {

const wchar_t kFolder[] = L"C:\\sim-relaunch";
const wchar_t kFile[] = L"C:\\sim-relaunch\\relaunch.txt";
const wchar_t kOneInstanceMutex[] = L"DevstartOneInstanceMutex";

std::wstring ArgumentsAfterProgramName() {
  std::wstring joined;
  int argc = 0;
  if (wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc)) {
    for (int i = 1; i < argc; ++i) {
      if (i > 1) joined += L' ';
      joined += argv[i];
    }
    ::LocalFree(argv);
  }
  return joined;
}

std::wstring CurrentDirectory() {
  DWORD n = ::GetCurrentDirectoryW(0, nullptr);
  std::wstring dir(n, L'\0');
  dir.resize(::GetCurrentDirectoryW(n, dir.data()));
  return dir;
}

std::wstring ModuleFileName() {
  std::wstring path(32768, L'\0');
  path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path;
}

// The installer's running copy holds this mutex while it relaunches.
bool OneInstanceMutexExists() {
  HANDLE m = ::OpenMutexW(SYNCHRONIZE, FALSE, kOneInstanceMutex);
  if (!m) return false;
  ::CloseHandle(m);
  return true;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  std::wstring record = L"command_line=" + std::wstring(::GetCommandLineW()) + L"\r\n" +
                        L"arguments=" + ArgumentsAfterProgramName() + L"\r\n" +
                        L"directory=" + CurrentDirectory() + L"\r\n" +
                        L"module=" + ModuleFileName() + L"\r\n" +
                        L"one_instance_mutex_existed=" + (OneInstanceMutexExists() ? L"1" : L"0") + L"\r\n" +
                        L"pid=" + std::to_wstring(::GetCurrentProcessId()) + L"\r\n\r\n";
  std::string bytes = utf8out::Utf8(record);
  ::CreateDirectoryW(kFolder, nullptr);
  HANDLE f = ::CreateFileW(kFile, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    ::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(f);
  }
  // Ends as the staged copy ends when it has handed over: a record that could
  // not be written shows as a missing record, not as an exit code.
  return 0;
}
