// Processes and the thread's messages.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/results.h"

namespace devstart {

// One message taken off the thread's queue (`taken` false when it was
// empty); `quit` holds the exit code when it was the quit message.
struct PumpedMessage {
  bool taken = false;
  std::optional<int> quit;
};

struct ProcessEntry {
  std::uint32_t th32ProcessID = 0;
  std::wstring szExeFile;
};

struct ShellExecuteResult {
  bool ok = false;
  Handle process = kNullHandle;  // hProcess with SEE_MASK_NOCLOSEPROCESS
  std::uint32_t error = 0;
};

class IProcesses {
 public:
  virtual ~IProcesses() = default;
  // CreateToolhelp32Snapshot; INVALID_HANDLE_VALUE on failure.
  virtual Handle CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t process_id) = 0;
  // Process32FirstW / Process32NextW with dwSize 556; nullopt when the call fails.
  virtual std::optional<ProcessEntry> Process32First(Handle snapshot) = 0;
  virtual std::optional<ProcessEntry> Process32Next(Handle snapshot) = 0;
  // ShellExecuteExW with a record of size 60 and no owner; an empty
  // directory is none (the new process inherits the current directory).
  virtual ShellExecuteResult ShellExecuteEx(std::uint32_t mask, const std::wstring& verb, const std::wstring& file,
                                            const std::wstring& parameters, const std::wstring& directory,
                                            int show) = 0;
  // "GetProcessId" looked up in kernel32.dll; nullopt when it is missing.
  virtual std::optional<std::uint32_t> GetProcessIdByName(Handle process) = 0;
  // "NtQueryInformationProcess" of ntdll.dll, basic information class (0),
  // its UniqueProcessId; nullopt when the entry point is missing or fails.
  virtual std::optional<std::uint32_t> NtQueryProcessIdByName(Handle process) = 0;
  // MsgWaitForMultipleObjects with wait-any.
  virtual std::uint32_t MsgWaitForMultipleObjects(const std::vector<Handle>& handles, std::uint32_t timeout_ms,
                                                  std::uint32_t wake_mask) = 0;
  // PeekMessageW with PM_REMOVE, then TranslateMessage and DispatchMessageW.
  // A quit message is taken but has no window to go to: its exit code comes
  // back instead, so that a pump inside a wait can post it again afterwards.
  virtual PumpedMessage DispatchOneMessage() = 0;
  // PostQuitMessage.
  virtual void PostQuitMessage(int exit_code) = 0;
  // ShellExecuteA with no owner: its HINSTANCE result (> 32 on success).
  virtual std::intptr_t ShellExecuteA(const std::string& verb, const std::string& file, const std::string& parameters,
                                      const std::string& directory, int show) = 0;
  // ShellExecuteW; an empty directory is passed as NULL.
  virtual std::intptr_t ShellExecute(WindowHandle owner, const std::wstring& verb, const std::wstring& file,
                                     const std::wstring& parameters, const std::wstring& directory, int show) = 0;
};

}  // namespace devstart
