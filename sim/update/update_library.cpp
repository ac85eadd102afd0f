// Stand-in for the update library the installer loads by full path from its
// own folder (P4_Updlink.dll) and whose StartUpdate it calls once. Each call
// appends "variant=<staged|newer> cwd=<current directory>\r\n" to
// C:\sim-update\startupdate.log, so tests see which copy ran and from where.
//
//   UPDATE_VARIANT="staged"|"newer"  the string compiled in (and so the bytes
//                                    that tell the two copies apart)
//   UPDATE_NOEXPORT                  exports StartUpdate2 only and writes nothing
#include <windows.h>

#include <cstdio>

#ifdef UPDATE_NOEXPORT
// A valid export table without the name the installer looks up.
extern "C" __declspec(dllexport) int StartUpdate2() { return 0; }
#else
#ifndef UPDATE_VARIANT
#error UPDATE_VARIANT names the copy (staged or newer)
#endif

// Exported through the .def; cdecl without arguments carries no decoration.
extern "C" int __cdecl StartUpdate() {
  CreateDirectoryA("C:\\sim-update", nullptr);
  char cwd[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, cwd);
  char line[MAX_PATH + 64];
  // The variant sits in the format itself, so "variant=newer" can be found in the file's bytes.
  int len = std::snprintf(line, sizeof line, "variant=" UPDATE_VARIANT " cwd=%s\r\n", cwd);
  HANDLE f = CreateFileA("C:\\sim-update\\startupdate.log", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f != INVALID_HANDLE_VALUE) {
    DWORD put = 0;
    WriteFile(f, line, static_cast<DWORD>(len), &put, nullptr);
    CloseHandle(f);
  }
  return 1;
}
#endif
