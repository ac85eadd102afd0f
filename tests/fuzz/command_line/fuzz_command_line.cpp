// The command line comes from whoever starts the program (AutoRun, the
// relaunch, a user's shortcut): start-up must read its switches and the
// drive of "-drive:" from any text.
#include "app/startup.h"
#include "common/fuzz_world.h"

using namespace devstart;

namespace {

sim::SimPc g_pc;
Machine g_machine = g_pc.machine();

// The manager's steps answer at once and note what start-up asked, so that
// only the parsing of the line is under test.
struct NotingManager : CAutoRunManager {
  NotingManager(COption& option) : CAutoRunManager(g_machine, option) {}
  bool from_cd = false;
  bool local = false;
  char drive_seen = 0;
  bool IsUserInAdministrators() override { return true; }
  int CheckService() override { return 0; }
  SettingRead GetSetting() override { return {}; }
  int ModeChange() override { return 0; }
  int RunFromCD() override {
    from_cd = true;
    return 0;
  }
  int CheckAndRepairWindowAutoRun() override { return 1; }
  int FirstTimeLocal() override {
    local = true;
    drive_seen = drive();
    return 0;
  }
  bool NotifyPCSuite() override { return true; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::ForgetAfterInput forget{g_pc};
  std::wstring line = fuzz::Utf16(std::string_view(reinterpret_cast<const char*>(data), size));
  Texts texts(g_pc.modules, 0x0409);
  COption option;
  int exit_code = 0;
  bool window = false;
  {
    NotingManager manager(option);
    StartupEnv env{g_machine, texts, option, manager, [&] {
                     window = true;
                     return 7;
                   }};
    exit_code = RunStartup(env, line);
    // Exactly one road: the CD run, or the local run with its window.
    fuzz::Require(manager.from_cd != manager.local);
    fuzz::Require(window == manager.local);
    fuzz::Require(exit_code == (window ? 7 : 0));
    if (manager.local) fuzz::Require(manager.drive_seen == DriveLetterFromCommandLine(line));
    fuzz::Require(option.iso_type1 == 0);
  }
  // The run's mutexes went with the manager.
  fuzz::Require(g_pc.kernel.open_mutexes.empty());
  return 0;
}
