#include "inspect/running_apps.h"

#include <cwctype>

#include "core/trace_log.h"
#include "platform/handles.h"

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

int IsPCSuiteRunning(Machine& machine) { return machine.windows.FindWindow(L"", kPCSuiteTitle) != 0 ? 1 : 0; }

int NotifyPCSuite(Machine& machine) {
  WindowHandle w = machine.windows.FindWindow(L"", kPCSuiteTitle);
  if (w == 0) return 0;
  return machine.windows.PostMessage(w, kMsgPCSuiteNotify, 0, 0) ? 1 : 0;
}

int IsInternetKitRunning(Machine& machine) {
  return machine.windows.FindWindow(kInternetKitClass, L"") != 0 ? 1 : 0;
}

int IsVTPRunning(Machine& machine) {
  std::int32_t pid = FindProcess(machine, L"VTP.exe");
  return pid != 0 && pid != -1 ? 1 : 0;
}

namespace {

enum class Walk { kNoSnapshot, kFirstFailed, kDone };

// Offers every process of one snapshot to `visit` until it answers true.
template <typename Visit>
Walk WalkProcesses(Machine& machine, Visit visit) {
  IProcesses& p = machine.processes;
  UniqueFile snap(machine.kernel, p.CreateToolhelp32Snapshot(win::kTh32csSnapProcess, 0));
  if (!snap) return Walk::kNoSnapshot;
  std::optional<ProcessEntry> e = p.Process32First(snap.get());
  if (!e) {
    Trace(L"[LC]FindProcess ChecK Fail");
    return Walk::kFirstFailed;
  }
  for (; e; e = p.Process32Next(snap.get())) {
    if (visit(*e)) break;
  }
  return Walk::kDone;
}

}  // namespace

std::int32_t FindProcess(Machine& machine, const std::wstring& exe_name) {
  std::int32_t found = -1;
  Walk walk = WalkProcesses(machine, [&](const ProcessEntry& e) {
    if (!SameNameIgnoringCase(e.szExeFile, exe_name)) return false;
    Trace(L"[LC] FindProcess Success!!");
    found = static_cast<std::int32_t>(e.th32ProcessID);
    return true;
  });
  return walk == Walk::kNoSnapshot ? 0 : found;
}

int IsProcessAlive(Machine& machine, std::int32_t pid) {
  if (pid == 0) return 0;
  int alive = 0;
  WalkProcesses(machine, [&](const ProcessEntry& e) {
    if (static_cast<std::int32_t>(e.th32ProcessID) == pid) alive = 1;
    return false;  // the whole snapshot is read, as it always was
  });
  return alive;
}

}  // namespace devstart
