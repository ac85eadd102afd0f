#include "contract/inspect_env.h"
#include "fake/sim_pc.h"

namespace devstart::contract {

namespace {
class FakeInspectEnv : public InspectEnv {
 public:
  FakeInspectEnv() {
    // A 64-bit PC, the test running as a 32-bit program.
    pc_.inspect.registry.os_64bit = true;
    pc_.inspect.processes.processes = {{4, L"System"}, {1234, L"inspect_contract.exe"}};
    pc_.inspect.processes.launchable[sim::Fold(L"C:\\short.exe")] = {L"short.exe", 3, {}};
  }
  IRegistry& registry() override { return pc_.inspect.registry; }
  IProcesses& processes() override { return pc_.inspect.processes; }
  IWindowSearch& windows() override { return pc_.inspect.window_search; }
  std::wstring UniqueName() override { return L"DevstartContract"; }
  std::uint32_t OwnProcessId() override { return 1234; }
  std::wstring OwnExeName() override { return L"inspect_contract.exe"; }
  std::wstring ShortProgram() override { return L"C:\\short.exe"; }
  std::wstring ShortProgramArguments() override { return L""; }
  WindowHandle MakeWindow(const std::wstring& class_name, const std::wstring& title) override {
    pc_.inspect.window_search.windows.push_back({0x5000, class_name, title});
    return 0x5000;
  }
  std::vector<std::uint32_t> PostedTo(WindowHandle w) override {
    std::vector<std::uint32_t> out;
    for (const auto& p : pc_.inspect.window_search.posts) {
      if (p.window == w) out.push_back(p.msg);
    }
    return out;
  }
  void DeleteTree(std::uintptr_t hive, const std::wstring& path) override {
    pc_.inspect.registry.DeleteTree((hive == win::kHkeyLocalMachine ? L"HKLM\\" : L"HKCU\\") + path);
  }

 private:
  sim::SimPc pc_;
};
}  // namespace

std::unique_ptr<InspectEnv> MakeInspectEnv() { return std::make_unique<FakeInspectEnv>(); }

}  // namespace devstart::contract
