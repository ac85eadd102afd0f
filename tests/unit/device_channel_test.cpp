// The phone's setting read and mode change on the simulated PC: the path
// taken for each kind of system and user, the calls the phone sees, what
// lands in the options and in the trace.
#include <gtest/gtest.h>

#include "core/result_codes.h"
#include "unit/traced_pc.h"
#include "workflow/auto_run_manager.h"

namespace devstart {
namespace {

const OsVersion kWin2000{5, 0, 2195, 2, 4, 1};
const OsVersion kWinXp{5, 1, 2600, 2, 3, 1};
const OsVersion kWin7{6, 1, 7601, 2, 1, 1};
const OsVersion kServer2008{6, 0, 6001, 2, 1, 3};

// What every caller does with a read: the phone's answer goes into the options.
int ReadSetting(CAutoRunManager& m) {
  CAutoRunManager::SettingRead r = m.GetSetting();
  if (r.settings) m.ApplyPhoneSettings(*r.settings);
  return r.result;
}

class DeviceChannel : public ::testing::Test, public TracedPc {
 protected:
  void SetUp() override {
    pc.files.current_directory = L"E:\\";
    manager.set_drive('E');
  }

  const std::vector<simphone::PhoneCall>& PhoneCalls() const { return pc.phone.model.calls; }

  COption option;
  CAutoRunManager manager{machine, option};
};

struct PathCase {
  const char* name;
  std::optional<OsVersion> version;
  bool admin;
  bool direct;
};

TEST_F(DeviceChannel, PathFollowsFamilyAndAccount) {
  const PathCase cases[] = {
      {"2000 admin", kWin2000, true, true},       {"2000 user", kWin2000, false, false},
      {"XP admin", kWinXp, true, true},           {"XP user", kWinXp, false, false},
      {"7 admin", kWin7, true, true},             {"7 user", kWin7, false, true},
      {"2008 admin", kServer2008, true, true},    {"2008 user", kServer2008, false, true},
      {"unreadable admin", std::nullopt, true, true}, {"unreadable user", std::nullopt, false, true},
  };
  for (const PathCase& c : cases) {
    for (bool setting : {true, false}) {
      World w;
      sim::SimPc& fresh = w.pc;
      CAutoRunManager& mgr = w.manager();
      mgr.set_drive('E');
      fresh.system.version = c.version;
      fresh.security.admin = c.admin;
      fresh.InstallService(win::kServiceRunning);
      EXPECT_EQ(setting ? ReadSetting(mgr) : mgr.ModeChange(), 0) << c.name;
      bool through_pipe = !fresh.pipes.requests.empty();
      EXPECT_EQ(through_pipe, !c.direct) << c.name << (setting ? " setting" : " mode");
      // Either way the phone saw the request.
      EXPECT_FALSE(fresh.phone.model.calls.empty()) << c.name;
    }
  }
}

struct SettingCase {
  const char* name;
  std::uint8_t bytes[3];
  int valid, iso0, iso1, vendor0, vendor1, wait;
};

TEST_F(DeviceChannel, SettingBlockLandsInTheOptions) {
  const SettingCase cases[] = {
      // Valid, all four flags clear: the configured values are replaced.
      {"valid clear", {0x40, 0x0A, 0x00}, 1, 0, 0, 0, 0, 1000},
      // Flags without the valid bit keep the configured values (7, 8, 9, 6).
      {"not valid", {0x0F, 0x05, 0x07}, 0, 7, 8, 9, 6, 507},
      {"valid all", {0x4F, 0x00, 0x32}, 1, 1, 1, 1, 1, 50},
      {"valid iso1 vendor0", {0x46, 0x02, 0xFF}, 1, 0, 1, 1, 0, 455},
      {"unused bits ignored", {0xF0, 0x00, 0x00}, 1, 0, 0, 0, 0, 0},
  };
  for (bool admin : {true, false}) {
    for (const SettingCase& c : cases) {
      World w;
      sim::SimPc& fresh = w.pc;
      COption& opt = w.option;
      opt.iso_type0 = 7, opt.iso_type1 = 8, opt.usb_vendor0 = 9, opt.usb_vendor1 = 6;
      CAutoRunManager& mgr = w.manager();
      mgr.set_drive('E');
      fresh.system.version = kWinXp;
      fresh.security.admin = admin;
      fresh.InstallService(win::kServiceRunning);
      std::copy(c.bytes, c.bytes + 3, fresh.phone.model.setting);
      ASSERT_EQ(ReadSetting(mgr), 0) << c.name;
      EXPECT_EQ(opt.settings_valid, c.valid) << c.name;
      EXPECT_EQ(opt.iso_type0, c.iso0) << c.name;
      EXPECT_EQ(opt.iso_type1, c.iso1) << c.name;
      EXPECT_EQ(opt.usb_vendor0, c.vendor0) << c.name;
      EXPECT_EQ(opt.usb_vendor1, c.vendor1) << c.name;
      EXPECT_EQ(opt.sciscmd_wait, c.wait) << c.name;
    }
  }
}

TEST_F(DeviceChannel, DirectSettingReadTracesAndCallsOnce) {
  pc.security.admin = true;
  ASSERT_EQ(ReadSetting(manager), 0);
  EXPECT_EQ(Lines(), (std::vector<std::wstring>{
                         L"CAutoRunManager::GetSetting(+)",
                         L"CAutoRunManager::GetSetting() Run first (drive=E,SubCode=2,type=32,pData=)",
                         L"CAutoRunManager::GetSetting() success first",
                         L"CAutoRunManager::GetSetting(-)",
                     }));
  ASSERT_EQ(PhoneCalls().size(), 1u);
  EXPECT_EQ(PhoneCalls()[0].drive, 'E');
  EXPECT_EQ(PhoneCalls()[0].sub_code, 2);
  EXPECT_EQ(PhoneCalls()[0].type, 32);
  EXPECT_EQ(PhoneCalls()[0].length, 3);
}

struct FailureCase {
  int scsi_result;
  int code;
  const wchar_t* line;  // nullptr: no mapping line
};
const FailureCase kFailures[] = {
    {-1, FAIL_TO_FIND_DRIVE, L"CAutoRunManager-:ScsiError2AutoRunError> GET_SETTING fail FAIL_TO_FIND_DRIVE"},
    {-2, FAIL_TO_OPEN_DRIVE, L"CAutoRunManager-ScsiError2AutoRunError> GET_SETTING fail FAIL_TO_OPEN_DRIVE"},
    {-3, FAIL_TO_SEND_SCSI_CMD, L"CAutoRunManager-ScsiError2AutoRunError> GET_SETTING fail FAIL_TO_SEND_SCSI_CMD"},
    {-20, FAIL_TO_OPEN_DRIVE_ACCESS_DENIED,
     L"CAutoRunManager-ScsiError2AutoRunError> GET_SETTING fail FAIL_TO_OPEN_DRIVE_ACCESS_DENIED"},
    {-4, FAIL_SCSI_UNKNOWN, nullptr},
    {2, FAIL_SCSI_UNKNOWN, nullptr},  // only 2 of the 3 bytes came
    {0, FAIL_SCSI_UNKNOWN, nullptr},
};

TEST_F(DeviceChannel, FailedSettingReadMapsTheResultAndKeepsOptions) {
  for (const FailureCase& c : kFailures) {
    World fresh;
    COption& opt = fresh.option;
    opt.sciscmd_wait = 1234;
    opt.iso_type0 = 1;
    CAutoRunManager& mgr = fresh.manager();
    mgr.set_drive('E');
    fresh.pc.security.admin = true;
    fresh.pc.phone.model.setting_results = {c.scsi_result};
    EXPECT_EQ(ReadSetting(mgr), c.code) << c.scsi_result;
    std::vector<std::wstring> lines = fresh.pc.TraceLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[2], L"CAutoRunManager::GetSetting() fail first");
    EXPECT_EQ(lines.size(), c.line ? 4u : 3u) << c.scsi_result;
    if (c.line) { EXPECT_EQ(lines[3], c.line); }
    EXPECT_EQ(opt.sciscmd_wait, 1234);
    EXPECT_EQ(opt.iso_type0, 1);
    EXPECT_EQ(fresh.pc.phone.model.calls.size(), 1u) << "no second try of the setting read";
  }
}

TEST_F(DeviceChannel, ModeChangeSecondTryWithOtherType) {
  pc.security.admin = true;
  pc.phone.model.mode1_results = {-3};
  pc.phone.model.status = 0xA5;
  EXPECT_EQ(manager.ModeChange(), 0);
  EXPECT_EQ(Lines(), (std::vector<std::wstring>{
                         L"CAutoRunManager::ModeChange(+)",
                         L"CAutoRunManager::ModeChange() success Second with (a5)",
                         L"CAutoRunManager::ModeChange(-)",
                     }));
  ASSERT_EQ(PhoneCalls().size(), 2u);
  EXPECT_EQ(PhoneCalls()[0].type, 1);
  EXPECT_EQ(PhoneCalls()[0].length, 0);
  EXPECT_EQ(PhoneCalls()[1].type, 129);
  EXPECT_EQ(PhoneCalls()[1].length, 1);
  EXPECT_EQ(pc.phone.model.mode, 129);
}

TEST_F(DeviceChannel, ModeChangeFirstTrySuffices) {
  pc.security.admin = true;
  EXPECT_EQ(manager.ModeChange(), 0);
  EXPECT_EQ(Lines(), (std::vector<std::wstring>{L"CAutoRunManager::ModeChange(+)",
                                                L"CAutoRunManager::ModeChange() success first",
                                                L"CAutoRunManager::ModeChange(-)"}));
  EXPECT_EQ(PhoneCalls().size(), 1u);
  EXPECT_EQ(pc.phone.model.mode, 1);
}

TEST_F(DeviceChannel, ModeChangeBothTriesFail) {
  for (const FailureCase& c : kFailures) {
    if (c.scsi_result == 1) continue;
    World fresh;
    CAutoRunManager& mgr = fresh.manager();
    mgr.set_drive('E');
    fresh.pc.security.admin = true;
    fresh.pc.phone.model.mode1_results = {-1};
    fresh.pc.phone.model.mode2_results = {c.scsi_result};
    EXPECT_EQ(mgr.ModeChange(), c.code) << c.scsi_result;
    std::vector<std::wstring> lines = fresh.pc.TraceLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1], L"CAutoRunManager::ModeChange() return ERROR : " + std::to_wstring(c.scsi_result));
    EXPECT_EQ(lines.size(), c.line ? 3u : 2u);
    if (c.line) { EXPECT_EQ(lines[2], c.line); }
    EXPECT_EQ(fresh.pc.phone.model.mode, 0);
  }
}

TEST_F(DeviceChannel, NoSendTouchesNothing) {
  for (bool admin : {true, false}) {
    for (bool setting : {true, false}) {
      World fresh;
      COption& opt = fresh.option;
      opt.sciscmd_send = 0;
      opt.sciscmd_wait = 1000;
      CAutoRunManager& mgr = fresh.manager();
      fresh.pc.system.version = kWinXp;
      fresh.pc.security.admin = admin;
      fresh.pc.InstallService(win::kServiceRunning);
      EXPECT_EQ(setting ? ReadSetting(mgr) : mgr.ModeChange(), 0);
      EXPECT_TRUE(fresh.pc.phone.model.calls.empty());
      EXPECT_TRUE(fresh.pc.pipes.calls.empty());
      EXPECT_EQ(opt.sciscmd_wait, 1000);
      EXPECT_EQ(fresh.pc.TraceLines(), (std::vector<std::wstring>{setting ? L"CAutoRunManager::GetSetting(+)"
                                                                            : L"CAutoRunManager::ModeChange(+)"}));
    }
  }
}

TEST_F(DeviceChannel, ServicePathSendsTheRequestAndPassesCodesThrough) {
  pc.system.version = kWinXp;
  pc.InstallService(win::kServiceRunning);
  pc.phone.model.setting[0] = 0x41;
  ASSERT_EQ(ReadSetting(manager), 0);
  ASSERT_EQ(pc.pipes.requests.size(), 1u);
  // "GET_SETTING:E" in UTF-16LE with its terminator: 28 bytes.
  std::string expected;
  for (char ch : std::string("GET_SETTING:E")) expected += std::string{ch, '\0'};
  expected += std::string(2, '\0');
  EXPECT_EQ(pc.pipes.requests[0], expected);
  EXPECT_EQ(option.iso_type0, 1);
  EXPECT_EQ(pc.TraceLines().back(), L"CAutoRunManager::GetSetting(-)");

  // A failing phone behind the service: the pipe's code, no exit line.
  pc.phone.model.setting_results = {-20};
  EXPECT_EQ(ReadSetting(manager), FAIL_TO_OPEN_DRIVE_ACCESS_DENIED);
  EXPECT_EQ(pc.TraceLines().back(), L"[WindowServiceManger] GET_SETTING fail FAIL_TO_OPEN_DRIVE_ACCESS_DENIED");

  // Mode change through the service: the phone switches, no exit line.
  EXPECT_EQ(manager.ModeChange(), 0);
  EXPECT_EQ(pc.phone.model.mode, 1);
  EXPECT_EQ(pc.TraceLines().back(), L"[WindowServiceManager] ReadFile(+)");

  // The service stopped: the pipe is missing.
  pc.services.Find(L"TavoScsiCommandService")->state = win::kServiceStopped;
  EXPECT_EQ(manager.ModeChange(), FAIL_TO_CONNECT_PIPE);
  EXPECT_EQ(pc.TraceLines().back(), L"[WindowServiceManager] PipeSend()-CreateFile() Error code is 2");
}

TEST_F(DeviceChannel, ServicePathShortReplyLeavesZeroes) {
  pc.system.version = kWinXp;
  pc.InstallService(win::kServiceRunning);
  option.sciscmd_wait = 999;
  pc.pipes.scripted_reads = {{std::string("\x05", 1), 0}};
  ASSERT_EQ(ReadSetting(manager), 0);
  EXPECT_EQ(option.settings_valid, 0);
  EXPECT_EQ(option.sciscmd_wait, 0);
}

}  // namespace
}  // namespace devstart
