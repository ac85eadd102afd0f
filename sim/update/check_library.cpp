// Stand-in for the check library the installer loads from its own folder
// (P4_UpdlinkChk.dll). What it answers comes from C:\sim-update\check.ini:
//
//   [answer]
//   version=...  dll1=... .. dll5=...  unused=...  setup1=... .. setup3=...
//   result=1          ; what CheckUPDLINK returns (default 1)
//   hresult=0x8000... ; the check-comerror variant's error (default 0x80004005)
//
// Each key present is copied into its out buffer (at most 259 bytes and a
// NUL); a key that is missing leaves its buffer as the caller gave it. Every
// call first appends "call=<n> arg11=<..> arg12=<..>\r\n" to
// C:\sim-update\check.log, n counting the calls of all processes so far.
//
// The variant is chosen when building:
//   CHECK_NOEXPORT  exports CheckUPDLINKv2 only, so the lookup of CheckUPDLINK fails
//   CHECK_FAIL      logs and fills as usual, returns 0 whatever the ini says
//   CHECK_FULL      also fills all 260 bytes of the version buffer with '7',
//                   leaving no terminator, and returns 1
//   CHECK_COMERROR  logs and fills, then throws a _com_error the way code built
//                   with MSVC does: RaiseException(0xE06D7363) with the
//                   compiler's throw information, built here by hand
//   CHECK_CRASH     its entry point writes through a null pointer when the
//                   library is attached, so the load itself ends in an access
//                   violation and CheckUPDLINK is never reached
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char kFolder[] = "C:\\sim-update";
const char kIni[] = "C:\\sim-update\\check.ini";
const char kLog[] = "C:\\sim-update\\check.log";
const char kSection[] = "answer";
constexpr DWORD kBufferSize = 260;  // what the installer hands over for each out buffer
constexpr size_t kArgSize = 20;     // the size of the installer's arg11/arg12 buffers

#ifndef CHECK_NOEXPORT

// The 20-byte argument buffers up to their first NUL, never past their end.
void ArgText(const char* arg, char (&out)[kArgSize + 1]) {
  size_t n = 0;
  if (arg)
    while (n < kArgSize && arg[n]) ++n;
  if (n) std::memcpy(out, arg, n);
  out[n] = '\0';
}

// Calls are numbered by the log's lines, so the count goes on across the
// installer's restarts.
int CallsLogged() {
  HANDLE f = CreateFileA(kLog, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 0;
  int lines = 0;
  char buf[4096];
  DWORD got = 0;
  while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got)
    for (DWORD i = 0; i < got; ++i) lines += buf[i] == '\n';
  CloseHandle(f);
  return lines;
}

void LogCall(const char* arg11, const char* arg12) {
  CreateDirectoryA(kFolder, nullptr);
  char a11[kArgSize + 1], a12[kArgSize + 1];
  ArgText(arg11, a11);
  ArgText(arg12, a12);
  char line[128];
  int len = std::snprintf(line, sizeof line, "call=%d arg11=%s arg12=%s\r\n", CallsLogged() + 1, a11, a12);
  HANDLE f = CreateFileA(kLog, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD put = 0;
  WriteFile(f, line, static_cast<DWORD>(len), &put, nullptr);
  CloseHandle(f);
}

bool KeyPresent(const char* names, const char* key) {
  for (const char* p = names; *p; p += std::strlen(p) + 1)
    if (!lstrcmpiA(p, key)) return true;
  return false;
}

struct Slot {
  const char* key;
  char* buffer;
};

void FillBuffers(const Slot (&slots)[10]) {
  // The section's key names, to tell a missing key from an empty value.
  static char names[8192];
  std::memset(names, 0, sizeof names);
  GetPrivateProfileStringA(kSection, nullptr, "", names, sizeof names, kIni);
  for (const Slot& s : slots)
    if (s.buffer && KeyPresent(names, s.key))
      GetPrivateProfileStringA(kSection, s.key, "", s.buffer, kBufferSize, kIni);
}

#ifdef CHECK_COMERROR
// What a 32-bit MSVC "throw _com_error(hr)" hands to RaiseException. On x86
// every pointer in the throw information is absolute. A 64-bit build (the sim
// folder is built for win64 too) gets the x64 shape instead: the throw
// information holds 32-bit offsets from the image base, which is passed as a
// fourth parameter; offsets cannot be static initialisers, so they are filled
// in just before raising.
constexpr DWORD kCppException = 0xE06D7363;
constexpr ULONG_PTR kMagic = 0x19930520;

struct ComErrorObject {  // _com_error's members, in order
  void* vftable;
  HRESULT hr;
  void* perrinfo;
  wchar_t* msg;
};

struct TypeDescriptor {
  const void* pVFTable;
  void* spare;
  char name[17];
};

#ifdef _WIN64
using TypeRef = int;  // image-relative
#else
using TypeRef = const void*;
#endif

struct CatchableType {
  unsigned properties;
  TypeRef pType;
  int mdisp, pdisp, vdisp;
  int sizeOrOffset;
  TypeRef copyFunction;
};

struct CatchableTypeArray {
  int nCatchableTypes;
  TypeRef arrayOfCatchableTypes[1];
};

struct ThrowInfo {
  unsigned attributes;
  TypeRef pmfnUnwind;
  TypeRef pForwardCompat;
  TypeRef pCatchableTypeArray;
};

// Nothing calls through these tables; catchers match the type by its name.
const void* const kComErrorVftable[1] = {nullptr};
const void* const kTypeInfoVftable[1] = {nullptr};
TypeDescriptor gComErrorType = {kTypeInfoVftable, nullptr, ".?AV_com_error@@"};

#ifdef _WIN64
extern "C" IMAGE_DOS_HEADER __ImageBase;
int Rva(const void* p) {
  return static_cast<int>(reinterpret_cast<const char*>(p) - reinterpret_cast<const char*>(&__ImageBase));
}
CatchableType gComErrorCatchable = {0, 0, 0, -1, 0, sizeof(ComErrorObject), 0};
CatchableTypeArray gCatchables = {1, {0}};
ThrowInfo gThrowInfo = {0, 0, 0, 0};
#else
CatchableType gComErrorCatchable = {0, &gComErrorType, 0, -1, 0, sizeof(ComErrorObject), nullptr};
CatchableTypeArray gCatchables = {1, {&gComErrorCatchable}};
ThrowInfo gThrowInfo = {0, nullptr, nullptr, &gCatchables};
#endif

ComErrorObject gThrown;

HRESULT IniHresult() {
  char text[64] = {};
  GetPrivateProfileStringA(kSection, "hresult", "0x80004005", text, sizeof text, kIni);
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  bool hex = p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
  return static_cast<HRESULT>(std::strtoll(hex ? p + 2 : p, nullptr, hex ? 16 : 10));
}

[[noreturn]] void ThrowComError(HRESULT hr) {
  gThrown = {const_cast<void*>(static_cast<const void*>(kComErrorVftable)), hr, nullptr, nullptr};
#ifdef _WIN64
  gComErrorCatchable.pType = Rva(&gComErrorType);
  gCatchables.arrayOfCatchableTypes[0] = Rva(&gComErrorCatchable);
  gThrowInfo.pCatchableTypeArray = Rva(&gCatchables);
  const ULONG_PTR params[4] = {kMagic, reinterpret_cast<ULONG_PTR>(&gThrown),
                               reinterpret_cast<ULONG_PTR>(&gThrowInfo), reinterpret_cast<ULONG_PTR>(&__ImageBase)};
#else
  const ULONG_PTR params[3] = {kMagic, reinterpret_cast<ULONG_PTR>(&gThrown),
                               reinterpret_cast<ULONG_PTR>(&gThrowInfo)};
#endif
  RaiseException(kCppException, EXCEPTION_NONCONTINUABLE, sizeof params / sizeof params[0], params);
  // Resuming a non-continuable exception is itself an error, so this is not
  // reached; it only keeps the function from ever returning normally.
  ExitProcess(static_cast<UINT>(hr));
}
#endif  // CHECK_COMERROR

#endif  // !CHECK_NOEXPORT

}  // namespace

#ifdef CHECK_CRASH
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    // Volatile both ways: the compiler may neither see the null nor drop the store.
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
  }
  return TRUE;
}
#endif

#ifdef CHECK_NOEXPORT
// A harmless export of another name: the DLL loads and has an export table,
// but the installer's lookup of CheckUPDLINK finds nothing.
extern "C" __declspec(dllexport) int CheckUPDLINKv2() { return 0; }
#else
// Exported undecorated through the .def (with --kill-at on i686).
extern "C" int __stdcall CheckUPDLINK(char* version, char* dll1, char* dll2, char* dll3, char* dll4, char* dll5,
                                      char* unused7, char* setup1, char* setup2, char* setup3, char* arg11,
                                      char* arg12) {
  LogCall(arg11, arg12);
  FillBuffers({{"version", version},
               {"dll1", dll1},
               {"dll2", dll2},
               {"dll3", dll3},
               {"dll4", dll4},
               {"dll5", dll5},
               {"unused", unused7},
               {"setup1", setup1},
               {"setup2", setup2},
               {"setup3", setup3}});
#if defined(CHECK_FAIL)
  return 0;
#elif defined(CHECK_FULL)
  if (version) std::memset(version, '7', kBufferSize);
  return 1;
#elif defined(CHECK_COMERROR)
  ThrowComError(IniHresult());
#else
  return static_cast<int>(GetPrivateProfileIntA(kSection, "result", 1, kIni));
#endif
}
#endif
