// Runs the update client through the real Win32 adapters as the installer
// window will, from the folder it sits in (its config.ini, check library and
// update library), and prints what it found, one "name=value" line each:
//   update_probe check               the update check
//   update_probe swupdate            the check, then the software-update step
//   update_probe pcsuite             the check, then the guide dialog's Download
//   update_probe download            the check, then only the download
//   update_probe bench program|plain URL
//                                    downloads URL as the program does, or with
//                                    a plain loop of 64 KiB reads, into the
//                                    update library's place; prints the time
//   update_probe bench check         the time of the update check alone
// The trace goes to Devstart.Log in the temporary folder, as the program's.
#include "platform/win32/win_api.h"

#include <wininet.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/option.h"
#include "core/trace_log.h"
#include "platform/win32/machine.h"
#include "update/live_update.h"
#include "workflow/auto_run_manager.h"
#include "probe_support.h"

namespace {

using namespace devstart;

using probe::Print;

void PrintCheck(CLiveUpdate& live, int result) {
  Print("check", result);
  Print("version", live.Version());
  for (std::size_t i = 0; i < live.LibraryUrls().size(); ++i) {
    Print(("dll" + std::to_string(i)).c_str(), live.LibraryUrls()[i]);
  }
  for (std::size_t i = 0; i < live.SetupUrls().size(); ++i) {
    Print(("setup" + std::to_string(i)).c_str(), live.SetupUrls()[i]);
  }
  Print("sel_dll", live.SelectedLibraryUrl());
  Print("sel_setup", live.SelectedSetupUrl());
  Print("newer", live.isUpdateNewer());
}

// The anchor of the download benchmark: the simplest loop WinINet allows.
bool PlainDownload(const std::wstring& url, const std::wstring& path) {
  HINTERNET session = ::InternetOpenW(L"HTTP File Transfer", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (!session) return false;
  HINTERNET request = ::InternetOpenUrlW(session, url.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0);
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  bool ok = request && file != INVALID_HANDLE_VALUE;
  std::vector<char> buffer(65536);
  DWORD got = 0, wrote = 0;
  while (ok && ::InternetReadFile(request, buffer.data(), 65536, &got) && got > 0) {
    ok = ::WriteFile(file, buffer.data(), got, &wrote, nullptr) && wrote == got;
  }
  if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
  if (request) ::InternetCloseHandle(request);
  ::InternetCloseHandle(session);
  return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  std::wstring cmd = argv[1];
  wchar_t module[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring folder(module);
  folder.resize(folder.rfind(L'\\') + 1);
  static probe::Run run(folder + L"config.ini");
  Machine& m = run.machine();
  COption& option = run.option;
  CAutoRunManager manager(m, option);
  CLiveUpdate& live = manager.GetLiveUpdate();

  if (cmd == L"bench" && argc > 2) {
    std::wstring how = argv[2];
    if (how != L"check" && argc < 4) return 2;
    if (how != L"check") live.SelectLibraryUrl(argv[3]);
    LARGE_INTEGER f, t0, t1;
    ::QueryPerformanceFrequency(&f);
    ::QueryPerformanceCounter(&t0);
    bool ok = how == L"check"   ? live.CheckUpdateDll() == 0
              : how == L"plain" ? PlainDownload(argv[3], live.UpdateLibraryPath().value_or(L""))
                                : live.DownloadUrl() == 1;
    ::QueryPerformanceCounter(&t1);
    Print("ok", ok ? 1 : 0);
    std::printf("ms=%.1f\n", 1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(f.QuadPart));
    std::fflush(stdout);
    return 0;
  }

  int result = live.CheckUpdateDll();
  PrintCheck(live, result);
  if (cmd == L"check") {
  } else if (cmd == L"swupdate") {
    Print("StepSWUpate", manager.StepSWUpate());
  } else if (cmd == L"pcsuite") {
    Print("StepPCSuite", manager.StepPCSuite(0));
  } else if (cmd == L"download") {
    Print("DownloadUrl", live.DownloadUrl());
  } else {
    return 2;
  }
  std::fflush(stdout);
  return 0;
}
