#include "fake/sim_processes.h"

#include <stdexcept>

namespace devstart::sim {

void FakeProcesses::Advance() {
  ++tick;
  EndDue();
}

void FakeProcesses::EndDue() {
  for (std::size_t i = 0; i < processes.size(); ++i) {
    Process& p = processes[i];
    if (p.alive && p.ends_at >= 0 && p.ends_at <= tick) {
      p.alive = false;
      for (auto& s : successors_) {
        if (s.first == i) {
          for (Process n : s.second) {
            n.alive = true;
            processes.push_back(n);
          }
          s.second.clear();
        }
      }
    }
  }
}

int FakeProcesses::open_handles() const { return static_cast<int>(process_handles_.size() + snapshots_.size()); }

Handle FakeProcesses::CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t) {
  if (snapshot_fails || !(flags & win::kTh32csSnapProcess)) return kInvalidHandle;
  Snapshot s;
  for (const Process& p : processes) {
    if (p.alive) s.entries.push_back(ProcessEntry{p.pid, p.exe});
  }
  Handle h = handles_.Open(*this);
  snapshots_[h] = s;
  return h;
}

std::optional<ProcessEntry> FakeProcesses::Process32First(Handle snapshot) {
  auto it = snapshots_.find(snapshot);
  if (first_fails || it == snapshots_.end() || it->second.entries.empty()) return std::nullopt;
  it->second.next = 1;
  return it->second.entries[0];
}

std::optional<ProcessEntry> FakeProcesses::Process32Next(Handle snapshot) {
  auto it = snapshots_.find(snapshot);
  if (it == snapshots_.end() || it->second.next >= it->second.entries.size()) return std::nullopt;
  return it->second.entries[it->second.next++];
}

bool FakeProcesses::Release(Handle h) { return snapshots_.erase(h) + process_handles_.erase(h) > 0; }

std::size_t FakeProcesses::Start(const Launchable& program) {
  Process p;
  p.pid = next_pid;
  next_pid += 4;
  p.exe = program.exe;
  p.ends_at = program.runs_for < 0 ? -1 : tick + program.runs_for;
  processes.push_back(p);
  std::size_t index = processes.size() - 1;
  if (!program.then_start.empty()) successors_.emplace_back(index, program.then_start);
  if (program.on_start) program.on_start();
  return index;
}

ShellExecuteResult FakeProcesses::ShellExecuteEx(std::uint32_t mask, const std::wstring& verb, const std::wstring& file,
                                                 const std::wstring& parameters, const std::wstring& directory,
                                                 int show) {
  launches.push_back(Launch{mask, verb, file, parameters, directory, show});
  ShellExecuteResult r;
  auto it = launchable.find(Fold(file));
  if (it == launchable.end()) {
    r.error = win::kErrorFileNotFound;
    return r;
  }
  if (verb == L"runas" && it->second.refuses_elevation) {
    r.error = win::kErrorCancelled;
    return r;
  }
  std::size_t index = Start(it->second);
  r.ok = true;
  if (mask & win::kSeeMaskNoCloseProcess) {
    r.process = handles_.Open(*this);
    process_handles_[r.process] = index;
  }
  EndDue();
  return r;
}

std::intptr_t FakeProcesses::ShellExecuteA(const std::string& verb, const std::string& file,
                                           const std::string& parameters, const std::string& directory, int show) {
  shell_launches.push_back(ShellLaunch{verb, file, parameters, directory, show});
  auto it = launchable.find(Fold(Widen(file)));
  if (it == launchable.end()) return 2;
  Start(it->second);
  EndDue();
  return 42;
}

std::intptr_t FakeProcesses::ShellExecute(WindowHandle owner, const std::wstring& verb, const std::wstring& file,
                                         const std::wstring& parameters, const std::wstring& directory, int show) {
  owned_launches.push_back(OwnedLaunch{owner, verb, file, parameters, directory, show});
  return 42;
}

std::optional<std::uint32_t> FakeProcesses::GetProcessIdByName(Handle process) {
  if (!has_get_process_id) return std::nullopt;
  auto it = process_handles_.find(process);
  return it == process_handles_.end() ? 0u : processes[it->second].pid;
}

std::optional<std::uint32_t> FakeProcesses::NtQueryProcessIdByName(Handle process) {
  if (!has_nt_query) return std::nullopt;
  auto it = process_handles_.find(process);
  if (it == process_handles_.end()) return std::nullopt;
  return processes[it->second].pid;
}

std::uint32_t FakeProcesses::MsgWaitForMultipleObjects(const std::vector<Handle>& handles, std::uint32_t timeout_ms,
                                                       std::uint32_t) {
  ++waits;
  for (long spins = 0;; ++spins) {
    for (std::size_t i = 0; i < handles.size(); ++i) {
      auto it = process_handles_.find(handles[i]);
      if (it == process_handles_.end()) return win::kWaitFailed;
      if (!processes[it->second].alive) return win::kWaitObject0 + static_cast<std::uint32_t>(i);
    }
    if (pending_messages > 0 || queued_quit) return win::kWaitObject0 + static_cast<std::uint32_t>(handles.size());
    if (timeout_ms != win::kInfinite && spins > 0) return win::kWaitTimeout;
    if (spins > 1000000) throw std::runtime_error("the wait would never return");
    Advance();
  }
}

PumpedMessage FakeProcesses::DispatchOneMessage() {
  if (pending_messages > 0) {
    --pending_messages;
    ++dispatched;
    if (on_dispatch) on_dispatch();
    return {true, std::nullopt};
  }
  if (queued_quit) {
    std::optional<int> quit = queued_quit;
    queued_quit.reset();
    return {true, quit};
  }
  return {};
}

void FakeProcesses::PostQuitMessage(int exit_code) {
  posted_quits.push_back(exit_code);
  queued_quit = exit_code;
}

}  // namespace devstart::sim
