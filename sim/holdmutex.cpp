// Holds a named mutex for a while, as a running copy of the program would, so
// tests can start a second instance. Prints "held" once it owns the name.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fwprintf(stderr, L"usage: holdmutex NAME SECONDS\n");
    return 2;
  }
  HANDLE mutex = ::CreateMutexW(nullptr, TRUE, argv[1]);
  if (mutex == nullptr) return 1;
  std::printf("held\n");
  std::fflush(stdout);
  ::Sleep(static_cast<DWORD>(_wtoi(argv[2])) * 1000);
  ::CloseHandle(mutex);
  return 0;
}
