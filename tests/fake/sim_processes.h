// Processes of the simulated PC, with simulated time: every wait or sleep is
// one tick; a process ends at its tick, and new processes may start at a tick
// (to reuse an identifier that has just become free).
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "fake/sim_kernel.h"

namespace devstart::sim {

class FakeProcesses : public IProcesses, public KernelObjectOwner {
 public:
  explicit FakeProcesses(KernelHandles& handles) : handles_(handles) {}
  struct Process {
    std::uint32_t pid = 0;
    std::wstring exe;
    long ends_at = -1;  // tick at which it ends; -1 = never
    bool alive = true;
  };
  struct Launchable {
    std::wstring exe;   // file name the new process shows in snapshots
    long runs_for = 0;  // ticks until it ends; -1 = never
    std::vector<Process> then_start;  // started when it ends (same tick)
    std::function<void()> on_start;   // what the program does to the PC (a setup installs)
    bool refuses_elevation = false;   // the user answers "runas" with No
  };
  struct Launch {
    std::uint32_t mask;
    std::wstring verb, file, parameters, directory;
    int show;
  };

  // ShellExecuteA has no mask, but a working folder.
  struct ShellLaunch {
    std::string verb, file, parameters, directory;
    int show;
  };

  std::vector<Process> processes;
  std::map<std::wstring, Launchable> launchable;  // by folded file path
  std::vector<Launch> launches;
  std::vector<ShellLaunch> shell_launches;
  bool snapshot_fails = false;
  bool first_fails = false;
  bool has_get_process_id = true;
  bool has_nt_query = true;
  std::uint32_t next_pid = 4000;
  long tick = 0;
  // Messages waiting in the thread's queue, and a hook run on each dispatch.
  int pending_messages = 0;
  // A quit message in the queue (behind the pending ones), and every
  // PostQuitMessage in order.
  std::optional<int> queued_quit;
  std::vector<int> posted_quits;
  int dispatched = 0;
  std::function<void()> on_dispatch;
  int waits = 0;

  void Advance();
  void EndDue();  // ends the processes due at the current tick
  // Snapshots and process handles not closed yet.
  int open_handles() const;

  Handle CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t process_id) override;
  std::optional<ProcessEntry> Process32First(Handle snapshot) override;
  std::optional<ProcessEntry> Process32Next(Handle snapshot) override;
  ShellExecuteResult ShellExecuteEx(std::uint32_t mask, const std::wstring& verb, const std::wstring& file,
                                    const std::wstring& parameters, const std::wstring& directory,
                                    int show) override;
  std::optional<std::uint32_t> GetProcessIdByName(Handle process) override;
  std::optional<std::uint32_t> NtQueryProcessIdByName(Handle process) override;
  std::uint32_t MsgWaitForMultipleObjects(const std::vector<Handle>& handles, std::uint32_t timeout_ms,
                                          std::uint32_t wake_mask) override;
  PumpedMessage DispatchOneMessage() override;
  void PostQuitMessage(int exit_code) override;
  // Starts what is launchable (42), else SE_ERR_FNF (2).
  std::intptr_t ShellExecuteA(const std::string& verb, const std::string& file, const std::string& parameters,
                              const std::string& directory, int show) override;
  // Records the call and answers 42; starts nothing (the browser is outside).
  std::intptr_t ShellExecute(WindowHandle owner, const std::wstring& verb, const std::wstring& file,
                             const std::wstring& parameters, const std::wstring& directory, int show) override;
  struct OwnedLaunch {
    WindowHandle owner;
    std::wstring verb, file, parameters, directory;
    int show;
  };
  std::vector<OwnedLaunch> owned_launches;

  bool Release(Handle h) override;

 private:
  // Starts a launchable program; the index of its process.
  std::size_t Start(const Launchable& program);
  struct Snapshot {
    std::vector<ProcessEntry> entries;
    std::size_t next = 0;
  };
  KernelHandles& handles_;
  std::map<Handle, Snapshot> snapshots_;
  std::map<Handle, std::size_t> process_handles_;  // index into processes
  std::vector<std::pair<std::size_t, std::vector<Process>>> successors_;
};

}  // namespace devstart::sim
