#include "platform/win32/device_api.h"

#include <map>
#include <vector>

#include "contract/device_env.h"
#include "contract/win32_scratch.h"
#include "platform/win32/device_adapters.h"

namespace devstart::contract {

namespace {
class Win32DeviceEnv : public DeviceEnv {
 public:
  Win32DeviceEnv() {
    static int counter = 0;
    wchar_t temp[MAX_PATH + 1];
    ::GetTempPathW(MAX_PATH + 1, temp);
    // Wine reuses process ids: the tick count keeps names of earlier runs apart.
    id_ = std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(::GetTickCount()) + L"-" +
          std::to_wstring(++counter);
    scratch_ = std::wstring(temp) + L"device-contract-" + id_ + L"\\";
    ::CreateDirectoryW(scratch_.c_str(), nullptr);
  }
  ~Win32DeviceEnv() override {
    for (HANDLE h : handles_) ::CloseHandle(h);
    for (auto& s : servers_) ::CloseHandle(s.second);
    RemoveTree(scratch_);
  }
  IServiceControl& services() override { return services_; }
  INamedPipes& pipes() override { return pipes_; }
  ISecurity& security() override { return security_; }
  IFileSystem& file_system() override { return files_; }
  std::wstring Scratch() override { return scratch_; }
  void PutFile(const std::wstring& path, const std::string& bytes) override { WriteWholeFile(path, bytes); }
  bool Exists(const std::wstring& path) override { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
  std::wstring UniqueName(const std::wstring& stem) override { return stem + L"-" + id_; }
  void ServePipe(const std::wstring& name, const std::string& reply) override {
    replies_[name] = reply;
    HANDLE server = ::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                                       1, 512, 512, 0, nullptr);
    servers_[name] = server;
  }
  std::string Answer(const std::wstring& name) override {
    HANDLE server = servers_[name];
    const std::string& reply = replies_[name];
    // The client is connected already: no wait, no thread.
    ::ConnectNamedPipe(server, nullptr);
    char buf[512];
    DWORD n = 0;
    ::ReadFile(server, buf, sizeof buf, &n, nullptr);
    DWORD written = 0;
    if (!reply.empty()) ::WriteFile(server, reply.data(), static_cast<DWORD>(reply.size()), &written, nullptr);
    ::CloseHandle(server);
    servers_.erase(name);
    return std::string(buf, n);
  }
  void OccupyPipe(const std::wstring& name) override {
    HANDLE h = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    handles_.push_back(h);
  }
  void DeleteService(const std::wstring& name) override {
    SC_HANDLE m = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE s = ::OpenServiceW(m, name.c_str(), DELETE);
    ::DeleteService(s);
    ::CloseServiceHandle(s);
    ::CloseServiceHandle(m);
  }

 private:
  Win32ServiceControl services_;
  Win32NamedPipes pipes_;
  Win32Security security_;
  Win32FileSystem files_;
  std::wstring id_, scratch_;
  std::vector<HANDLE> handles_;
  std::map<std::wstring, HANDLE> servers_;
  std::map<std::wstring, std::string> replies_;
};
}  // namespace

std::unique_ptr<DeviceEnv> MakeDeviceEnv() { return std::make_unique<Win32DeviceEnv>(); }

}  // namespace devstart::contract
