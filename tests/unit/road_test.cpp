// The installer's road on the simulated PC: the CD run staging and
// relaunching, the local run's first decision, and the install steps.
#include <gtest/gtest.h>

#include "core/result_codes.h"
#include "update/live_update.h"
#include "unit/traced_pc.h"

namespace devstart {
namespace {

const std::wstring kStaging = L"C:\\Users\\user\\AppData\\Local\\Temp\\E\\";
const std::wstring kDrivers = L"C:\\Program Files (x86)\\Tavo Electronics\\Tavo USB Modem Drivers\\";
const std::wstring kPcSuiteKey = L"HKLM\\SOFTWARE\\Wow6432Node\\Tavo Electronics\\Tavo PC Suite IV\\1.0";
const std::wstring kKitKey = L"HKLM\\SOFTWARE\\Wow6432Node\\Tavo Electronics\\Tavo Internet Kit\\1.0";
const std::wstring kVtpKey =
    L"HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{34A0FF07-F11A-4157-84A3-92F8AD688CBF}";
const std::wstring kRunWhenKey = L"HKCU\\Software\\Tavo Electronics\\Tavo PC Suite IV\\1.0\\Setting";

constexpr OsVersion kWin7{6, 1, 7601, 2, 1, 1};
constexpr OsVersion kServer2008{6, 0, 6001, 2, 1, 3};
constexpr OsVersion kXp{5, 1, 2600, 2, 3, 1};

enum Mode { kPcSuite, kVtp, kKit, kSwitchOnly };
enum Product { kMissing, kOld, kCurrent };

// A phone's CD in E:\ on a 64-bit Windows 7 with nothing installed; each row
// adds what it needs.
class Road : public World {
 public:
  explicit Road(Mode mode = kPcSuite) {
    pc.files.current_directory = L"E:\\";
    for (const wchar_t* f : {L"Devstart.exe", L"SendScsiCmd.dll", L"P4_Updlink.dll", L"P4_UpdlinkChk.dll",
                             L"config.ini", L"Progress.avi", L"tools\\DriverSetup.exe",
                             L"tools\\DriverUninstall.exe", L"tools\\VTPSetup.exe", L"tools\\Setup.cfg"}) {
      pc.files.Put(std::wstring(L"E:\\") + f, "x");
    }
    option.driver_name = L".\\tools\\DriverSetup.exe";
    option.driver_uninstall = L"tools\\DriverUninstall.exe";
    option.driver_version = L"1.2.0.4";
    option.itk_setup = L"tools\\VTPSetup.exe";
    option.itk_version = L"1.0.0.3";
    option.itk_run_file = L"VTP.exe";
    option.pcsuite_run_file = L"PCSuite.exe";
    option.sciscmd_wait = 1000;
    SetMode(mode);
    pc.security.admin = true;
    Launchable(L"C:\\Tavo\\PCSuite.exe", -1);
    Launchable(L"C:\\VTP\\VTP.exe", -1);
    Launchable(L"C:\\Kit\\InternetKit.exe", -1);
  }
  // The phone's setting block decides the mode: PC suite, ITK, or neither.
  void SetMode(Mode mode) {
    option.user_mode = mode == kSwitchOnly ? 1 : 0;
    option.itk_type = mode == kKit ? 1 : 0;
    pc.phone.model.setting[0] = mode == kVtp || mode == kKit ? 0x41 : 0x40;
  }
  void Driver(Product p) {
    if (p == kMissing) return;
    for (const wchar_t* f : {L"tavox64modem.sys", L"tavox64bus.sys", L"tavox64diag.sys"}) pc.files.Put(kDrivers + f, "d");
    pc.versions.Put(kDrivers + L"tavox64modem.sys", 1, 2, 0, p == kOld ? 3 : 4);
  }
  void PcSuite() { pc.registry.PutString(kPcSuiteKey, L"Path", L"C:\\Tavo\\"); }
  void Vtp(Product p) {
    if (p == kMissing) return;
    pc.registry.PutString(kVtpKey, L"InstallLocation", L"C:\\VTP\\");
    pc.registry.PutString(kVtpKey, L"DisplayVersion", p == kOld ? L"1.0.0.2" : L"1.0.0.3");
  }
  void Kit(Product p) {
    if (p == kMissing) return;
    pc.registry.PutString(kKitKey, L"Path", L"C:\\Kit\\");
    pc.registry.PutString(kKitKey, L"Version", p == kOld ? L"1.0.0.2" : L"1.0.0.3");
  }
  void Launchable(const std::wstring& file, long runs_for, std::function<void()> effect = {}) {
    pc.processes.launchable[sim::Fold(file)] = {L"x.exe", runs_for, {}, std::move(effect)};
  }
  // Launches as "verb file parameters".
  std::vector<std::wstring> Launches() const {
    std::vector<std::wstring> out;
    for (const auto& l : pc.processes.launches) out.push_back(l.verb + L" " + l.file + L" " + l.parameters);
    return out;
  }
  // Files in the staging folder, by their path below it.
  std::vector<std::wstring> Staged() const {
    std::vector<std::wstring> out;
    for (const wchar_t* f : {L"Devstart.exe", L"SendScsiCmd.dll", L"P4_Updlink.dll", L"P4_UpdlinkChk.dll",
                             L"config.ini", L"Progress.avi", L"tools\\DriverSetup.exe",
                             L"tools\\DriverUninstall.exe", L"tools\\VTPSetup.exe", L"tools\\Setup.cfg"}) {
      if (pc.files.Exists(kStaging + f)) out.push_back(f);
    }
    return out;
  }
};

const std::vector<std::wstring> kCompanions = {L"Devstart.exe", L"SendScsiCmd.dll", L"P4_Updlink.dll",
                                               L"P4_UpdlinkChk.dll", L"config.ini", L"Progress.avi"};

std::vector<std::wstring> With(std::vector<std::wstring> a, const std::vector<std::wstring>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// ---- the CD run -------------------------------------------------------------

struct ConflictCase {
  const char* name;
  Mode mode;
  bool vtp_runs, kit_window, pcsuite_window;
  int result;
};

TEST(RunFromCD, ConflictingApplicationStopsBeforeAnythingIsStaged) {
  const ConflictCase cases[] = {
      {"pc_suite_beside_vtp", kPcSuite, true, false, false, 400},
      {"pc_suite_beside_kit", kPcSuite, false, true, false, 401},
      {"pc_suite_beside_both", kPcSuite, true, true, false, 401},
      {"vtp_beside_pc_suite", kVtp, false, false, true, 402},
      {"vtp_beside_kit", kVtp, false, true, false, 403},
      {"kit_beside_vtp", kKit, true, false, false, 404},
      {"kit_beside_pc_suite", kKit, true, false, true, 405},
      {"pc_suite_beside_pc_suite", kPcSuite, false, false, true, 1},
      {"vtp_beside_vtp", kVtp, true, false, false, 1},
      {"switch_only_beside_all", kSwitchOnly, true, true, true, 1},
  };
  for (const auto& c : cases) {
    Road w(c.mode);
    w.Launchable(kStaging + L"Devstart.exe", 0);
    if (c.vtp_runs) w.pc.processes.processes.push_back({700, L"VTP.exe"});
    if (c.kit_window) w.pc.windows.windows.push_back({0x51, L"TAVO_INTERNET_KIT_CLASS", L"Kit"});
    if (c.pcsuite_window) w.pc.windows.windows.push_back({0x52, L"Main", L"Tavo PC Suite IV"});
    EXPECT_EQ(w.manager().RunFromCD(), c.result) << c.name;
    EXPECT_EQ(w.pc.files.FolderExists(kStaging), c.result == 1) << c.name;
    EXPECT_EQ(w.pc.processes.launches.size(), c.result == 1 ? 1u : 0u) << c.name;
  }
}

struct StagingCase {
  const char* name;
  OsVersion os;
  bool admin;
  Mode mode;
  Product driver, itk;
  int auto_run_check;
  bool autorun_off;
  std::vector<std::wstring> setups;  // staged beside the companions
  const wchar_t* verb;
};

TEST(RunFromCD, StagesWhatTheLocalRunNeedsAndElevatesWhenItInstalls) {
  const std::vector<std::wstring> driver = {L"tools\\DriverSetup.exe", L"tools\\DriverUninstall.exe"};
  const std::vector<std::wstring> vtp = {L"tools\\VTPSetup.exe"};
  const StagingCase cases[] = {
      {"all_current", kWin7, true, kPcSuite, kCurrent, kMissing, 1, false, {}, L"open"},
      {"driver_missing", kWin7, true, kPcSuite, kMissing, kMissing, 1, false, driver, L"runas"},
      {"driver_old", kWin7, false, kPcSuite, kOld, kMissing, 1, false, driver, L"runas"},
      {"driver_missing_xp", kXp, true, kPcSuite, kMissing, kMissing, 1, false, driver, L"open"},
      {"vtp_missing", kWin7, true, kVtp, kCurrent, kMissing, 1, false, vtp, L"runas"},
      {"vtp_old", kWin7, true, kVtp, kCurrent, kOld, 1, false, vtp, L"runas"},
      {"vtp_current", kWin7, true, kVtp, kCurrent, kCurrent, 1, false, {}, L"open"},
      {"kit_missing_and_driver_old", kWin7, true, kKit, kOld, kMissing, 1, false, With(driver, vtp), L"runas"},
      {"autorun_off", kWin7, true, kPcSuite, kCurrent, kMissing, 1, true, {}, L"runas"},
      {"autorun_off_unchecked", kWin7, true, kPcSuite, kCurrent, kMissing, 0, true, {}, L"open"},
      {"autorun_off_xp", kXp, true, kPcSuite, kCurrent, kMissing, 1, true, {}, L"open"},
      {"server_standard_user", kServer2008, false, kPcSuite, kCurrent, kMissing, 1, false, {}, L"runas"},
      {"server_administrator", kServer2008, true, kPcSuite, kMissing, kMissing, 1, false, driver, L"open"},
  };
  for (const auto& c : cases) {
    Road w(c.mode);
    w.pc.system.version = c.os;
    w.pc.security.admin = c.admin;
    if (!c.admin) w.pc.InstallService(win::kServiceRunning);  // XP's standard user reads the phone through it
    w.Driver(c.driver);
    if (c.mode == kKit) w.Kit(c.itk); else w.Vtp(c.itk);
    w.option.auto_run_check = c.auto_run_check;
    if (c.autorun_off) w.pc.registry.PutDword(L"HKLM\\SYSTEM\\CurrentControlSet\\Services\\Cdrom", L"Autorun", 0);
    // The user refuses every elevation prompt: the CD run ends the same.
    w.Launchable(kStaging + L"Devstart.exe", 0);
    w.pc.processes.launchable[sim::Fold(kStaging + L"Devstart.exe")].refuses_elevation = true;

    EXPECT_EQ(w.manager().RunFromCD(), NORMAL_EXIT) << c.name;
    EXPECT_EQ(w.Staged(), With(kCompanions, c.setups)) << c.name;
    EXPECT_EQ(w.Launches(), (std::vector<std::wstring>{std::wstring(c.verb) + L" " + kStaging + L"Devstart.exe -drive:E"}))
        << c.name;
    EXPECT_TRUE(w.pc.windows.MessageBoxes().empty()) << c.name;
  }
}

TEST(RunFromCD, RelaunchesFromTheStagingFolderAsTheFirstInstance) {
  Road w;
  w.Driver(kCurrent);
  w.Launchable(kStaging + L"Devstart.exe", 0);
  // Left over from an earlier run: emptied before the new copies are made.
  w.pc.files.Put(kStaging + L"stale.txt", "old");
  w.pc.files.Put(kStaging + L"tools\\Old.exe", "old");
  IKernelObjects& kernel = w.pc.kernel;
  w.manager().run().one_instance_mutex.reset(kernel, kernel.CreateMutex(true, L"DevstartOneInstanceMutex").handle);
  w.Mark();

  EXPECT_EQ(w.manager().RunFromCD(), NORMAL_EXIT);
  EXPECT_FALSE(w.pc.files.Exists(kStaging + L"stale.txt"));
  EXPECT_FALSE(w.pc.files.Exists(kStaging + L"tools\\Old.exe"));
  EXPECT_TRUE(w.pc.files.FolderExists(kStaging + L"tools"));
  EXPECT_TRUE(w.pc.kernel.open_mutexes.empty());
  ASSERT_EQ(w.pc.processes.launches.size(), 1u);
  EXPECT_EQ(w.pc.processes.launches[0].directory, kStaging);
  EXPECT_EQ(w.pc.files.GetCurrentDirectory(), L"C:\\Users\\user\\AppData\\Local\\Temp\\E");
  EXPECT_EQ(w.manager().drive(), 'E');
  std::vector<std::wstring> lines = w.Lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), L"CAutoRunManager::RunFromCD(+)");
  EXPECT_EQ(lines.back(), L"CAutoRunManager::RunFromCD(-)");
  for (const wchar_t* l : {L"CAutoRunManager::CopyAutoRun(+)", L"CAutoRunManager::CopyAutoRun(-)"}) {
    EXPECT_EQ(std::count(lines.begin(), lines.end(), l), 1) << sim::Utf8(l);
  }
  EXPECT_EQ(std::count(lines.begin(), lines.end(), L"CAutoRunManager::CopyDriverSetup(+)"), 0);
}

TEST(RunFromCD, CurrentDirectoryOffADriveStagesNothing) {
  for (const wchar_t* dir : {L"\\\\server\\share", L"", L"1:\\", L"E"}) {
    Road w;
    w.pc.files.current_directory = dir;
    w.pc.files.Put(L"C:\\Users\\user\\AppData\\Local\\Temp\\keep.txt", "the user's");
    w.Launchable(L"C:\\Users\\user\\AppData\\Local\\Temp\\\\Devstart.exe", 0);
    EXPECT_EQ(w.manager().RunFromCD(), FAIL_UNKNOWN) << sim::Utf8(dir);
    EXPECT_TRUE(w.pc.files.Exists(L"C:\\Users\\user\\AppData\\Local\\Temp\\keep.txt")) << sim::Utf8(dir);
    EXPECT_TRUE(w.pc.processes.launches.empty()) << sim::Utf8(dir);
    EXPECT_EQ(w.pc.files.GetCurrentDirectory(), dir);
  }
}

TEST(RunFromCD, UnreadablePhoneEndsBeforeTheConflictChecks) {
  Road w;
  w.pc.phone.model.setting_results = {-2};
  w.pc.processes.processes.push_back({700, L"VTP.exe"});
  EXPECT_EQ(w.manager().RunFromCD(), FAIL_TO_OPEN_DRIVE);
  EXPECT_FALSE(w.pc.files.FolderExists(kStaging));
}

// ---- the local run ------------------------------------------------------------

struct LocalCase {
  const char* name;
  Mode mode;
  Product driver, itk;
  bool pcsuite;
  std::optional<std::uint32_t> run_when_connected;
  int pcsuite_test;
  int result;
  int phone_mode;                     // 0 = not switched
  std::vector<std::wstring> started;  // launches as "verb file parameters"
  std::set<std::wstring> mutexes;
};

TEST(FirstTimeLocal, SwitchesAndStartsWhenNothingIsLeftToInstall) {
  const std::wstring pc_mode = L"DevstartMutexPCMode", itk_mode = L"DevstartMutexITKMode";
  const std::wstring start_pcsuite = L"open C:\\Tavo\\PCSuite.exe ", start_vtp = L"open C:\\VTP\\VTP.exe ",
                     start_kit = L"open C:\\Kit\\VTP.exe ";
  const LocalCase cases[] = {
      {"pcsuite_ready", kPcSuite, kCurrent, kMissing, true, std::nullopt, 0, 1, 1, {start_pcsuite}, {pc_mode}},
      {"pcsuite_ready_run_when_connected_0", kPcSuite, kCurrent, kMissing, true, 0u, 0, 1, 1, {}, {pc_mode}},
      {"pcsuite_ready_run_when_connected_1", kPcSuite, kCurrent, kMissing, true, 1u, 0, 1, 1, {start_pcsuite}, {pc_mode}},
      {"pcsuite_test", kPcSuite, kCurrent, kMissing, true, std::nullopt, 1, 0, 0, {}, {pc_mode}},
      {"pcsuite_missing", kPcSuite, kCurrent, kMissing, false, std::nullopt, 0, 0, 0, {}, {pc_mode}},
      {"pcsuite_driver_old", kPcSuite, kOld, kMissing, true, std::nullopt, 0, 0, 0, {}, {pc_mode}},
      {"vtp_ready", kVtp, kCurrent, kCurrent, false, std::nullopt, 0, 1, 1, {start_vtp}, {itk_mode}},
      {"vtp_old", kVtp, kCurrent, kOld, false, std::nullopt, 0, 0, 0, {}, {itk_mode}},
      {"kit_ready", kKit, kCurrent, kCurrent, false, std::nullopt, 0, 1, 1, {start_kit}, {itk_mode}},
      {"switch_only_ready", kSwitchOnly, kCurrent, kMissing, false, std::nullopt, 0, 1, 1, {}, {}},
      {"switch_only_driver_missing", kSwitchOnly, kMissing, kMissing, false, std::nullopt, 0, 0, 0, {}, {}},
  };
  for (const auto& c : cases) {
    Road w(c.mode);
    w.option.itk_run_file = L"VTP.exe";
    w.Driver(c.driver);
    if (c.mode == kKit) w.Kit(c.itk); else w.Vtp(c.itk);
    w.Launchable(L"C:\\Kit\\VTP.exe", -1);
    if (c.pcsuite) w.PcSuite();
    if (c.run_when_connected) w.pc.registry.PutDword(kRunWhenKey, L"RunWhenPhoneConnect", *c.run_when_connected);
    w.option.pcsuite_test = c.pcsuite_test;

    EXPECT_EQ(w.manager().FirstTimeLocal(), c.result) << c.name;
    EXPECT_EQ(w.pc.phone.model.mode, c.phone_mode) << c.name;
    EXPECT_EQ(w.Launches(), c.started) << c.name;
    EXPECT_EQ(w.pc.kernel.existing, c.mutexes) << c.name;
    // Only the relaunch names a directory.
    for (const auto& l : w.pc.processes.launches) EXPECT_EQ(l.directory, L"") << c.name;
    EXPECT_EQ(w.pc.TraceLines().back() == L"CAutoRunManager::FirstTimeLocal(-)", c.result == 0) << c.name;
  }
}

TEST(FirstTimeLocal, ItkModeTellsThePcSuite) {
  Road w(kVtp);
  w.Driver(kCurrent);
  w.Vtp(kCurrent);
  w.pc.windows.windows.push_back({0x52, L"Main", L"Tavo PC Suite IV"});
  EXPECT_EQ(w.manager().FirstTimeLocal(), NORMAL_EXIT);
  ASSERT_EQ(w.pc.windows.posts.size(), 1u);
  EXPECT_EQ(w.pc.windows.posts[0].msg, 0xAB8u);
}

// user_mode 5 names no mode: the phone's iso_type0 decides, and since
// start-up clears iso_type1 the run never ends with 105.
TEST(FirstTimeLocal, UserModeFiveTakesTheModeFromThePhone) {
  const struct {
    int line;
    std::uint8_t setting0;
    bool installed;
    int result;
    std::set<std::wstring> mutexes;
    std::vector<std::wstring> started;
  } cases[] = {
      {__LINE__, 0x40, true, 1, {L"DevstartMutexPCMode"}, {L"open C:\\Tavo\\PCSuite.exe "}},
      {__LINE__, 0x41, true, 1, {L"DevstartMutexITKMode"}, {L"open C:\\VTP\\VTP.exe "}},
      {__LINE__, 0x40, false, 0, {L"DevstartMutexPCMode"}, {}},
      {__LINE__, 0x41, false, 0, {L"DevstartMutexITKMode"}, {}},
  };
  for (const auto& c : cases) {
    Road w;
    w.option.user_mode = 5;
    w.option.iso_type1 = 0;
    w.pc.phone.model.setting[0] = c.setting0;
    w.Driver(kCurrent);
    if (c.installed) {
      w.PcSuite();
      w.Vtp(kCurrent);
    }
    EXPECT_EQ(w.manager().FirstTimeLocal(), c.result) << "row at line " << c.line;
    EXPECT_EQ(w.pc.kernel.existing, c.mutexes) << "row at line " << c.line;
    EXPECT_EQ(w.Launches(), c.started) << "row at line " << c.line;
  }
}

TEST(FirstTimeLocal, PhoneOrOptionsWithoutAModeGive105) {
  Road w;
  w.pc.phone.model.setting[0] = 0x42;  // valid, iso_type1 set
  EXPECT_EQ(w.manager().FirstTimeLocal(), FAIL_ISO_VALUE_UNKNOWN);
  Road four;
  four.option.user_mode = 4;
  EXPECT_EQ(four.manager().FirstTimeLocal(), 0);
}

TEST(FirstTimeLocal, DebugSwitchAppliesTheCommandLineAgain) {
  Road w;
  w.pc.phone.model.setting[0] = 0x00;  // the phone's block says nothing valid: the switches stand
  w.option.iso_type0 = 0;
  w.manager().run().debug_switch = 1;
  w.manager().run().run_itk_switch = 1;
  w.Driver(kCurrent);
  w.Vtp(kCurrent);
  EXPECT_EQ(w.manager().FirstTimeLocal(), NORMAL_EXIT);
  EXPECT_EQ(w.Launches(), std::vector<std::wstring>{L"open C:\\VTP\\VTP.exe "});
}

TEST(FirstTimeLocal, WaitsForThePhoneAfterTheSwitchNeverNegatively) {
  struct Case {
    int send, configured;
    std::uint8_t block[3];
    std::vector<std::uint32_t> sleeps;
  } const cases[] = {
      {1, 1000, {0x41, 5, 7}, {507}},      // the phone's own wait
      {0, 1000, {0x41, 5, 7}, {1000}},     // "-no_send": config.ini's
      {0, -5, {0x41, 5, 7}, {0}},          // a negative one is no wait
  };
  for (const auto& c : cases) {
    Road w(kVtp);
    std::copy(c.block, c.block + 3, w.pc.phone.model.setting);
    w.Driver(kCurrent);
    w.Vtp(kCurrent);
    w.option.sciscmd_send = c.send;
    w.option.sciscmd_wait = c.configured;
    w.option.iso_type0 = 1;
    EXPECT_EQ(w.manager().FirstTimeLocal(), NORMAL_EXIT) << c.configured;
    EXPECT_EQ(w.pc.system.sleep_calls, c.sleeps) << c.configured;
  }
}

// ---- the install steps ------------------------------------------------------

TEST(StepDriver, StartsTheSetupOnlyWhenTheDriverNeedsIt) {
  struct Case {
    const char* name;
    Product driver;
    const wchar_t* driver_name;
    bool setup_exists;
    int result;
    std::vector<std::wstring> started;
  } const cases[] = {
      {"current", kCurrent, L".\\tools\\DriverSetup.exe", true, 0, {}},
      {"missing", kMissing, L".\\tools\\DriverSetup.exe", true, 0, {L"open .\\tools\\DriverSetup.exe "}},
      {"old", kOld, L".\\tools\\DriverSetup.exe", true, 0, {L"open .\\tools\\DriverSetup.exe "}},
      {"setup_missing", kMissing, L".\\tools\\DriverSetup.exe", false, 303, {L"open .\\tools\\DriverSetup.exe "}},
      {"empty_name", kMissing, L".\\", true, 303, {}},
  };
  for (const auto& c : cases) {
    Road w;
    w.Driver(c.driver);
    w.option.driver_name = c.driver_name;
    if (c.setup_exists) w.Launchable(L".\\tools\\DriverSetup.exe", 3, [&w] { w.Driver(kCurrent); });
    w.Mark();
    EXPECT_EQ(w.manager().StepDriver(), c.result) << c.name;
    EXPECT_EQ(w.Launches(), c.started) << c.name;
    EXPECT_EQ(w.manager().waited_process_id(), -1) << c.name;
    for (const auto& l : w.Lines()) EXPECT_EQ(l.find(L"StepDriver"), std::wstring::npos) << c.name;
  }
}

TEST(StepITK, InstallsAndChecksTheResult) {
  struct Case {
    const char* name;
    Product before;
    bool setup_exists;
    bool installs;
    int result;
    std::vector<std::wstring> trace;
  } const cases[] = {
      {"current", kCurrent, true, true, 0, {L"CAutoRunManager::StepITK(+)", L"CAutoRunManager::StepITK(-)"}},
      {"installs", kMissing, true, true, 0, {L"CAutoRunManager::StepITK(+)", L"CAutoRunManager::StepITK(-)"}},
      {"cancelled", kMissing, true, false, 304,
       {L"CAutoRunManager::StepITK(+)", L"CAutoRunManager::StepITK() CheckITKInstall fails"}},
      {"setup_missing", kOld, false, false, 304, {L"CAutoRunManager::StepITK(+)"}},
  };
  for (const auto& c : cases) {
    Road w(kVtp);
    w.Vtp(c.before);
    if (c.setup_exists) {
      w.Launchable(L"tools\\VTPSetup.exe", 2, [&w, &c] {
        if (c.installs) w.Vtp(kCurrent);
      });
    }
    w.manager();
    w.Mark();
    EXPECT_EQ(w.manager().StepITK(), c.result) << c.name;
    std::vector<std::wstring> steps;
    for (const auto& l : w.Lines()) {
      if (l.find(L"StepITK") != std::wstring::npos) steps.push_back(l);
    }
    EXPECT_EQ(steps, c.trace) << c.name;
    EXPECT_EQ(w.manager().waited_process_id(), -1) << c.name;
  }
}

TEST(StepRun, StartsTheModesApplication) {
  struct Case {
    const char* name;
    Mode mode;
    bool installed;
    int run, test;
    bool start_fails;
    int result;
    std::vector<std::wstring> started;
    const wchar_t* last_line;
  } const cases[] = {
      {"pcsuite", kPcSuite, true, 1, 0, false, 1, {L"open C:\\Tavo\\PCSuite.exe "}, L"CAutoRunManager::StepRun(-)"},
      {"pcsuite_run_0", kPcSuite, true, 0, 0, false, 0, {}, L"CAutoRunManager::StepRun(+)"},
      {"pcsuite_test", kPcSuite, true, 1, 1, false, 1, {}, L"CAutoRunManager::StepRun(-)"},
      {"pcsuite_missing", kPcSuite, false, 1, 0, false, 1, {}, L"CAutoRunManager::StepRun(-)"},
      {"pcsuite_start_fails", kPcSuite, true, 1, 0, true, 301, {L"open C:\\Tavo\\PCSuite.exe "},
       L"CAutoRunManager::StepRun() ExecuteC:\\Tavo\\PCSuite.exe"},
      {"vtp", kVtp, true, 1, 0, false, 1, {L"open C:\\VTP\\VTP.exe "}, L"CAutoRunManager::StepRun(-)"},
      {"vtp_run_0", kVtp, true, 0, 0, false, 0, {}, L"CAutoRunManager::StepRun(+)"},
      {"vtp_missing", kVtp, false, 1, 0, false, 307, {}, L"CAutoRunManager::CheckITKInstall_VTP(-)"},
      {"vtp_start_fails", kVtp, true, 1, 0, true, 300, {L"open C:\\VTP\\VTP.exe "},
       L"CAutoRunManager::StepRun() ExecuteC:\\VTP\\VTP.exe"},
      {"kit_not_started", kKit, true, 1, 0, false, 1, {}, L"CAutoRunManager::StepRun(-)"},
      {"switch_only", kSwitchOnly, true, 1, 0, false, 1, {}, L"CAutoRunManager::StepRun(-)"},
  };
  for (const auto& c : cases) {
    Road w(c.mode);
    w.manager().GetSetting();
    if (c.installed) {
      w.PcSuite();
      w.Vtp(kCurrent);
      w.Kit(kCurrent);
    }
    w.option.iso_type0 = c.mode == kVtp || c.mode == kKit ? 1 : 0;
    w.option.pcsuite_run = c.run;
    w.option.itk_run = c.run;
    w.option.pcsuite_test = c.test;
    if (c.start_fails) w.pc.processes.launchable.clear();
    EXPECT_EQ(w.manager().StepRun(), c.result) << c.name;
    EXPECT_EQ(w.Launches(), c.started) << c.name;
    EXPECT_EQ(w.pc.TraceLines().back(), c.last_line) << c.name;
  }
}

// ---- what the road loads --------------------------------------------------------

// The CD run, then its copy's local run on a fresh manager, as the relaunch
// would start it from the staging folder.
struct Relaunched {
  explicit Relaunched(Road& w) : road(w) {
    EXPECT_EQ(w.manager().RunFromCD(), NORMAL_EXIT);
    w.pc.files.module_path = kStaging + L"Devstart.exe";
    copy.set_drive('E');
  }
  Road& road;
  CAutoRunManager copy{road.machine, road.option};
};

// Every library is loaded from the staging folder by its full path, after
// the check against the CD, though copies lie where a search by name would
// look; the staging folder is emptied at the end all the same.
TEST(RoadLoads, OnlyTheStagedLibrariesByFullPath) {
  struct Row {
    int line;
    Mode mode;
    std::vector<std::wstring> loads;
    std::vector<std::wstring> runs;
  };
  const Row rows[] = {
      {__LINE__, kPcSuite, {kStaging + L"P4_UpdlinkChk.dll", kStaging + L"P4_Updlink.dll"},
       {L"cd C:\\Users\\user\\AppData\\Local\\Temp\\E"}},
      {__LINE__, kVtp, {}, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Road w(row.mode);
    w.pc.files.Put(L"E:\\P4_UpdlinkChk.dll", sim::kCheckLibraryContent);
    w.pc.files.Put(L"E:\\P4_Updlink.dll", "StartUpdate:cd");
    for (const wchar_t* trap : {L"C:\\windows\\system32\\", L"C:\\"}) {
      w.pc.files.Put(std::wstring(trap) + L"P4_UpdlinkChk.dll", sim::kCheckLibraryContent);
      w.pc.files.Put(std::wstring(trap) + L"P4_Updlink.dll", "StartUpdate:trap");
    }
    w.option.swupdate_file_name = L"P4_Updlink.dll";
    Relaunched r(w);
    EXPECT_EQ(r.copy.FirstTimeLocal(), 0);
    if (row.mode == kPcSuite) {
      r.copy.MayOfferPCSuiteDownload();
      r.copy.StepSWUpate();
    }
    EXPECT_EQ(w.pc.modules.loads, row.loads);
    EXPECT_EQ(w.pc.modules.update_runs, row.runs);
    EXPECT_EQ(r.copy.CleanupStaging(), 1);
    EXPECT_EQ(w.Staged(), std::vector<std::wstring>{});
  }
}

}  // namespace
}  // namespace devstart
