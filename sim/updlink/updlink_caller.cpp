// Calls P4_Updlink.dll the way the desktop sync software does: loaded by
// name, the three stdcall exports with generous buffers, and StartUpdate.
// Commands run in order; each prints its results as "key=value" lines.
//   check VERSION | report HISTORY STATUS | phone | start | state
#include <windows.h>

#include <cstdio>
#include <cstring>

using CheckFn = int(__stdcall*)(const char*, char*, char*, char*);
using ReportFn = int(__stdcall*)(const char*, const char*, char*);
using PhoneFn = int(__stdcall*)(char*);
using StartFn = int(__cdecl*)();

static void PrintValue(const char* key, const char* name) {
  char data[1024] = {};
  DWORD size = sizeof data - 1;
  HKEY k;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &k) != ERROR_SUCCESS) {
    std::printf("%s=<no key>\n", name);
    return;
  }
  if (RegQueryValueExA(k, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS)
    std::printf("%s=%s\n", name, data);
  else
    std::printf("%s=<none>\n", name);
  RegCloseKey(k);
}

int main(int argc, char** argv) {
  HMODULE dll = LoadLibraryA("P4_Updlink.dll");
  if (!dll) {
    std::printf("load=failed %lu\n", GetLastError());
    return 2;
  }
  auto check = reinterpret_cast<CheckFn>(reinterpret_cast<void*>(GetProcAddress(dll, "CheckLVUpdate")));
  auto report = reinterpret_cast<ReportFn>(reinterpret_cast<void*>(GetProcAddress(dll, "UpdateGBCforSync")));
  auto phone = reinterpret_cast<PhoneFn>(reinterpret_cast<void*>(GetProcAddress(dll, "CheckPhoneSWUpdate")));
  auto start = reinterpret_cast<StartFn>(reinterpret_cast<void*>(GetProcAddress(dll, "StartUpdate")));
  if (!check || !report || !phone || !start) {
    std::printf("exports=missing\n");
    return 3;
  }
  for (int i = 1; i < argc; ++i) {
    static char url[4096], history[1024], message[256];
    std::memset(url, 0, sizeof url);
    std::memset(history, 0, sizeof history);
    std::memset(message, 0, sizeof message);
    if (!std::strcmp(argv[i], "check") && i + 1 < argc) {
      int r = check(argv[++i], url, history, message);
      std::printf("check.result=%d\ncheck.url=%s\ncheck.history=%s\ncheck.message=%s\n", r, url, history, message);
    } else if (!std::strcmp(argv[i], "report") && i + 2 < argc) {
      const char* id = argv[++i];
      const char* status = argv[++i];
      int r = report(id, status, message);
      std::printf("report.result=%d\nreport.message=%s\n", r, message);
    } else if (!std::strcmp(argv[i], "phone")) {
      int r = phone(message);
      std::printf("phone.result=%d\nphone.message=%s\n", r, message);
    } else if (!std::strcmp(argv[i], "start")) {
      std::printf("start.result=%d\n", start());
    } else if (!std::strcmp(argv[i], "state")) {
      PrintValue("Software\\LowRegistry\\Tavo Electronics Inc\\TAVOSYNC", "S_NUM");
      PrintValue("Software\\LowRegistry\\Tavo Electronics Inc\\TAVOSYNC", "S_KEY");
      PrintValue("Software\\LowRegistry\\Tavo Electronics Inc\\TavoMobileAX", "SYNCUPDATE");
    } else {
      std::printf("unknown=%s\n", argv[i]);
    }
    std::fflush(stdout);
  }
  FreeLibrary(dll);
  return 0;
}
