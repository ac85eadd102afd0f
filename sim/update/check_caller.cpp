// Calls the check or update library the way the installer does and prints
// what came back as "key=value" lines, for trying the stand-ins by hand:
//   check_caller check DLL [ARG12 [FILL]]
//                                    CheckUPDLINK with ten 260-byte buffers
//                                    (zeroed, or holding FILL to show which ones
//                                    the library leaves alone), arg11 "TRUE" and
//                                    arg12 the first 20 bytes of ARG12 (or empty)
//   check_caller start DLL           StartUpdate
// A C++ exception raised by the library is printed (its code, flags, the
// thrown object's HRESULT and type name) and ends the process with 0x6D,
// since it cannot be resumed.
#include <windows.h>

#include <cstdio>
#include <cstring>

using CheckFn = int(__stdcall*)(char*, char*, char*, char*, char*, char*, char*, char*, char*, char*, char*, char*);
using StartFn = int(__cdecl*)();

namespace {

constexpr size_t kBuf = 260, kGuard = 4;
const char* const kNames[10] = {"version", "dll1", "dll2", "dll3", "dll4", "dll5", "unused", "setup1", "setup2", "setup3"};

LONG CALLBACK OnException(EXCEPTION_POINTERS* ep) {
  const EXCEPTION_RECORD* r = ep->ExceptionRecord;
  if (r->ExceptionCode != 0xE06D7363) return EXCEPTION_CONTINUE_SEARCH;
  std::printf("raised.code=0x%08lX\nraised.flags=%lu\nraised.params=%lu\nraised.magic=0x%08lX\n",
              r->ExceptionCode, r->ExceptionFlags, r->NumberParameters,
              static_cast<unsigned long>(r->ExceptionInformation[0]));
  const char* object = reinterpret_cast<const char*>(r->ExceptionInformation[1]);
  const char* info = reinterpret_cast<const char*>(r->ExceptionInformation[2]);
  long hr = 0;
  std::memcpy(&hr, object + sizeof(void*), sizeof hr);
  std::printf("raised.hresult=0x%08lX\n", static_cast<unsigned long>(hr));
#ifdef _WIN64
  const char* base = reinterpret_cast<const char*>(r->ExceptionInformation[3]);
  auto at = [&](const char* p) { int rva; std::memcpy(&rva, p, 4); return base + rva; };
  const char* array = at(info + 12);
  const char* type = at(array + 4);
  const char* descriptor = at(type + 4);
#else
  auto at = [](const char* p) { const char* q; std::memcpy(&q, p, sizeof q); return q; };
  const char* array = at(info + 12);
  const char* type = at(array + 4);
  const char* descriptor = at(type + 4);
#endif
  std::printf("raised.types=%d\nraised.type=%s\nraised.size=%d\n", *reinterpret_cast<const int*>(array),
              descriptor + 2 * sizeof(void*), *reinterpret_cast<const int*>(type + 20));
  std::fflush(stdout);
  ExitProcess(0x6D);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: check_caller check DLL [ARG12 [FILL]] | start DLL\n");
    return 1;
  }
  HMODULE dll = LoadLibraryA(argv[2]);
  if (!dll) {
    std::printf("load=failed %lu\n", GetLastError());
    return 2;
  }
  if (!std::strcmp(argv[1], "start")) {
    auto start = reinterpret_cast<StartFn>(reinterpret_cast<void*>(GetProcAddress(dll, "StartUpdate")));
    if (!start) {
      std::printf("export=missing\n");
      return 3;
    }
    std::printf("start.result=%d\n", start());
    return 0;
  }
  auto check = reinterpret_cast<CheckFn>(reinterpret_cast<void*>(GetProcAddress(dll, "CheckUPDLINK")));
  if (!check) {
    std::printf("export=missing\n");
    return 3;
  }
  AddVectoredExceptionHandler(1, OnException);
  // Each buffer is followed by guard bytes, to see that nothing writes past 260.
  static char bufs[10][kBuf + kGuard];
  std::memset(bufs, 0, sizeof bufs);
  for (auto& b : bufs) {
    if (argc > 4) std::strncpy(b, argv[4], kBuf - 1);
    std::memset(b + kBuf, 'G', kGuard);
  }
  // A 20-character ARG12 fills its buffer without a terminator, as the library must cope with.
  char arg11[20] = "TRUE", arg12[20] = {};
  if (argc > 3) std::strncpy(arg12, argv[3], sizeof arg12);
  int r = check(bufs[0], bufs[1], bufs[2], bufs[3], bufs[4], bufs[5], bufs[6], bufs[7], bufs[8], bufs[9], arg11, arg12);
  std::printf("check.result=%d\n", r);
  for (int i = 0; i < 10; ++i) {
    size_t n = strnlen(bufs[i], kBuf);
    std::printf("%s=%.*s\n%s.length=%u%s\n", kNames[i], static_cast<int>(n), bufs[i], kNames[i],
                static_cast<unsigned>(n), n == kBuf ? " unterminated" : "");
    if (std::memcmp(bufs[i] + kBuf, "GGGG", kGuard)) std::printf("%s.overrun=yes\n", kNames[i]);
  }
  return 0;
}
