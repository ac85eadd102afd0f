// The contract suite's world on the simulated PC: set up like a Wine prefix
// running the test as a 32-bit program (64-bit PC, administrator).
#include <map>

#include "contract/contract_env.h"
#include "fake/sim_pc.h"

namespace devstart::contract {

namespace {

constexpr WindowHandle kFirstWindow = 0x5000;
const std::string kOrigin = "http://127.0.0.1:9002";

class FakeEnv : public ContractEnv {
 public:
  FakeEnv() {
    pc_.registry.os_64bit = true;
    pc_.security.admin = true;
    pc_.processes.processes = {{4, L"System"}, {1234, L"contract_native.exe"}};
    pc_.processes.launchable[sim::Fold(L"C:\\short.exe")] = {L"short.exe", 3, {}, {}};
    // A 64-bit prefix has SOFTWARE in both views.
    pc_.registry.PutKey(L"HKLM\\SOFTWARE");
    pc_.registry.PutKey(L"HKLM\\SOFTWARE\\Wow6432Node");
    // The pipes a test serves, answered as the request is written.
    pc_.pipes.server = [this](const std::wstring& name, const std::string&) -> std::optional<std::string> {
      auto it = replies_.find(sim::Fold(name));
      if (it == replies_.end()) return std::nullopt;
      return it->second;
    };
    // The routes of tests/contract/http_scenario.json, as sim/update_server.py
    // answers them; every other address is unreachable.
    auto& answers = pc_.internet.answers;
    answers[kOrigin + "/contract/hello"] = {200, "Hello, update client"};
    answers[kOrigin + "/files/large.bin"] = {200, LargeBody()};
    answers[kOrigin + "/contract/missing"] = {404, kUpdateServerErrorPage};
    answers[kOrigin + "/contract/nowhere"] = {404, kUpdateServerErrorPage};
    answers[kOrigin + "/contract/broken"] = {500, "server trouble"};
    // Cut: the length of the whole body announced, its first half sent.
    answers[kOrigin + "/contract/cut"] = {200, "0123456789abcdef0123456789abcdef", false, 64};
  }
  Machine& machine() override { return machine_; }

  std::wstring Scratch() override {
    pc_.files.MakeFolder(L"C:\\scratch");
    return L"C:\\scratch\\";
  }
  void PutFile(const std::wstring& path, const std::string& bytes) override { pc_.files.Put(path, bytes); }
  std::optional<std::string> ReadFile(const std::wstring& path) override { return pc_.files.Get(path); }
  std::wstring VersionedFile(FixedFileInfo* expected) override {
    std::wstring path = Scratch() + L"versioned.dll";
    *expected = pc_.versions.Put(path, 1, 2, 3, 4);
    // The string table of contract/versioned.rc, which the Win32 world carries.
    pc_.versions.PutStrings(path, 0x0809, 1200, {{"FileDescription", "Contract tests"}, {"FileVersion", "1.2.3.4"}});
    return path;
  }

  std::wstring UniqueName(const std::wstring& stem) override { return stem + L"-fake"; }
  void DeleteTree(RegKey root, const std::wstring& path) override {
    pc_.registry.DeleteTree((root == win::kHkeyLocalMachine ? L"HKLM\\" : L"HKCU\\") + path);
  }

  std::uint32_t OwnProcessId() override { return 1234; }
  std::wstring OwnExeName() override { return L"contract_native.exe"; }
  std::wstring ShortProgram() override { return L"C:\\short.exe"; }
  std::wstring ShortProgramArguments() override { return L""; }
  WindowHandle MakeWindow(const std::wstring& class_name, const std::wstring& title) override {
    WindowHandle h = kFirstWindow + pc_.windows.windows.size();
    pc_.windows.windows.push_back({h, class_name, title});
    return h;
  }
  std::vector<std::uint32_t> PostedTo(WindowHandle w) override {
    std::vector<std::uint32_t> out;
    for (const auto& p : pc_.windows.posts) {
      if (p.window == w && p.msg >= win::kWmUser && p.msg < 0x8000) out.push_back(p.msg);
    }
    return out;
  }

  void ServePipe(const std::wstring& name, const std::string& reply) override { replies_[sim::Fold(name)] = reply; }
  // The fake's server answered as the request was written.
  std::string Answer(const std::wstring&) override {
    return pc_.pipes.requests.empty() ? "" : pc_.pipes.requests.back();
  }
  void OccupyPipe(const std::wstring&) override {
    pc_.pipes.busy_opens = 1000;
    pc_.pipes.wait_fails = true;
  }
  void SilencePipe(const std::wstring&) override { pc_.pipes.quiet_peeks = -1; }
  void DeleteService(const std::wstring& name) override { pc_.services.services.erase(sim::Fold(name)); }

  // A cabinet is its bytes on the disk and, for the fake, its entries by content.
  void PutCabinet(const std::wstring& path, const std::vector<std::pair<std::string, std::string>>& entries) override {
    std::string bytes = CabinetBytes(entries);
    pc_.cabinets.by_content[bytes] = entries;
    pc_.files.Put(path, bytes);
  }
  std::string LoadableLibrary(std::string* function) override {
    *function = "_A123";
    return "Phonelink.dll";
  }
  std::string UpdateServer() override { return kOrigin; }
  std::string NothingListens() override { return "http://127.0.0.1:1"; }
  bool ReadOnlyEnforced() override { return true; }

 private:
  sim::SimPc pc_;
  Machine machine_ = pc_.machine();
  std::map<std::wstring, std::string> replies_;  // by folded pipe name
};

}  // namespace

std::unique_ptr<ContractEnv> MakeContractEnv() { return std::make_unique<FakeEnv>(); }

}  // namespace devstart::contract
