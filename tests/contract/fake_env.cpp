#include "contract/contract_env.h"
#include "fake/sim_pc.h"

namespace devstart::contract {

namespace {
class FakeEnv : public ContractEnv {
 public:
  ISystem& system() override { return pc_.system; }
  IFiles& files() override { return pc_.files; }
  IProfile& profile() override { return pc_.profile; }
  ISync& sync() override { return pc_.sync; }
  std::wstring Scratch() override {
    pc_.fs.MakeFolder(L"C:\\scratch");
    return L"C:\\scratch\\";
  }
  void PutFile(const std::wstring& path, const std::string& bytes) override { pc_.fs.Put(path, bytes); }
  std::optional<std::string> ReadFile(const std::wstring& path) override { return pc_.fs.Get(path); }

 private:
  sim::SimPc pc_;
};
}  // namespace

std::unique_ptr<ContractEnv> MakeContractEnv() { return std::make_unique<FakeEnv>(); }

}  // namespace devstart::contract
