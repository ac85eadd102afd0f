#include "contract/device_env.h"
#include "fake/sim_pc.h"

namespace devstart::contract {

namespace {
class FakeDeviceEnv : public DeviceEnv {
 public:
  FakeDeviceEnv() {
    // Wine runs its programs as an administrator.
    pc_.device.security.admin = true;
    pc_.device.pipes.server = [this](const std::wstring& name, const std::string&) -> std::optional<std::string> {
      auto it = replies_.find(name);
      if (it == replies_.end()) return std::nullopt;
      return it->second;
    };
  }
  IServiceControl& services() override { return pc_.device.services; }
  INamedPipes& pipes() override { return pc_.device.pipes; }
  ISecurity& security() override { return pc_.device.security; }
  IFileSystem& file_system() override { return pc_.device.folders; }
  std::wstring Scratch() override {
    pc_.fs.MakeFolder(L"C:\\scratch");
    return L"C:\\scratch\\";
  }
  void PutFile(const std::wstring& path, const std::string& bytes) override { pc_.fs.Put(path, bytes); }
  bool Exists(const std::wstring& path) override { return pc_.fs.Exists(path) || pc_.fs.FolderExists(path); }
  std::wstring UniqueName(const std::wstring& stem) override { return stem + L"-fake"; }
  void ServePipe(const std::wstring& name, const std::string& reply) override { replies_[name] = reply; }
  // The fake's server answers as the request is written.
  std::string Answer(const std::wstring&) override {
    return pc_.device.pipes.requests.empty() ? "" : pc_.device.pipes.requests.back();
  }
  void OccupyPipe(const std::wstring&) override {
    pc_.device.pipes.busy_opens = 1000;
    pc_.device.pipes.wait_fails = true;
  }
  void DeleteService(const std::wstring& name) override { pc_.device.services.services.erase(sim::Fold(name)); }

 private:
  sim::SimPc pc_;
  std::map<std::wstring, std::string> replies_;
};
}  // namespace

std::unique_ptr<DeviceEnv> MakeDeviceEnv() { return std::make_unique<FakeDeviceEnv>(); }

}  // namespace devstart::contract
