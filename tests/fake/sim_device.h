// The simulated PC's device side: the phone behind the SCSI command library,
// the service control manager with the SCSI command service, the service's
// pipe, the process token, and folder operations with attributes and links.
// "Windows XP, standard user, service stopped" is a few assignments.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "phone/phone_model.h"
#include "platform/ports_device.h"

namespace devstart::sim {

class FakeFileSystem;

// SendScsiCmd.dll in front of the simulated phone.
class FakeScsiLibrary : public IScsiLibrary {
 public:
  simphone::PhoneModel model;
  int SendScsiCmd(int drive, int sub_code, int type, std::uint8_t* data, int length) override {
    return model.Send(drive, sub_code, type, data, length);
  }
};

// The service control manager. Services are kept by name; a test sets a
// service's state, and scripts failures of the manager itself.
class FakeServiceControl : public IServiceControl {
 public:
  struct Service {
    ServiceConfig config;
    std::wstring description;
    std::uint32_t state = win::kServiceStopped;
    // What StartService does: the state it leaves (start-pending services
    // stay so until a test moves them on).
    std::uint32_t state_after_start = win::kServiceRunning;
    // Access rights this user may not have (OpenService fails with 5).
    std::uint32_t denied_access = 0;
    int starts = 0;
  };
  std::map<std::wstring, Service> services;  // by folded name
  bool open_manager_fails = false;
  std::uint32_t manager_denied_access = 0;   // e.g. SC_MANAGER_CREATE_SERVICE for a standard user
  bool description_fails = false;
  std::optional<std::uint32_t> create_error;  // CreateService fails with this
  // Every call, e.g. "OpenSCManager 0x1", "ControlService 4".
  std::vector<std::wstring> calls;
  std::set<Handle> open_handles;

  Service* Find(const std::wstring& name);
  Service& Add(const std::wstring& name, std::uint32_t state);

  HandleResult OpenSCManager(std::uint32_t access) override;
  HandleResult OpenService(Handle manager, const std::wstring& name, std::uint32_t access) override;
  HandleResult CreateService(Handle manager, const ServiceConfig& config) override;
  CallResult SetServiceDescription(Handle service, const std::wstring& description) override;
  ControlResult ControlService(Handle service, std::uint32_t control) override;
  CallResult StartService(Handle service) override;
  bool CloseServiceHandle(Handle h) override;

 private:
  std::map<Handle, std::wstring> handles_;  // service handles -> folded name; managers -> ""
  Handle next_ = 0x5000;
};

// The client side of named pipes. A pipe exists when `server` answers for
// its name; busy rounds and failures are scripted per exchange.
class FakeNamedPipes : public INamedPipes {
 public:
  // Answers one request (raw bytes) with a reply; nullopt = no such pipe.
  std::function<std::optional<std::string>(const std::wstring& name, const std::string& request)> server;
  int busy_opens = 0;          // this many opens fail with ERROR_PIPE_BUSY first
  bool wait_fails = false;     // WaitNamedPipe fails (time-out)
  bool set_state_fails = false;
  bool write_fails = false;
  // Replies read in pieces, each with its ReadFile error (0 = success);
  // when empty, the server's reply is read at once.
  std::deque<std::pair<std::string, std::uint32_t>> scripted_reads;
  std::vector<std::string> requests;
  std::vector<std::wstring> calls;
  std::set<Handle> open_handles;

  HandleResult CreateFile(const std::wstring& name, std::uint32_t access, std::uint32_t share,
                          std::uint32_t disposition, std::uint32_t flags) override;
  CallResult WaitNamedPipe(const std::wstring& name, std::uint32_t timeout_ms) override;
  CallResult SetNamedPipeHandleState(Handle pipe, std::uint32_t mode) override;
  IoResult WriteFile(Handle pipe, const void* bytes, std::uint32_t size) override;
  IoResult ReadFile(Handle pipe, void* buffer, std::uint32_t size) override;
  bool CloseHandle(Handle h) override;

 private:
  struct Connection {
    std::wstring name;
    std::string pending;  // the reply not read yet
    bool answered = false;
  };
  std::map<Handle, Connection> connections_;
  Handle next_ = 0x7000;
};

// The process token: membership of Administrators in the effective token and
// in the linked token, and the privileges switched on.
class FakeSecurity : public ISecurity {
 public:
  bool admin = false;                            // enabled in the effective token
  std::optional<bool> linked_admin;              // nullopt: no linked token
  std::uint32_t no_linked_error = win::kErrorNoSuchLogonSession;
  std::optional<std::uint32_t> open_token_error;
  std::optional<std::uint32_t> check_membership_error;
  bool lookup_privilege_fails = false;
  bool adjust_fails = false;
  std::vector<std::wstring> enabled_privileges;
  std::vector<std::uint32_t> token_access_asked;
  std::set<Handle> open_handles;

  Handle GetCurrentProcess() override { return static_cast<Handle>(-1); }
  HandleResult OpenProcessToken(Handle process, std::uint32_t access) override;
  std::optional<std::vector<std::uint8_t>> CreateWellKnownSid(std::uint32_t type, std::uint32_t buffer_size,
                                                              std::uint32_t* error) override;
  CallResult CheckTokenMembership(Handle token, const std::vector<std::uint8_t>& sid, bool* is_member) override;
  HandleResult GetLinkedToken(Handle token) override;
  CallResult LookupPrivilegeValue(const std::wstring& name, Luid* luid) override;
  CallResult AdjustTokenPrivileges(Handle token, const Luid& luid, std::uint32_t attributes) override;
  bool CloseHandle(Handle h) override;

 private:
  Handle linked_ = kNullHandle;
  std::wstring looked_up_;
  Handle next_ = 0x9000;
};

// Folder operations on the simulated file system, with file attributes,
// files in use, and links (junctions): a path through a link reaches its
// target, and removing the link removes only the link.
class FakeFolders : public IFileSystem {
 public:
  explicit FakeFolders(FakeFileSystem& fs) : fs_(fs) {}
  std::map<int, std::wstring> special_folders = {{win::kCsidlSystemX86, L"C:\\windows\\system32"},
                                                 {win::kCsidlSystem, L"C:\\windows\\system32"}};
  // Folded path -> attributes (files without an entry are normal).
  std::map<std::wstring, std::uint32_t> attributes;
  std::set<std::wstring> in_use;  // folded paths of files that cannot be deleted
  // Folded link path (no trailing backslash) -> target folder.
  std::map<std::wstring, std::wstring> links;
  std::vector<std::wstring> calls;

  void AddLink(const std::wstring& link, const std::wstring& target);
  void SetAttributes(const std::wstring& path, std::uint32_t attributes);

  std::wstring GetSpecialFolder(int csidl) override;
  CallResult CreateDirectory(const std::wstring& path) override;
  CallResult RemoveDirectory(const std::wstring& path) override;
  CallResult DeleteFile(const std::wstring& path) override;
  CallResult SetFileAttributes(const std::wstring& path, std::uint32_t attributes) override;
  CallResult CopyFile(const std::wstring& from, const std::wstring& to, bool fail_if_exists) override;
  FindResult FindFirstFile(const std::wstring& pattern) override;
  std::optional<FindData> FindNextFile(Handle find) override;
  bool FindClose(Handle find) override;

 private:
  // The path with a leading link replaced by its target.
  std::wstring Resolve(const std::wstring& path) const;
  FakeFileSystem& fs_;
  std::map<Handle, std::deque<FindData>> finds_;
  Handle next_ = 0xB000;
};

class FakeClock : public IClock {
 public:
  std::uint64_t slept_ms = 0;
  void Sleep(std::uint32_t ms) override { slept_ms += ms; }
};

// Everything above, wired: the service's pipe answers through the phone
// while the service runs.
struct SimDevice {
  explicit SimDevice(FakeFileSystem& fs);
  FakeScsiLibrary phone;
  FakeServiceControl services;
  FakeNamedPipes pipes;
  FakeSecurity security;
  FakeFolders folders;
  FakeClock clock;

  // "Windows XP, standard user, service stopped" and the like.
  FakeServiceControl::Service& InstallService(std::uint32_t state);
  bool ServiceRuns();
};

}  // namespace devstart::sim
