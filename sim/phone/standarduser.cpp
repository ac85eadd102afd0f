// Runs a program as a standard user would: with the Administrators group of
// the caller's token made deny-only, so the administrator test of a program
// before Windows Vista answers no. Waits for it and returns its exit code.
//   standarduser PROGRAM [ARGUMENTS...]   (run in the program's working directory)
#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fwprintf(stderr, L"usage: standarduser PROGRAM [ARGUMENTS...]\n");
    return 2;
  }
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ALL_ACCESS, &token)) return 3;
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof sid;
  if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size)) return 4;
  SID_AND_ATTRIBUTES deny{sid, 0};
  HANDLE restricted = nullptr;
  if (!::CreateRestrictedToken(token, 0, 1, &deny, 0, nullptr, 0, nullptr, &restricted)) {
    std::fwprintf(stderr, L"CreateRestrictedToken failed: %lu\n", ::GetLastError());
    return 5;
  }
  std::wstring command = L"\"" + std::wstring(argv[1]) + L"\"";
  for (int i = 2; i < argc; ++i) command += L" " + std::wstring(argv[i]);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessAsUserW(restricted, argv[1], command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                              &pi)) {
    std::fwprintf(stderr, L"CreateProcessAsUserW failed: %lu\n", ::GetLastError());
    return 6;
  }
  ::WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(pi.hProcess, &code);
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  return static_cast<int>(code);
}
