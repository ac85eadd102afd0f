// Runs the inspection code through the real Win32 adapters and prints what it
// found, one "name=value" line each, for the end-to-end tests:
//   inspect_probe queries             the installed-product queries
//   inspect_probe driver              driver files and installed driver version
//   inspect_probe fileversion PATH    the file version of a version resource
//   inspect_probe running             the running-application detectors
//   inspect_probe notify              posts the notification to the PC suite
//   inspect_probe execute FILE [ARGS] starts a program: its identifier
//   inspect_probe wait FILE [ARGS]    starts a setup and waits for it with a
//                                     window whose timer keeps ticking
//   inspect_probe step driver|itk|run the installer window's install step
//                                     with config.ini of the current folder
//   inspect_probe bench handle|poll FILE [ARGS]
//                                     waits as the installer does, or with a
//                                     literal 1 ms snapshot loop; prints the
//                                     CPU time the wait cost this process
// The trace goes to Devstart.Log in the temporary folder, as the program's.
#include "platform/win32/win_api.h"

#include <cstdio>
#include <string>
#include <utility>

#include "core/option.h"
#include "core/trace_log.h"
#include "inspect/driver_check.h"
#include "inspect/process_launch.h"
#include "inspect/registry_query.h"
#include "inspect/running_apps.h"
#include "inspect/version.h"
#include "platform/win32/machine.h"
#include "workflow/auto_run_manager.h"
#include "probe_support.h"

namespace {

using namespace devstart;

using probe::Print;

std::wstring Join(int argc, wchar_t** argv, int from) {
  std::wstring s;
  for (int i = from; i < argc; ++i) {
    if (!s.empty()) s += L' ';
    s += argv[i];
  }
  return s;
}

int g_ticks = 0;
LRESULT CALLBACK Ticker(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_TIMER) {
    ++g_ticks;
    ::InvalidateRect(w, nullptr, FALSE);
    return 0;
  }
  return ::DefWindowProcW(w, msg, wp, lp);
}

HWND TickingWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = Ticker;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"InspectProbeTicker";
  ::RegisterClassW(&wc);
  HWND w = ::CreateWindowExW(0, wc.lpszClassName, L"inspect probe", WS_OVERLAPPED, 0, 0, 100, 60, nullptr, nullptr,
                             wc.hInstance, nullptr);
  ::SetTimer(w, 1, 50, nullptr);
  return w;
}

double CpuSeconds() {
  FILETIME c, e, k, u;
  ::GetProcessTimes(::GetCurrentProcess(), &c, &e, &k, &u);
  auto v = [](FILETIME f) { return (static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
  return static_cast<double>(v(k) + v(u)) / 1e7;
}

// The wait as it was first written: a fresh snapshot every millisecond.
void LiteralPollingWait(Machine& m, std::int32_t pid) {
  while (IsProcessAlive(m, pid)) {
    ::Sleep(1);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  std::wstring cmd = argv[1];
  static probe::Run run(L".\\config.ini");
  Machine& m = run.machine();
  COption& option = run.option;
  CAutoRunManager manager(m, option);
  Print("mask", manager.registry_mask());

  if (cmd == L"queries") {
    Print("CheckPCSuiteInstall", manager.CheckPCSuiteInstall());
    Print("GetPCSuiteInstallPath", manager.GetPCSuiteInstallPath());
    Print("CheckITKInstall_TPS", manager.CheckITKInstall_TPS());
    Print("GetITKInstallPath_TPS", manager.GetITKInstallPath_TPS());
    Print("GetITKVersion_TPS", manager.GetITKVersion_TPS());
    Print("CheckITKInstall_VTP", manager.CheckITKInstall_VTP());
    Print("GetInstallPath", manager.GetInstallPath());
    Print("GetITKVersion_VTP", manager.GetITKVersion_VTP());
    Print("IsITKVersionCurrent", manager.IsITKVersionCurrent());
    Print("getDebugDownloadVersion", manager.GetRegManager().getDebugDownloadVersion());
  } else if (cmd == L"driver") {
    Print("IsX86System", IsX86System(m));
    Print("CheckDriverInstall", manager.CheckDriverInstall());
    Print("FolderA", DriverFolderPrimary(m));
    Print("VersionA", GetModemDriverFileVersion(m, DriverFolderPrimary(m)));
    Print("VersionB", GetModemDriverFileVersion(m, DriverFolderSecondary(m)));
    Print("GetInstalledDriverVersion", manager.GetInstalledDriverVersion());
    Print("IsDriverVersionCurrent", manager.IsDriverVersionCurrent());
  } else if (cmd == L"fileversion" && argc > 2) {
    FixedFileInfo info;
    int ok = ReadFixedFileInfo(m.versions, argv[2], &info);
    Print("ReadFixedFileInfo", ok);
    Print("version", ok ? FileVersionText(info) : L"");
  } else if (cmd == L"running") {
    Print("IsPCSuiteRunning", IsPCSuiteRunning(m));
    Print("IsInternetKitRunning", IsInternetKitRunning(m));
    Print("IsVTPRunning", IsVTPRunning(m));
    Print("FindProcess", FindProcess(m, argc > 2 ? argv[2] : L"VTP.exe"));
  } else if (cmd == L"notify") {
    Print("NotifyPCSuite", NotifyPCSuite(m));
  } else if (cmd == L"step" && argc > 2) {
    std::wstring step = argv[2];
    if (step == L"driver") Print("StepDriver", manager.StepDriver());
    if (step == L"itk") Print("StepITK", manager.StepITK());
    if (step == L"run") Print("StepRun", manager.StepRun());
  } else if (cmd == L"execute" && argc > 2) {
    Print("pid", ExecuteProcess(m, argv[2], Join(argc, argv, 3), 0));
  } else if (cmd == L"wait" && argc > 2) {
    TickingWindow();
    LaunchedProcess launched = LaunchProcess(m, argv[2], Join(argc, argv, 3), 0);
    Print("pid", launched.pid);
    std::int32_t waited = manager.waited_process_id();
    WaitForLaunchedProcess(m, waited, std::move(launched));
    Print("after", waited);
    Print("ticks_during_wait", g_ticks);
  } else if (cmd == L"bench" && argc > 3) {
    bool literal = std::wstring(argv[2]) == L"poll";
    LaunchedProcess launched = LaunchProcess(m, argv[3], Join(argc, argv, 4), 0);
    double before = CpuSeconds();
    DWORD t0 = ::GetTickCount();
    if (literal) {
      LiteralPollingWait(m, launched.pid);
      launched.process.reset();
    } else {
      std::int32_t waited = manager.waited_process_id();
      WaitForLaunchedProcess(m, waited, std::move(launched));
    }
    Print("wall_ms", static_cast<long long>(::GetTickCount() - t0));
    std::printf("cpu_s=%.4f\n", CpuSeconds() - before);
  } else {
    return 2;
  }
  std::fflush(stdout);
  return 0;
}
