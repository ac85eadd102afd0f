// Starting other programs and waiting for a started setup while the
// installer's window keeps working.
#pragma once

#include <cstdint>
#include <string>

#include "platform/handles.h"
#include "platform/machine.h"

namespace devstart {

// A started process: its identifier (-1 when unknown) and the handle from the
// launch (empty when none).
struct LaunchedProcess {
  std::int32_t pid = -1;
  UniqueHandle process;
};

// Starts a program with verb "runas" (elevate 1) or "open"; the new process's
// identifier, or -1 when the start failed. The process is not waited for.
// Without a directory the new process inherits the current one; only the
// relaunch of the local copy names one.
std::int32_t ExecuteProcess(Machine& machine, const std::wstring& file, const std::wstring& parameters, int elevate,
                            const std::wstring& directory = L"");
// The same, keeping the process handle for a wait.
LaunchedProcess LaunchProcess(Machine& machine, const std::wstring& file, const std::wstring& parameters, int elevate,
                              const std::wstring& directory = L"");

// Identifier of a process handle, -1 when neither lookup is available.
std::int32_t GetProcessIdOf(Machine& machine, Handle process);

// Waits for a launched setup, dispatching the thread's messages meanwhile.
// `waited_pid` (the manager's identifier) holds the setup's identifier during
// the wait and -1 after it. The wait is on the process handle, so it ends when
// that very process ends; only without a handle does it look for the
// identifier in process snapshots. Closes the handle. A quit message met
// during the wait is posted again after it.
void WaitForLaunchedProcess(Machine& machine, std::int32_t& waited_pid, LaunchedProcess launched);

}  // namespace devstart
