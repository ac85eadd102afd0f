#include "inspect/process_launch.h"

#include "inspect/running_apps.h"

namespace devstart {

namespace {

// How long one pass of the snapshot fall-back waits for a message before it
// looks at the snapshot again.
constexpr std::uint32_t kSnapshotPollMs = 100;

// Handles what is queued. A quit message (the window was closed during the
// wait) is kept in `quit` rather than lost: the caller posts it again once
// the wait is over, so that the program's own loop still ends.
void DispatchPending(IProcesses& p, std::optional<int>& quit) {
  for (PumpedMessage m = p.DispatchOneMessage(); m.taken; m = p.DispatchOneMessage()) {
    if (m.quit) quit = m.quit;
  }
}

}  // namespace

LaunchedProcess LaunchProcess(Machine& machine, const std::wstring& file, const std::wstring& parameters, int elevate,
                              const std::wstring& directory) {
  ShellExecuteResult r = machine.processes.ShellExecuteEx(win::kSeeMaskNoCloseProcess, elevate == 1 ? L"runas" : L"open",
                                                           file, parameters, directory, win::kSwShow);
  LaunchedProcess launched;
  if (!r.ok) return launched;
  launched.process.reset(machine.kernel, r.process);
  launched.pid = r.process == kNullHandle ? -1 : GetProcessIdOf(machine, r.process);
  return launched;
}

std::int32_t ExecuteProcess(Machine& machine, const std::wstring& file, const std::wstring& parameters, int elevate,
                            const std::wstring& directory) {
  return LaunchProcess(machine, file, parameters, elevate, directory).pid;
}

std::int32_t GetProcessIdOf(Machine& machine, Handle process) {
  if (std::optional<std::uint32_t> id = machine.processes.GetProcessIdByName(process)) {
    return static_cast<std::int32_t>(*id);
  }
  if (std::optional<std::uint32_t> id = machine.processes.NtQueryProcessIdByName(process)) {
    return static_cast<std::int32_t>(*id);
  }
  return -1;
}

void WaitForLaunchedProcess(Machine& machine, std::int32_t& waited_pid, LaunchedProcess launched) {
  IProcesses& p = machine.processes;
  waited_pid = launched.pid;
  bool handle_usable = launched.process.valid();
  std::optional<int> quit;
  // Messages already in the queue would not wake the wait: handle them first.
  DispatchPending(p, quit);
  while (handle_usable) {
    std::uint32_t r = p.MsgWaitForMultipleObjects({launched.process.get()}, win::kInfinite, win::kQsAllInput);
    if (r == win::kWaitObject0) break;
    if (r == win::kWaitObject0 + 1) {
      DispatchPending(p, quit);
    } else {
      handle_usable = false;  // the handle cannot be waited on: look for the identifier instead
    }
  }
  if (!handle_usable) {
    while (IsProcessAlive(machine, waited_pid)) {
      p.MsgWaitForMultipleObjects({}, kSnapshotPollMs, win::kQsAllInput);
      DispatchPending(p, quit);
    }
  }
  launched.process.reset();
  waited_pid = -1;
  if (quit) p.PostQuitMessage(*quit);
}

}  // namespace devstart
