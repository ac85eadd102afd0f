// Fakes of the inspection ports: a registry with a 32-bit view of
// HKLM\SOFTWARE under Wow6432Node, version resources, processes that end
// after a number of waits, top-level windows and the native architecture.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/ports_inspect.h"

namespace devstart::sim {

class FakeFileSystem;

class FakeRegistry : public IRegistry {
 public:
  struct Value {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
  };
  // Whether the PC is 64-bit (then the 32-bit program's own view, and
  // KEY_WOW64_32KEY, land under SOFTWARE\Wow6432Node of HKLM).
  bool os_64bit = true;
  // An elevated run may create keys under HKLM; a standard user may not.
  bool elevated = true;
  // Keys (full, e.g. L"HKLM\\SOFTWARE\\Wow6432Node\\X") that refuse opening.
  std::set<std::wstring> denied;

  // Test set-up, in physical paths ("HKLM\\SOFTWARE\\Wow6432Node\\...").
  void PutKey(const std::wstring& path);
  void Put(const std::wstring& path, const std::wstring& name, std::uint32_t type, std::vector<std::uint8_t> bytes);
  void PutString(const std::wstring& path, const std::wstring& name, const std::wstring& text,
                 std::uint32_t type = win::kRegSz);
  void PutDword(const std::wstring& path, const std::wstring& name, std::uint32_t value);
  bool HasKey(const std::wstring& path) const;
  void DeleteTree(const std::wstring& path);
  const Value* Get(const std::wstring& path, const std::wstring& name) const;
  std::optional<std::uint32_t> GetDword(const std::wstring& path, const std::wstring& name) const;
  std::optional<std::wstring> GetString(const std::wstring& path, const std::wstring& name) const;

  struct Open {
    RegKey parent;
    std::wstring sub_key;
    std::uint32_t sam;
    std::int32_t status;
  };
  std::vector<Open> opens;  // every RegCreateKeyEx, in order
  int open_handles() const { return static_cast<int>(handles_.size()); }

  std::int32_t RegCreateKeyEx(RegKey parent, const std::wstring& sub_key, std::uint32_t options, std::uint32_t sam,
                              RegKey* key, std::uint32_t* disposition) override;
  RegValueRead RegQueryValueEx(RegKey key, const std::wstring& name, std::uint32_t buffer_bytes) override;
  std::int32_t RegSetValueEx(RegKey key, const std::wstring& name, std::uint32_t type,
                             const std::vector<std::uint8_t>& data) override;
  std::int32_t RegCloseKey(RegKey key) override;

  // The physical key a view-relative path of a predefined key lands on.
  std::wstring Physical(RegKey parent, const std::wstring& sub_key, std::uint32_t sam) const;

 private:
  struct Key {
    std::wstring path;  // as first created, for listing
    std::map<std::wstring, Value> values;  // by folded name
  };
  struct OpenKey {
    std::wstring folded;
    std::uint32_t sam;
  };
  std::map<std::wstring, Key> keys_;  // by folded physical path
  std::map<RegKey, OpenKey> handles_;
  RegKey next_ = 0x1000;
};

// Version resources of files on the simulated file system.
class FakeVersionInfo : public IVersionInfo {
 public:
  std::map<std::wstring, FixedFileInfo> files;  // by folded path
  void Put(const std::wstring& path, std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d);

  std::uint32_t GetFileVersionInfoSize(const std::wstring& path, std::uint32_t* handle) override;
  bool GetFileVersionInfo(const std::wstring& path, std::uint32_t handle, std::uint32_t size,
                          std::vector<std::uint8_t>* block) override;
  std::optional<FixedFileInfo> VerQueryRoot(const std::vector<std::uint8_t>& block) override;
};

// Processes with simulated time: every wait or sleep is one tick; a process
// ends at its tick, and new processes may start at a tick (to reuse an
// identifier that has just become free).
class FakeProcesses : public IProcesses {
 public:
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
  };
  struct Launch {
    std::uint32_t mask;
    std::wstring verb, file, parameters;
    int show;
  };

  std::vector<Process> processes;
  std::map<std::wstring, Launchable> launchable;  // by folded file path
  std::vector<Launch> launches;
  bool snapshot_fails = false;
  bool first_fails = false;
  bool has_get_process_id = true;
  bool has_nt_query = true;
  std::uint32_t next_pid = 4000;
  long tick = 0;
  // Messages waiting in the thread's queue, and a hook run on each dispatch.
  int pending_messages = 0;
  int dispatched = 0;
  std::function<void()> on_dispatch;
  int sleeps = 0;
  int waits = 0;
  std::vector<Handle> closed;

  void Advance();
  void EndDue();  // ends the processes due at the current tick
  int open_handles() const;

  Handle CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t process_id) override;
  std::optional<ProcessEntry> Process32First(Handle snapshot) override;
  std::optional<ProcessEntry> Process32Next(Handle snapshot) override;
  bool CloseHandle(Handle h) override;
  ShellExecuteResult ShellExecuteEx(std::uint32_t mask, const std::wstring& verb, const std::wstring& file,
                                    const std::wstring& parameters, int show) override;
  std::optional<std::uint32_t> GetProcessIdByName(Handle process) override;
  std::optional<std::uint32_t> NtQueryProcessIdByName(Handle process) override;
  std::uint32_t MsgWaitForMultipleObjects(const std::vector<Handle>& handles, std::uint32_t timeout_ms,
                                          std::uint32_t wake_mask) override;
  bool DispatchOneMessage() override;
  void Sleep(std::uint32_t ms) override;

 private:
  struct Snapshot {
    std::vector<ProcessEntry> entries;
    std::size_t next = 0;
  };
  std::map<Handle, Snapshot> snapshots_;
  std::map<Handle, std::size_t> process_handles_;  // index into processes
  std::vector<std::pair<std::size_t, std::vector<Process>>> successors_;
  Handle next_handle_ = 0x3000;
};

class FakeWindowSearch : public IWindowSearch {
 public:
  struct Window {
    WindowHandle handle;
    std::wstring class_name;
    std::wstring title;
  };
  struct Post {
    WindowHandle window;
    std::uint32_t msg;
    std::uintptr_t wparam;
    std::intptr_t lparam;
  };
  std::vector<Window> windows;
  std::vector<Post> posts;
  WindowHandle FindWindow(const std::wstring& class_name, const std::wstring& title) override;
  bool PostMessage(WindowHandle w, std::uint32_t msg, std::uintptr_t wparam, std::intptr_t lparam) override;
};

class FakeNativeSystem : public INativeSystem {
 public:
  explicit FakeNativeSystem(FakeFileSystem& fs) : fs_(fs) {}
  std::optional<std::uint16_t> native_architecture = win::kProcessorArchitectureAmd64;
  std::uint16_t system_info_architecture = win::kProcessorArchitectureIntel;
  std::optional<std::wstring> program_files = L"C:\\Program Files (x86)";
  std::vector<std::wstring> searched;

  std::optional<std::uint16_t> GetNativeSystemInfoByName() override { return native_architecture; }
  std::uint16_t GetSystemInfo() override { return system_info_architecture; }
  std::optional<std::wstring> SHGetSpecialFolderPath(int csidl, bool create) override;
  bool FindFirstFileFinds(const std::wstring& path) override;

 private:
  FakeFileSystem& fs_;
};

// The inspection part of the simulated PC.
struct SimInspect {
  explicit SimInspect(FakeFileSystem& fs) : native(fs) {}
  FakeRegistry registry;
  FakeVersionInfo versions;
  FakeProcesses processes;
  FakeWindowSearch window_search;
  FakeNativeSystem native;
};

}  // namespace devstart::sim
