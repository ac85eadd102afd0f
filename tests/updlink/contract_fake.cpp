#include <algorithm>
#include <memory>

#include "contract_env.h"
#include "fake/sim_updlink.h"

namespace {

struct FakeEnv final : UpdContractEnv {
  std::unique_ptr<updsim::SimUpdlink> pc;
  int n = 0;
  updlink::UpdEnv& env() override {
    if (!pc) pc = std::make_unique<updsim::SimUpdlink>();
    return pc->env;
  }
  std::string Scratch() override {
    env();
    std::string s = "C:\\scratch" + std::to_string(++n);
    pc->AddFolder(s);
    return s;
  }
  void PutFile(const std::string& path, const std::string& content) override { env(); pc->AddFile(path, content); }
  std::string ReadFile(const std::string& path) override { env(); return pc->Content(path); }
  void PutCabinet(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries) override {
    env();
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
