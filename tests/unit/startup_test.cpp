#include <gtest/gtest.h>

#include "app/startup.h"
#include "app/window_messages.h"
#include "core/result_codes.h"
#include "unit/traced_pc.h"

namespace devstart {
namespace {

// A manager whose operations answer what the test scripts and record calls.
// They never reach a machine; the base class still needs one.
sim::SimPc g_unused_pc;
Machine g_unused_machine = g_unused_pc.machine();
COption g_unused_option;

struct Script {
  std::vector<std::string> calls;
  bool admin = true;
  int check_service = 0, get_setting = 0, mode_change = 0, autorun = 1;
  int run_from_cd = 0, first_time_local = 0;
  std::optional<int> window;
  bool notify = false;
  std::vector<char> drives_seen;
};

struct ScriptedManager : CAutoRunManager, Script {
  ScriptedManager() : CAutoRunManager(g_unused_machine, g_unused_option) {}
  // A fresh script for the next case of a table.
  ScriptedManager& operator=(const ScriptedManager& o) {
    static_cast<Script&>(*this) = o;
    set_drive(o.drive());
    return *this;
  }

  bool IsUserInAdministrators() override { return Call("admin", admin); }
  int CheckService() override { return Call("CheckService", check_service); }
  SettingRead GetSetting() override {
    drives_seen.push_back(drive());
    return {Call("GetSetting", get_setting), std::nullopt};
  }
  int ModeChange() override { return Call("ModeChange", mode_change); }
  int RunFromCD() override { return Call("RunFromCD", run_from_cd); }
  int CheckAndRepairWindowAutoRun() override { return Call("AutoRun", autorun); }
  int FirstTimeLocal() override {
    drives_seen.push_back(drive());
    return Call("FirstTimeLocal", first_time_local);
  }
  bool NotifyPCSuite() override { return Call("NotifyPCSuite", notify); }

  template <typename T>
  T Call(const char* name, T r) {
    calls.emplace_back(name);
    return r;
  }
};

class Startup : public ::testing::Test, public TracedPc {
 protected:
  void SetUp() override { pc.files.current_directory = L"E:\\"; }

  int Run(const std::wstring& command_line) {
    StartupEnv env{machine, texts, option, manager, {}};
    if (manager.window) env.run_window = [this] { return *manager.Call("Window", manager.window); };
    return RunStartup(env, command_line);
  }
  bool Called(const char* name) const {
    return std::find(manager.calls.begin(), manager.calls.end(), name) != manager.calls.end();
  }
  bool Traced(const std::wstring& line) const {
    auto lines = pc.TraceLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  Texts texts{pc.modules, kLangEnglishUK};
  COption option;
  ScriptedManager manager;
  RunState& state = manager.run();
};

TEST_F(Startup, FirstLineNamesTheVersion) {
  manager.run_from_cd = 0;
  Run(L"");
  EXPECT_EQ(pc.TraceLines().front(), L"Start Autorun version 1, 0, 0, 14");
  // The first start holds its one-instance mutex for the whole run.
  EXPECT_EQ(pc.kernel.open_mutexes, std::set<Handle>{state.one_instance_mutex.get()});
}

// The current directory leaves the library search before anything is loaded.
TEST_F(Startup, CurrentDirectoryLeavesTheLibrarySearchFirst) {
  manager.first_time_local = NORMAL_EXIT;
  Run(L"-drive:E");
  EXPECT_EQ(pc.modules.search_dropped_after, 0);
}

struct BranchCase {
  const wchar_t* command_line;
  bool cd_branch;
  char drive;
};
TEST_F(Startup, CommandLineChoosesTheBranch) {
  const BranchCase cases[] = {
      {L"", true, 0},
      {L"-drive:E", false, 'E'},
      {L"-drive:E -run_cd", true, 0},
      {L"x-run_cdx", true, 0},
      {L"-debug", false, 0},             // shorter than 7: no letter
      {L"-debug -no_send", false, ' '},  // position 6 when the switch is absent
      {L"-no_send -drive:F", false, 'F'},
      {L"-DRIVE:G", false, ':'},         // switches are case-sensitive: position 6
      {L"-drive:", false, 0},
  };
  for (const auto& c : cases) {
    manager = ScriptedManager{};
    manager.run_from_cd = NORMAL_EXIT;
    manager.first_time_local = NORMAL_EXIT;
    pc.kernel.existing.clear();
    EXPECT_EQ(Run(c.command_line), 0);
    EXPECT_EQ(Called("RunFromCD"), c.cd_branch) << sim::Utf8(c.command_line);
    EXPECT_EQ(Called("FirstTimeLocal"), !c.cd_branch) << sim::Utf8(c.command_line);
    if (!c.cd_branch) {
      EXPECT_TRUE(Called("AutoRun"));
      EXPECT_EQ(manager.drive(), c.drive) << sim::Utf8(c.command_line);
    }
  }
}

struct SwitchCase {
  const wchar_t* command_line;
  int no_send, run_itk, no_install, debug, sciscmd_send, iso0;
};
TEST_F(Startup, SwitchesAreSubstringsAnywhere) {
  const SwitchCase cases[] = {
      {L"-drive:E", 0, 0, 0, 0, 1, 0},
      {L"-drive:E -no_send", 1, 0, 0, 0, 0, 0},
      {L"-drive:E-run_itk", 0, 1, 0, 0, 1, 1},
      {L"-no_install -debug -drive:E", 0, 0, 1, 1, 1, 0},
      {L"-NO_SEND -drive:E", 0, 0, 0, 0, 1, 0},
  };
  for (const auto& c : cases) {
    option = COption{};
    option.iso_type0 = 1;
    option.iso_type1 = 1;
    state = RunState{};
    pc.kernel.existing.clear();
    manager.first_time_local = NORMAL_EXIT;
    Run(c.command_line);
    EXPECT_EQ(state.no_send_switch, c.no_send) << sim::Utf8(c.command_line);
    EXPECT_EQ(state.run_itk_switch, c.run_itk) << sim::Utf8(c.command_line);
    EXPECT_EQ(state.no_install_switch, c.no_install) << sim::Utf8(c.command_line);
    EXPECT_EQ(state.debug_switch, c.debug) << sim::Utf8(c.command_line);
    EXPECT_EQ(option.sciscmd_send, c.sciscmd_send) << sim::Utf8(c.command_line);
    EXPECT_EQ(option.iso_type0, c.iso0) << sim::Utf8(c.command_line);
    EXPECT_EQ(option.iso_type1, 0);
  }
}

TEST_F(Startup, ResultOfTheCdRunIsShown) {
  manager.run_from_cd = 401;
  Run(L"");
  ASSERT_EQ(pc.windows.MessageBoxes().size(), 1u);
  EXPECT_NE(pc.windows.MessageBoxes()[0].text.find(L"(Tavo Internet Kit)"), std::wstring::npos);
}

TEST_F(Startup, LocalRunEndings) {
  manager.first_time_local = NORMAL_EXIT;
  Run(L"-drive:E");
  EXPECT_TRUE(Traced(L"Devstart::FirstTimeLocal returns NORMAL_EXIT"));
  EXPECT_TRUE(pc.windows.MessageBoxes().empty());

  manager = ScriptedManager{};
  pc.kernel.existing.clear();
  manager.first_time_local = 306;
  Run(L"-drive:E");
  ASSERT_EQ(pc.windows.MessageBoxes().size(), 1u);
  EXPECT_EQ(pc.windows.MessageBoxes()[0].text, L"USB driver is not installed.");
  EXPECT_FALSE(Called("Window"));

  manager = ScriptedManager{};
  pc.kernel.existing.clear();
  manager.first_time_local = 0;
  manager.window = 0;
  Run(L"-drive:E");
  EXPECT_TRUE(Called("Window"));
}

TEST_F(Startup, AStartWithoutAWindowSaysSoInTheTrace) {
  manager.first_time_local = 0;
  EXPECT_EQ(Run(L"-drive:E"), 0);
  EXPECT_TRUE(Traced(L"Devstart: installer window is not available in this build"));
  EXPECT_TRUE(pc.windows.MessageBoxes().empty());
}

struct ServiceCase {
  const char* name;
  OsVersion version;
  bool admin;
  int service_result;
  bool checked, stops;
};
TEST_F(Startup, ServiceIsCheckedBeforeVersion6) {
  const ServiceCase cases[] = {
      {"xp_user_service_stopped", {5, 1, 2600, 2, 3, 1}, false, 209, true, true},
      {"xp_admin_service_missing", {5, 1, 2600, 2, 3, 1}, true, 206, true, false},
      {"xp_admin_test_fails", {5, 1, 2600, 2, 3, 1}, false, 205, true, true},
      {"win2000_user_ok", {5, 0, 2195, 2, 4, 1}, false, 0, true, false},
      {"win7_user", {6, 1, 7601, 2, 1, 1}, false, 209, false, false},
      {"server2008", {6, 0, 6001, 2, 1, 3}, false, 209, false, false},
  };
  for (const auto& c : cases) {
    manager = ScriptedManager{};
    pc.windows.calls.clear();
    pc.kernel.existing.clear();
    pc.kernel.created.clear();
    pc.system.version = c.version;
    manager.admin = c.admin;
    manager.check_service = c.service_result;
    manager.run_from_cd = NORMAL_EXIT;
    EXPECT_EQ(Run(L""), 0);
    EXPECT_EQ(Called("CheckService"), c.checked) << c.name;
    EXPECT_EQ(pc.kernel.created.empty(), c.stops) << c.name;
    if (c.stops) {
      ASSERT_EQ(pc.windows.MessageBoxes().size(), 1u) << c.name;
    }
  }
  EXPECT_EQ(pc.windows.MessageBoxes().size(), 0u);
}

TEST_F(Startup, UnreadableVersionSkipsTheServiceCheck) {
  pc.system.version = std::nullopt;
  manager.admin = false;
  manager.check_service = ADMIN_REQUIRED;
  manager.run_from_cd = NORMAL_EXIT;
  EXPECT_EQ(Run(L""), 0);
  EXPECT_FALSE(Called("CheckService"));
  EXPECT_TRUE(Called("RunFromCD"));
}

TEST_F(Startup, XpStandardUserWithoutRunningServiceGetsAdministratorMessage) {
  pc.system.version = OsVersion{5, 1, 2600, 2, 3, 1};
  manager.admin = false;
  manager.check_service = ADMIN_REQUIRED;
  Run(L"");
  ASSERT_EQ(pc.windows.MessageBoxes().size(), 1u);
  EXPECT_EQ(pc.windows.MessageBoxes()[0].text, L"Administrator account is required for access.");
  EXPECT_FALSE(Called("RunFromCD"));
}

struct SecondCase {
  const char* name;
  int user_mode, iso0, iso1;
  bool itk_mutex_held;
  std::uint32_t message;  // 0 = none
  bool notifies;
};
TEST_F(Startup, SecondInstanceWarnsTheFirstOnlyWhenModesDiffer) {
  const SecondCase cases[] = {
      {"pc_mode_first_in_pc_mode", 0, 0, 0, false, 0, false},
      {"pc_mode_first_in_itk_mode", 0, 0, 0, true, kUmWrongMode, false},
      {"itk_mode_first_in_pc_mode", 0, 1, 0, false, kUmWrongModeDialog, true},
      {"itk_mode_first_in_itk_mode", 0, 1, 0, true, 0, true},
      {"software_update", 4, 0, 0, false, kUmWrongModeDialog, true},
      {"switch_only", 1, 0, 0, true, 0, false},
      {"neither", 0, 1, 1, false, 0, false},
  };
  for (const auto& c : cases) {
    manager = ScriptedManager{};
    manager.get_setting = 0;
    manager.mode_change = 0;
    manager.notify = true;
    pc.windows.calls.clear();
    pc.windows.windows = {{0x77, L"Devstart", L"Devstart"}};
    pc.kernel.existing = {L"DevstartOneInstanceMutex"};
    if (c.itk_mutex_held) pc.kernel.existing.insert(L"DevstartMutexITKMode");
    option.user_mode = c.user_mode;
    option.iso_type0 = c.iso0;
    option.iso_type1 = c.iso1;
    pc.files.current_directory = L"F:\\";
    // The second instance ignores its command line.
    EXPECT_EQ(Run(L"-run_itk -drive:G"), 0) << c.name;
    EXPECT_EQ(manager.drives_seen, std::vector<char>{'F'}) << c.name;
    EXPECT_TRUE(Called("ModeChange")) << c.name;
    EXPECT_EQ(Called("NotifyPCSuite"), c.notifies) << c.name;
    std::vector<sim::FakeWindows::Call> sent;
    for (const auto& call : pc.windows.calls) {
      if (call.what == L"SendMessage") sent.push_back(call);
    }
    if (c.message == 0) {
      EXPECT_TRUE(sent.empty()) << c.name;
    } else {
      ASSERT_EQ(sent.size(), 1u) << c.name;
      EXPECT_EQ(sent[0].window, 0x77u);
      EXPECT_EQ(sent[0].a, c.message) << c.name;
    }
    ASSERT_GE(pc.windows.calls.size(), 2u);
    EXPECT_EQ(pc.windows.calls[0].a, win::kHwndTopmost);
    EXPECT_EQ(pc.windows.calls[1].a, win::kHwndNoTopmost);
    EXPECT_EQ(pc.windows.calls[0].b, win::kSwpNoMove | win::kSwpNoSize);
    EXPECT_EQ(pc.TraceLines().back(), L"Devstart::CreateMutex ERROR_ALREADY_EXISTS") << c.name;
    // Both mode mutexes are held with the one-instance mutex; a repeated run
    // let go of the previous run's.
    EXPECT_EQ(pc.kernel.open_mutexes,
              (std::set<Handle>{state.one_instance_mutex.get(), state.pc_mode_mutex.get(), state.mode_mutex.get()}))
        << c.name;
    EXPECT_TRUE(pc.windows.MessageBoxes().empty());
  }
}

TEST_F(Startup, SecondInstanceWhoseSettingReadFailsShowsItAndStops) {
  pc.kernel.existing = {L"DevstartOneInstanceMutex"};
  manager.get_setting = FAIL_TO_FIND_DRIVE;
  EXPECT_EQ(Run(L""), 0);
  ASSERT_EQ(pc.windows.MessageBoxes().size(), 1u);
  EXPECT_FALSE(Called("ModeChange"));
  EXPECT_FALSE(Traced(L"Devstart::CreateMutex ERROR_ALREADY_EXISTS"));
}

TEST_F(Startup, SecondInstanceWithoutAFirstWindowStillEndsNormally) {
  pc.kernel.existing = {L"DevstartOneInstanceMutex", L"DevstartMutexITKMode"};
  manager.get_setting = 0;
  EXPECT_EQ(Run(L""), 0);
  EXPECT_TRUE(Traced(L"Devstart::CreateMutex ERROR_ALREADY_EXISTS"));
}

}  // namespace
}  // namespace devstart
