#include "platform/win32/win_api.h"

#include <fstream>
#include <vector>

#include "contract/contract_env.h"
#include "contract/win32_scratch.h"
#include "platform/win32/adapters.h"

namespace devstart::contract {

namespace {

std::string Narrow(const std::wstring& w) {
  int n = ::WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string s(n > 0 ? n - 1 : 0, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, s.data(), n, nullptr, nullptr);
  return s;
}

class Win32Env : public ContractEnv {
 public:
  Win32Env() {
    static int counter = 0;
    scratch_ = sys_.GetTempPath() + L"contract-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
               std::to_wstring(++counter) + L"\\";
    RemoveTree(scratch_);
    ::CreateDirectoryW(scratch_.c_str(), nullptr);
  }
  ~Win32Env() override { RemoveTree(scratch_); }
  ISystem& system() override { return sys_; }
  IFiles& files() override { return files_; }
  IProfile& profile() override { return profile_; }
  ISync& sync() override { return sync_; }
  std::wstring Scratch() override { return scratch_; }
  void PutFile(const std::wstring& path, const std::string& bytes) override { WriteWholeFile(path, bytes); }
  std::optional<std::string> ReadFile(const std::wstring& path) override {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string out;
    char buf[4096];
    DWORD n = 0;
    while (::ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) out.append(buf, n);
    ::CloseHandle(h);
    return out;
  }

 private:
  Win32System sys_;
  Win32Files files_;
  Win32Profile profile_;
  Win32Sync sync_;
  std::wstring scratch_;
};

}  // namespace

std::unique_ptr<ContractEnv> MakeContractEnv() { return std::make_unique<Win32Env>(); }

}  // namespace devstart::contract
