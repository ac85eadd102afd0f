#include <gtest/gtest.h>

#include "app/installer_stages.h"
#include "core/result_codes.h"
#include "inspect/process_launch.h"
#include "ui/skin.h"
#include "unit/traced_pc.h"
#include "update/live_update.h"

namespace devstart {
namespace {

using Events = std::vector<std::string>;

// The window and the desk around it in one event list: what the stages do
// to the window, the boxes, the z-order calls and the steps they run.
// Sending is synchronous, as SendMessageW is; WM_CLOSE destroys the window.
struct Desk : IStageWindow, IWindows {
  Events events;
  InstallerStages* stages = nullptr;
  bool has_dialog = true;
  bool destroyed = false;

  void Log(std::string e) { events.push_back(std::move(e)); }
  static std::string Name(WindowHandle w) { return w == 1 ? "main" : w == 2 ? "dialog" : std::to_string(w); }

  WindowHandle handle() const override { return 1; }
  WindowHandle guide_dialog() const override { return has_dialog ? 2 : 0; }
  bool alive() const override { return !destroyed; }
  void Send(std::uint32_t msg, std::uintptr_t wparam) override {
    if (msg == win::kWmClose) {
      Log("close");
      destroyed = true;
    } else if (!stages->OnMessage(msg, wparam)) {
      Log("unhandled " + std::to_string(msg));
    }
  }
  void SetStatus(const std::wstring& text, bool erase) override {
    Log("status " + sim::Utf8(text) + (erase ? " (erase)" : ""));
  }
  void EnableCancel(bool enabled) override { Log(enabled ? "cancel on" : "cancel off"); }
  void Hide() override { Log("hide"); }
  void ShowGuideDialog() override { Log("show dialog"); }
  void KillTimer(std::uintptr_t id) override { Log("kill timer " + std::to_string(id)); }
  void EndProcess(int code) override { Log("exit " + std::to_string(code)); }

  WindowHandle FindWindow(const std::wstring&, const std::wstring&) override { return 0; }
  bool SetWindowPos(WindowHandle w, WindowHandle after, int, int, int, int, std::uint32_t flags) override {
    EXPECT_EQ(flags, win::kSwpNoMove | win::kSwpNoSize);
    Log(Name(w) + (after == win::kHwndTopmost ? " topmost" : " not topmost"));
    return true;
  }
  std::intptr_t SendMessage(WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) override { return 0; }
  bool PostMessage(WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) override { return true; }
  int MessageBox(WindowHandle owner, const std::wstring& text, const BoxCaption& caption, std::uint32_t) override {
    Log("box over " + Name(owner) + ": " + sim::Utf8(text) + (caption ? " [" + sim::Utf8(*caption) + "]" : ""));
    return win::kIdOk;
  }
};

struct Steps {
  int driver = 0, mode_change = 0, itk = 0, swupdate = 0, run = NORMAL_EXIT, pcsuite_installed = 0;
  bool close_during_driver = false;
  bool cancel_during_driver = false;
};

// A manager whose steps answer a row's results and say that they ran.
struct ScriptedManager : CAutoRunManager {
  ScriptedManager(Machine& m, COption& o, Desk& desk, Steps steps)
      : CAutoRunManager(m, o), desk(desk), steps(steps) {}
  int StepDriver() override {
    desk.Log("StepDriver");
    if (steps.cancel_during_driver) {
      set_waited_process_id(77);
      desk.stages->OnCancel();
      set_waited_process_id(-1);
    }
    if (steps.close_during_driver) desk.Send(win::kWmClose, 0);
    return steps.driver;
  }
  int ModeChange() override { return desk.Log("ModeChange"), steps.mode_change; }
  bool NotifyPCSuite() override { return desk.Log("NotifyPCSuite"), true; }
  int CheckPCSuiteInstall() override { return steps.pcsuite_installed; }
  int StepITK() override { return desk.Log("StepITK"), steps.itk; }
  int StepSWUpate() override { return desk.Log("StepSWUpate"), steps.swupdate; }
  int StepRun() override { return desk.Log("StepRun"), steps.run; }
  int CleanupStaging() override { return desk.Log("cleanup"), 1; }
  Desk& desk;
  Steps steps;
};

struct Mode {
  int user_mode, iso_type0, iso_type1, pcsuite_test;
};
constexpr Mode kPcSuite{0, 0, 0, 0};
constexpr Mode kPcSuiteTest{0, 0, 0, 1};
constexpr Mode kItk{0, 1, 0, 0};
constexpr Mode kRunOnly{1, 0, 0, 0};
constexpr Mode kSwUpdate{4, 0, 0, 0};
constexpr Mode kNoStage{0, 1, 1, 0};

// The chain a first tick starts, for one row.
Events RunChain(Mode mode, Steps steps, bool has_dialog = true) {
  TracedPc world;
  COption option;
  option.user_mode = mode.user_mode;
  option.iso_type0 = mode.iso_type0;
  option.iso_type1 = mode.iso_type1;
  option.pcsuite_test = mode.pcsuite_test;
  Desk desk;
  desk.has_dialog = has_dialog;
  ScriptedManager manager(world.machine, option, desk, steps);
  Texts texts(world.pc.modules, kLangEnglishUK);
  InstallerStages stages(manager, option, texts, desk, desk);
  desk.stages = &stages;
  stages.OnTimer(kStartTimer);
  return desk.events;
}

const Events kStart = {"kill timer 1", "cancel off", "main not topmost", "status Installing Tavo USB Modem Driver...",
                       "StepDriver"};

Events Then(std::initializer_list<std::string> rest) {
  Events e = kStart;
  e.insert(e.end(), rest);
  return e;
}

struct ChainCase {
  int line;
  Mode mode;
  Steps steps;
  bool has_dialog;
  Events expected;
};

TEST(InstallerStages, EachModeWalksItsStages) {
  const std::string run = "status Running PC internet via the phone application...";
  const ChainCase cases[] = {
      {__LINE__, kPcSuite, {.pcsuite_installed = 1}, true,
       Then({"ModeChange", "hide", run, "StepRun", "cleanup", "exit 0"})},
      {__LINE__, kPcSuite, {}, true, Then({"ModeChange", "hide", "show dialog", "dialog topmost", "dialog not topmost"})},
      {__LINE__, kPcSuiteTest, {.pcsuite_installed = 1}, true,
       Then({"ModeChange", "hide", "show dialog", "dialog topmost", "dialog not topmost"})},
      // No dialog to take over: the window stays and the run fails.
      {__LINE__, kPcSuite, {}, false,
       Then({"ModeChange", "box over main: Unknown error has occurred. [Devstart]", "cleanup", "close"})},
      {__LINE__, kItk, {}, true,
       Then({"NotifyPCSuite", "ModeChange", "status Installing PC internet via the phone application... (erase)",
             "StepITK", run, "StepRun", "cleanup", "exit 0"})},
      {__LINE__, kItk, {.itk = FAIL_TO_SETUP_ITK}, true,
       Then({"NotifyPCSuite", "ModeChange", "status Installing PC internet via the phone application... (erase)",
             "StepITK", "cleanup", "close"})},
      {__LINE__, kItk, {.run = VTP_NOT_INSTALLED}, true,
       Then({"NotifyPCSuite", "ModeChange", "status Installing PC internet via the phone application... (erase)",
             "StepITK", run, "StepRun", "box over main: VTP is not installed. [Devstart]", "cleanup", "exit 0"})},
      {__LINE__, kRunOnly, {}, true, Then({"ModeChange", run, "StepRun", "cleanup", "exit 0"})},
      {__LINE__, kSwUpdate, {}, true,
       Then({"ModeChange", "status  (erase)", "StepSWUpate", run, "StepRun", "cleanup", "exit 0"})},
      {__LINE__, kPcSuite, {.driver = FAIL_TO_SETUP_DRIVER}, true,
       Then({"box over main: Failed to set up. [Devstart]", "cleanup", "close"})},
      // A failed mode change closes without a word.
      {__LINE__, kPcSuite, {.mode_change = FAIL_TO_SEND_SCSI_CMD}, true, Then({"ModeChange", "cleanup", "close"})},
      {__LINE__, kNoStage, {}, true,
       Then({"ModeChange", "box over main: ISO value for modes is unknown. [Devstart]", "cleanup", "close"})},
      // Closed during the driver's wait: nothing more runs.
      {__LINE__, kPcSuite, {.close_during_driver = true}, true, Then({"close"})},
      // Cancelled during the wait: the flag only; the ITK stage then closes.
      {__LINE__, kItk, {.cancel_during_driver = true}, true,
       Then({"cancel off", "NotifyPCSuite", "ModeChange",
             "status Installing PC internet via the phone application... (erase)", "close"})},
      {__LINE__, kPcSuite, {.cancel_during_driver = true}, true, Then({"cancel off", "ModeChange", "hide", "close"})},
  };
  for (const ChainCase& c : cases) {
    EXPECT_EQ(RunChain(c.mode, c.steps, c.has_dialog), c.expected) << "row at line " << c.line;
  }
}

TEST(InstallerStages, NextStageAfterTheStartByMode) {
  const struct {
    Mode mode;
    std::uint32_t next;
  } cases[] = {{kPcSuite, 1124}, {{2, 1, 0, 0}, 1124}, {kItk, 1126}, {{3, 0, 0, 0}, 1126},
               {kRunOnly, 1127}, {kSwUpdate, 1131}, {kNoStage, 1128}};
  for (const auto& c : cases) {
    COption o;
    o.user_mode = c.mode.user_mode;
    o.iso_type0 = c.mode.iso_type0;
    o.iso_type1 = c.mode.iso_type1;
    EXPECT_EQ(InstallerStages::NextAfterStart(o), c.next) << c.mode.user_mode << c.mode.iso_type0 << c.mode.iso_type1;
  }
}

struct StageMessages : ::testing::Test, TracedPc {
  COption option;
  Desk desk;
  ScriptedManager manager{machine, option, desk, {}};
  Texts texts{pc.modules, kLangEnglishUK};
  InstallerStages stages{manager, option, texts, desk, desk};
  void SetUp() override { desk.stages = &stages; }
};

TEST_F(StageMessages, CancelClosesAtOnceOnlyWhenNoSetupIsWaitedFor) {
  stages.OnCancel();
  EXPECT_EQ(manager.run().cancel_flag, 1);
  EXPECT_EQ(desk.events, (Events{"cancel off", "close", "exit 0"}));

  desk.events.clear();
  desk.destroyed = false;
  manager.run().cancel_flag = 0;
  manager.set_waited_process_id(4242);
  stages.OnCancel();
  EXPECT_EQ(manager.run().cancel_flag, 1);
  EXPECT_EQ(desk.events, (Events{"cancel off"}));
}

TEST_F(StageMessages, OtherTimersAndMessagesAreNotTheStages) {
  stages.OnTimer(2);
  EXPECT_FALSE(stages.OnMessage(1123, 0));
  EXPECT_FALSE(stages.OnMessage(1132, 0));
  EXPECT_TRUE(desk.events.empty());
}

TEST_F(StageMessages, WrongModeBoxOverTheWindowOrTheDialog) {
  const std::string text = "Device is connected using an incorrect mode. End or cancel the installation and try again.";
  stages.OnMessage(kUmWrongMode, 0);
  stages.OnMessage(kUmWrongModeDialog, 0);
  desk.has_dialog = false;
  stages.OnMessage(kUmWrongModeDialog, 0);
  EXPECT_EQ(desk.events, (Events{"box over main: " + text, "box over dialog: " + text, "box over main: " + text}));
}

// The guide dialog's buttons, by control id: the stage each hands back, and
// whether the setup's address was opened with the dialog's owner.
TEST(GuideButtons, EveryButtonHandsBackTheRunStageAndOnlyDownloadOpensTheSetup) {
  struct Row {
    int control;
    std::uint32_t stage;
    bool opens;
  };
  const Row rows[] = {{1006, 1127, false}, {1008, 1127, false}, {1009, 1127, true}, {1007, 0, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.control);
    World w;
    w.pc.files.special_folders[win::kCsidlWindows] = L"C:\\windows";
    w.manager().GetLiveUpdate().SelectSetupUrl(L"http://u/base");
    EXPECT_EQ(OnGuideButton(w.manager(), row.control, 0x99), row.stage);
    ASSERT_EQ(w.pc.processes.owned_launches.size(), row.opens ? 1u : 0u);
    if (row.opens) { EXPECT_EQ(w.pc.processes.owned_launches[0].owner, 0x99u); }
  }
}

// The window closed inside a setup's wait: the quit message its destruction
// posted is taken by the wait's pump and posted again once the setup ends,
// so the program's own loop still sees it.
TEST(SetupWait, AQuitMessageDuringTheWaitIsPostedAgainAfterIt) {
  TracedPc world;
  world.pc.processes.launchable[sim::Fold(L"C:\\s\\setup.exe")] = {L"setup.exe", 3, {}, {}, false};
  LaunchedProcess setup = LaunchProcess(world.machine, L"C:\\s\\setup.exe", L"", 0);
  ASSERT_NE(setup.pid, -1);
  world.pc.processes.pending_messages = 1;
  world.pc.processes.on_dispatch = [&] { world.pc.processes.queued_quit = 0; };
  std::int32_t waited = -1;
  WaitForLaunchedProcess(world.machine, waited, std::move(setup));
  EXPECT_EQ(waited, -1);
  EXPECT_EQ(world.pc.processes.posted_quits, std::vector<int>{0});
  EXPECT_EQ(world.pc.processes.queued_quit, std::optional<int>(0));
}

}  // namespace
}  // namespace devstart
