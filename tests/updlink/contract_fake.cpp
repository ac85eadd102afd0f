#include <algorithm>
#include <memory>

#include "contract_env.h"
#include "fake/sim_updlink.h"

namespace {

struct FakeEnv final : UpdContractEnv {
  std::unique_ptr<updsim::SimUpdlink> pc;
  int n = 0;
  devstart::Machine& machine() override {
    if (!pc) pc = std::make_unique<updsim::SimUpdlink>();
    return pc->machine;
  }
  std::string Scratch() override {
    machine();
    std::string s = "C:\\scratch" + std::to_string(++n);
    pc->AddFolder(s);
    return s;
  }
  void PutFile(const std::string& path, const std::string& content) override { machine(); pc->AddFile(path, content); }
  std::string ReadFile(const std::string& path) override { machine(); return pc->Content(path); }
  void PutCabinet(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries) override {
    machine();
    std::string id = "MSCF" + path;
    pc->cabinets[id] = entries;
    pc->AddFile(path, id);
  }
  std::string KeyName() override { return "Software\\UpdlinkContract\\k" + std::to_string(++n); }
};

}  // namespace

UpdContractEnv& ContractEnv() {
  static FakeEnv e;
  return e;
}
