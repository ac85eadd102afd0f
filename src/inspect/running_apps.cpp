#include "inspect/running_apps.h"

#include <cwctype>

#include "core/trace_log.h"

namespace devstart {

namespace {

const wchar_t kPCSuiteTitle[] = L"Tavo PC Suite IV";
const wchar_t kInternetKitClass[] = L"TAVO_INTERNET_KIT_CLASS";

bool SameNameIgnoringCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  }
  return true;
}

}  // namespace

int IsPCSuiteRunning(Machine& machine) { return machine.window_search->FindWindow(L"", kPCSuiteTitle) != 0 ? 1 : 0; }

int NotifyPCSuite(Machine& machine) {
  WindowHandle w = machine.window_search->FindWindow(L"", kPCSuiteTitle);
  if (w == 0) return 0;
  return machine.window_search->PostMessage(w, kMsgPCSuiteNotify, 0, 0) ? 1 : 0;
}

int IsInternetKitRunning(Machine& machine) {
  return machine.window_search->FindWindow(kInternetKitClass, L"") != 0 ? 1 : 0;
}

int IsVTPRunning(Machine& machine) {
  std::int32_t pid = FindProcess(machine, L"VTP.exe");
  return pid != 0 && pid != -1 ? 1 : 0;
}

std::int32_t FindProcess(Machine& machine, const std::wstring& exe_name) {
  IProcesses& p = *machine.processes;
  Handle snap = p.CreateToolhelp32Snapshot(win::kTh32csSnapProcess, 0);
  if (snap == kInvalidHandle) return 0;
  std::optional<ProcessEntry> e = p.Process32First(snap);
  if (!e) {
    Trace(L"[LC]FindProcess ChecK Fail");
    p.CloseHandle(snap);
    return -1;
  }
  for (; e; e = p.Process32Next(snap)) {
    if (SameNameIgnoringCase(e->szExeFile, exe_name)) {
      Trace(L"[LC] FindProcess Success!!");
      p.CloseHandle(snap);
      return static_cast<std::int32_t>(e->th32ProcessID);
    }
  }
  p.CloseHandle(snap);
  return -1;
}

int IsProcessAlive(Machine& machine, std::int32_t pid) {
  if (pid == 0) return 0;
  IProcesses& p = *machine.processes;
  Handle snap = p.CreateToolhelp32Snapshot(win::kTh32csSnapProcess, 0);
  if (snap == kInvalidHandle) return 0;
  std::optional<ProcessEntry> e = p.Process32First(snap);
  if (!e) {
    Trace(L"[LC]FindProcess ChecK Fail");
    p.CloseHandle(snap);
    return 0;
  }
  int alive = 0;
  for (; e; e = p.Process32Next(snap)) {
    if (static_cast<std::int32_t>(e->th32ProcessID) == pid) alive = 1;
  }
  p.CloseHandle(snap);
  return alive;
}

}  // namespace devstart
