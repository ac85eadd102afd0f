// The contract suite's world under Wine: the real machine (Win32Machine),
// and the scene set and read behind the ports' back with plain Win32 calls.
//
// Keys are removed with RegDeleteTreeW, which the program itself never uses.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#include "platform/win32/win_api.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "contract/contract_env.h"
#include "platform/win32/machine.h"

namespace devstart::contract {

namespace {

// Removes a folder and everything in it.
void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW((folder + L"*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(folder + name + L"\\");
      } else {
        ::SetFileAttributesW((folder + name).c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW((folder + name).c_str());
      }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
  }
  ::RemoveDirectoryW(folder.c_str());
}

std::wstring ModulePath() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

// Private-range messages that reached the windows MakeWindow made.
std::vector<std::uint32_t> g_received;

LRESULT CALLBACK Record(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg >= WM_USER && msg < 0x8000) g_received.push_back(msg);
  return ::DefWindowProcW(w, msg, wp, lp);
}

class Win32Env : public ContractEnv {
 public:
  Win32Env() {
    static int counter = 0;
    // Wine reuses process ids: the tick count keeps names of earlier runs apart.
    id_ = std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(::GetTickCount()) + L"-" +
          std::to_wstring(++counter);
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    scratch_ = std::wstring(temp) + L"contract-" + id_ + L"\\";
    if (!::CreateDirectoryW(scratch_.c_str(), nullptr)) ADD_FAILURE() << "cannot create the scratch folder";
  }
  ~Win32Env() override {
    for (HWND w : windows_) ::DestroyWindow(w);
    for (HANDLE h : clients_) ::CloseHandle(h);
    for (auto& s : servers_) ::CloseHandle(s.second);
    RemoveTree(scratch_);
  }

  Machine& machine() override { return win32_.machine(); }

  std::wstring Scratch() override { return scratch_; }

  void PutFile(const std::wstring& path, const std::string& bytes) override {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << "cannot create the file, error " << ::GetLastError();
    DWORD written = 0;
    BOOL ok = ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(h);
    EXPECT_TRUE(ok && written == bytes.size()) << "cannot write the file whole";
  }

  std::optional<std::string> ReadFile(const std::wstring& path) override {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string out;
    char buf[4096];
    DWORD n = 0;
    while (::ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) out.append(buf, n);
    ::CloseHandle(h);
    return out;
  }

  // This executable: contract/versioned.rc gives it file version 1.2.3.4 and
  // product version 5.6.7.8.
  std::wstring VersionedFile(FixedFileInfo* expected) override {
    expected->signature = 0xFEEF04BD;
    expected->struc_version = 0x00010000;
    expected->file_version_ms = 0x00010002;
    expected->file_version_ls = 0x00030004;
    expected->product_version_ms = 0x00050006;
    expected->product_version_ls = 0x00070008;
    return ModulePath();
  }

  std::wstring UniqueName(const std::wstring& stem) override { return stem + L"-" + id_; }

  void DeleteTree(RegKey root, const std::wstring& path) override {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(reinterpret_cast<HKEY>(root), nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &key) != 0) return;
    ::RegDeleteTreeW(key, path.c_str());
    ::RegCloseKey(key);
  }

  std::uint32_t OwnProcessId() override { return ::GetCurrentProcessId(); }
  std::wstring OwnExeName() override {
    std::wstring p = ModulePath();
    return p.substr(p.rfind(L'\\') + 1);
  }
  // This executable again: with a filter that matches no test it starts,
  // runs nothing and ends.
  std::wstring ShortProgram() override { return ModulePath(); }
  std::wstring ShortProgramArguments() override { return L"--gtest_filter=NoSuchTest"; }

  WindowHandle MakeWindow(const std::wstring& class_name, const std::wstring& title) override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Record;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = class_name.c_str();
    ::RegisterClassW(&wc);  // fails harmlessly when an earlier test registered it
    HWND w = ::CreateWindowExW(0, class_name.c_str(), title.c_str(), WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                               wc.hInstance, nullptr);
    EXPECT_NE(w, nullptr) << "cannot create the window, error " << ::GetLastError();
    windows_.push_back(w);
    return reinterpret_cast<WindowHandle>(w);
  }
  std::vector<std::uint32_t> PostedTo(WindowHandle w) override {
    g_received.clear();
    MSG msg;
    while (::PeekMessageW(&msg, reinterpret_cast<HWND>(w), 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    return g_received;
  }

  void ServePipe(const std::wstring& name, const std::string& reply) override {
    HANDLE server = ::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                                       1, 512, 512, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE) << "cannot create the pipe, error " << ::GetLastError();
    replies_[name] = reply;
    servers_[name] = server;
  }
  std::string Answer(const std::wstring& name) override {
    auto found = servers_.find(name);
    if (found == servers_.end()) {
      ADD_FAILURE() << "no pipe is served under that name";
      return {};
    }
    HANDLE server = found->second;
    servers_.erase(found);
    const std::string& reply = replies_[name];
    // The client is connected already: no wait, no thread.
    ::ConnectNamedPipe(server, nullptr);
    char buf[512];
    DWORD n = 0;
    ::ReadFile(server, buf, sizeof buf, &n, nullptr);
    DWORD written = 0;
    if (!reply.empty()) ::WriteFile(server, reply.data(), static_cast<DWORD>(reply.size()), &written, nullptr);
    ::CloseHandle(server);
    return std::string(buf, n);
  }
  void OccupyPipe(const std::wstring& name) override {
    HANDLE h = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << "cannot occupy the pipe, error " << ::GetLastError();
    clients_.push_back(h);
  }

  // The listening end is kept and never written to.
  void SilencePipe(const std::wstring&) override {}

  void DeleteService(const std::wstring& name) override {
    SC_HANDLE m = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE s = ::OpenServiceW(m, name.c_str(), DELETE);
    ::DeleteService(s);
    ::CloseServiceHandle(s);
    ::CloseServiceHandle(m);
  }

  void PutCabinet(const std::wstring& path, const std::vector<std::pair<std::string, std::string>>& entries) override {
    PutFile(path, CabinetBytes(entries));
  }

  std::string LoadableLibrary(std::string* function) override {
    *function = "GetTickCount";
    return "kernel32.dll";
  }

  // CTest starts the server (tests/contract/http_fixture.py) and names its
  // port; run by hand, start it the same way and set the variable.
  std::string UpdateServer() override {
    const char* port = std::getenv("DEVSTART_CONTRACT_HTTP_PORT");
    if (port == nullptr || *port == '\0') {
      ADD_FAILURE() << "DEVSTART_CONTRACT_HTTP_PORT is not set: no update server to ask";
      return "http://127.0.0.1:0";
    }
    return std::string("http://127.0.0.1:") + port;
  }
  // Port 1 (tcpmux): privileged and unused on the machines that run these tests.
  std::string NothingListens() override { return "http://127.0.0.1:1"; }
  bool ReadOnlyEnforced() override {
    std::wstring path = Scratch() + L"read-only-probe";
    PutFile(path, "x");
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(path.c_str());
    return h == INVALID_HANDLE_VALUE;
  }

 private:
  Win32Machine win32_;
  std::wstring id_, scratch_;
  std::vector<HWND> windows_;
  std::vector<HANDLE> clients_;
  std::map<std::wstring, HANDLE> servers_;
  std::map<std::wstring, std::string> replies_;
};

}  // namespace

std::unique_ptr<ContractEnv> MakeContractEnv() { return std::make_unique<Win32Env>(); }

}  // namespace devstart::contract

// The predefined keys are pointer casts the compiler cannot compare; check
// the logic's copies here, where <windows.h> is at hand.
TEST(Win32Values, PredefinedKeys) {
  EXPECT_EQ(devstart::win::kHkeyCurrentUser, reinterpret_cast<std::uintptr_t>(HKEY_CURRENT_USER));
  EXPECT_EQ(devstart::win::kHkeyLocalMachine, reinterpret_cast<std::uintptr_t>(HKEY_LOCAL_MACHINE));
  EXPECT_EQ(devstart::win::kHwndTopmost, reinterpret_cast<std::uintptr_t>(HWND_TOPMOST));
  EXPECT_EQ(devstart::win::kHwndNoTopmost, reinterpret_cast<std::uintptr_t>(HWND_NOTOPMOST));
}

// VersionedFile states its numbers in advance; hold them to the resource the
// executable really carries, read without the adapter.
TEST(Win32Values, VersionedFileCarriesTheStatedVersion) {
  std::unique_ptr<devstart::contract::ContractEnv> env = devstart::contract::MakeContractEnv();
  devstart::FixedFileInfo expected;
  std::wstring path = env->VersionedFile(&expected);
  DWORD ignored = 0;
  DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> data(size);
  ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, data.data()));
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &len));
  EXPECT_EQ(info->dwSignature, expected.signature);
  EXPECT_EQ(info->dwStrucVersion, expected.struc_version);
  EXPECT_EQ(info->dwFileVersionMS, expected.file_version_ms);
  EXPECT_EQ(info->dwFileVersionLS, expected.file_version_ls);
  EXPECT_EQ(info->dwProductVersionMS, expected.product_version_ms);
  EXPECT_EQ(info->dwProductVersionLS, expected.product_version_ls);
}
