#include <gtest/gtest.h>

#include "inspect/autorun_check.h"
#include "ui/texts.h"
#include "unit/traced_pc.h"
#include "workflow/auto_run_manager.h"

namespace devstart {
namespace {

const std::wstring kCdrom = L"HKLM\\SYSTEM\\CurrentControlSet\\Services\\Cdrom";
const std::wstring kMachinePolicy = L"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer";
const std::wstring kUserPolicy = L"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const std::wstring kShellHw = L"HKLM\\SYSTEM\\CurrentControlSet\\Services\\ShellHWDetection";
const std::wstring kHandlers = L"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers";
const std::wstring kDefaultSel = kHandlers + L"\\EventHandlersDefaultSelection\\AutorunINFLegacyArrival";
const std::wstring kUserChosen = kHandlers + L"\\UserChosenExecuteHandlers\\AutorunINFLegacyArrival";

const OsVersion kWin2000{5, 0, 2195, 2, 4, 1};
const OsVersion kWinXP{5, 1, 2600, 2, 3, 1};
const OsVersion kWin7{6, 1, 7601, 2, 1, 1};
const OsVersion kServer2008{6, 0, 6001, 2, 1, 3};

class AutoRun : public ::testing::Test, public TracedPc {
 protected:
  // A 32-bit PC: one registry view (the 64-bit case has its own test).
  void SetUp() override { pc.registry.os_64bit = false; }
  RegistryAccessPair Masks() { return MakeRegistryAccessPair(pc.system); }

  sim::FakeRegistry& reg = pc.registry;
  COption option;
};

TEST_F(AutoRun, MasksByFamily) {
  struct Case {
    std::optional<OsVersion> os;
    std::uint32_t write, read;
  };
  const Case cases[] = {{kWin2000, 0xF003F, 0x20019}, {kWinXP, 0xF033F, 0x20319}, {kWin7, 0xF033F, 0x20319},
                        {std::nullopt, 0xF003F, 0x20019}};
  for (const Case& c : cases) {
    pc.system.version = c.os;
    RegistryAccessPair m = MakeRegistryAccessPair(pc.system);
    EXPECT_EQ(m.write, c.write);
    EXPECT_EQ(m.read, c.read);
  }
}

using CheckFn = int (*)(Machine&, int, const RegistryAccessPair&);

struct CheckCase {
  const char* what;
  CheckFn check;
  int number;
  std::wstring key;        // physical key
  std::wstring key_text;   // as the trace line shows it
  const wchar_t* value;
  enum { kNone, kDword, kString, kWrongType } stored;
  std::uint32_t dword;
  std::wstring text;
  int check_result;
  int repair_result;
  std::optional<std::uint32_t> dword_after;
  std::optional<std::wstring> text_after;
};

TEST_F(AutoRun, EachCheckInCheckAndRepairMode) {
  const std::wstring k1 = L"SYSTEM\\CurrentControlSet\\Services\\Cdrom";
  const std::wstring k3 = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
  const std::wstring k2 = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer";
  const std::wstring k4 = L"SYSTEM\\CurrentControlSet\\Services\\ShellHWDetection";
  const std::wstring k5 = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers";
  const std::wstring k6 = k5 + L"\\EventHandlersDefaultSelection\\AutorunINFLegacyArrival";
  const std::wstring k7 = k5 + L"\\UserChosenExecuteHandlers\\AutorunINFLegacyArrival";
  using C = CheckCase;
  const CheckCase cases[] = {
      {"1 off", CheckWindowAutoRun1, 1, kCdrom, k1, L"Autorun", C::kDword, 0, L"", 0, 1, 1u, {}},
      {"1 on", CheckWindowAutoRun1, 1, kCdrom, k1, L"Autorun", C::kDword, 1, L"", 1, 0, 1u, {}},
      {"1 missing", CheckWindowAutoRun1, 1, kCdrom, k1, L"Autorun", C::kNone, 0, L"", 1, 0, {}, {}},
      {"1 string 0", CheckWindowAutoRun1, 1, kCdrom, k1, L"Autorun", C::kString, 0, L"0", 1, 0, {}, {}},
      {"2 0x91", CheckWindowAutoRun2, 2, kMachinePolicy, k2, L"NoDriveTypeAutorun", C::kDword, 0x91, L"", 1, 0, 0x91u, {}},
      {"2 0xB5", CheckWindowAutoRun2, 2, kMachinePolicy, k2, L"NoDriveTypeAutorun", C::kDword, 0xB5, L"", 0, 1, 0x95u, {}},
      {"3 0xFF", CheckWindowAutoRun3, 3, kUserPolicy, k3, L"NoDriveTypeAutorun", C::kDword, 0xFF, L"", 0, 1, 0xDFu, {}},
      {"3 0x20", CheckWindowAutoRun3, 3, kUserPolicy, k3, L"NoDriveTypeAutorun", C::kDword, 0x20, L"", 0, 1, 0u, {}},
      {"4 disabled", CheckWindowAutoRun4, 4, kShellHw, k4, L"Start", C::kDword, 4, L"", 0, 1, 2u, {}},
      {"4 manual", CheckWindowAutoRun4, 4, kShellHw, k4, L"Start", C::kDword, 3, L"", 1, 0, 3u, {}},
      {"5 disabled", CheckWindowAutoRun5, 5, kHandlers, k5, L"DisableAutoPlay", C::kDword, 1, L"", 0, 1, 0u, {}},
      {"5 two", CheckWindowAutoRun5, 5, kHandlers, k5, L"DisableAutoPlay", C::kDword, 2, L"", 1, 0, 2u, {}},
      {"6 no action", CheckWindowAutoRun6, 6, kDefaultSel, k6, L"", C::kString, 0, L"MSTakeNoAction", 0, 1, {}, L"MSAutoRun"},
      {"6 open folder", CheckWindowAutoRun6, 6, kDefaultSel, k6, L"", C::kString, 0, L"MSOpenFolder", 0, 1, {}, L"MSAutoRun"},
      {"6 other case", CheckWindowAutoRun6, 6, kDefaultSel, k6, L"", C::kString, 0, L"mstakenoaction", 1, 0, {}, L"mstakenoaction"},
      {"6 other handler", CheckWindowAutoRun6, 6, kDefaultSel, k6, L"", C::kString, 0, L"MSPromptEachTime", 1, 0, {}, L"MSPromptEachTime"},
      {"6 DWORD", CheckWindowAutoRun6, 6, kDefaultSel, k6, L"", C::kWrongType, 0, L"", 1, 0, {}, {}},
      {"7 no action", CheckWindowAutoRun7, 7, kUserChosen, k7, L"", C::kString, 0, L"MSTakeNoAction", 0, 1, {}, L"MSAutoRun"},
      {"7 missing", CheckWindowAutoRun7, 7, kUserChosen, k7, L"", C::kNone, 0, L"", 1, 0, {}, {}},
  };
  for (const CheckCase& c : cases) {
    for (int repair : {0, 1}) {
      SCOPED_TRACE(std::string(c.what) + (repair ? " repair" : " check"));
      TracedPc local;
      auto& r = local.pc.registry;
      r.os_64bit = false;
      if (c.stored == C::kDword) r.PutDword(c.key, c.value, c.dword);
      if (c.stored == C::kString) r.PutString(c.key, c.value, c.text);
      if (c.stored == C::kWrongType) r.PutDword(c.key, c.value, 1);
      int got = c.check(local.machine, repair, MakeRegistryAccessPair(local.pc.system));
      int expected = repair ? c.repair_result : c.check_result;
      EXPECT_EQ(got, expected);
      std::wstring line = L"[WARM]CheckWindowAutoRun" + std::to_wstring(c.number) +
                          (expected ? L" returns TRUE (" : L" returns FALSE (") + c.key_text + L" > " + c.value + L")";
      EXPECT_EQ(local.pc.TraceLines(), std::vector<std::wstring>{line});
      ASSERT_FALSE(r.opens.empty());
      EXPECT_EQ(r.opens.back().sam, repair ? 0xF033Fu : 0x20319u);
      if (repair && c.dword_after) { EXPECT_EQ(r.GetDword(c.key, c.value), c.dword_after); }
      if (repair && c.text_after) {
        EXPECT_EQ(r.GetString(c.key, c.value), c.text_after);
        if (*c.text_after == L"MSAutoRun") { EXPECT_EQ(r.Get(c.key, c.value)->bytes.size(), 20u); }
      }
      if (!repair && c.stored == C::kDword) { EXPECT_EQ(r.GetDword(c.key, c.value), c.dword); }  // a check writes nothing
      EXPECT_EQ(r.open_handles(), 0);
    }
  }
}

TEST_F(AutoRun, CheckTwoFallsBackToTheUserPolicy) {
  struct Case {
    const char* what;
    bool machine_value;
    std::optional<std::uint32_t> user;
    int check;
    std::wstring line;
  };
  const std::wstring user_key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer > NoDriveTypeAutorun)";
  const Case cases[] = {
      {"user 0xFF", false, 0xFFu, 0, L"[WARM]CheckWindowAutoRun3 returns FALSE (" + user_key},
      {"user 0x91", false, 0x91u, 1, L"[WARM]CheckWindowAutoRun3 returns TRUE (" + user_key},
      {"neither", false, std::nullopt, 1, L"[WARM]CheckWindowAutoRun3 returns TRUE (" + user_key},
      {"machine value wins", true, 0xFFu, 1,
       L"[WARM]CheckWindowAutoRun2 returns TRUE (SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer > "
       L"NoDriveTypeAutorun)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TracedPc local;
    local.pc.registry.os_64bit = false;
    if (c.machine_value) local.pc.registry.PutDword(kMachinePolicy, L"NoDriveTypeAutorun", 0x91);
    if (c.user) local.pc.registry.PutDword(kUserPolicy, L"NoDriveTypeAutorun", *c.user);
    EXPECT_EQ(CheckWindowAutoRun2(local.machine, 0, MakeRegistryAccessPair(local.pc.system)), c.check);
    EXPECT_EQ(local.pc.TraceLines(), std::vector<std::wstring>{c.line});
  }
}

struct RepairCase {
  const char* what;
  std::optional<OsVersion> os;
  std::function<void(sim::FakeRegistry&)> seed;
  int auto_run_check;
  int answer;
  bool asked;
  bool reboot_box;
  std::vector<int> checks_run;  // check numbers seen in the trace, in order
  std::function<void(sim::FakeRegistry&)> verify;
};

std::vector<int> ChecksIn(const std::vector<std::wstring>& lines) {
  std::vector<int> out;
  const std::wstring p = L"[WARM]CheckWindowAutoRun";
  for (const auto& l : lines) {
    if (l.rfind(p, 0) == 0) out.push_back(l[p.size()] - L'0');
  }
  return out;
}

TEST_F(AutoRun, CheckAndRepairAtStartUp) {
  auto all_on = [](sim::FakeRegistry& r) {
    r.PutDword(kCdrom, L"Autorun", 1);
    r.PutDword(kMachinePolicy, L"NoDriveTypeAutorun", 0x91);
    r.PutDword(kShellHw, L"Start", 2);
  };
  auto nothing = [](sim::FakeRegistry&) {};
  const RepairCase cases[] = {
      {"all on, Windows 7", kWin7, all_on, 1, win::kIdOk, false, false, {1, 2, 4, 5, 6, 7}, nothing},
      {"all on, XP stops before 5", kWinXP, all_on, 1, win::kIdOk, false, false, {1, 2, 4}, nothing},
      {"all on, 2000 skips 4", kWin2000, all_on, 1, win::kIdOk, false, false, {1, 2}, nothing},
      {"Cdrom off alone: no reboot box", kWinXP,
       [&](sim::FakeRegistry& r) { all_on(r); r.PutDword(kCdrom, L"Autorun", 0); }, 1, win::kIdOk, true, false,
       {1, 1, 2, 3, 4}, [](sim::FakeRegistry& r) { EXPECT_EQ(r.GetDword(kCdrom, L"Autorun"), 1u); }},
      {"machine policy 0xB5", kWinXP,
       [&](sim::FakeRegistry& r) { all_on(r); r.PutDword(kMachinePolicy, L"NoDriveTypeAutorun", 0xB5); }, 1,
       win::kIdOk, true, true, {1, 2, 1, 2, 3, 4},
       [](sim::FakeRegistry& r) { EXPECT_EQ(r.GetDword(kMachinePolicy, L"NoDriveTypeAutorun"), 0x95u); }},
      {"user policy 0xFF through the fall-back", kWinXP,
       [](sim::FakeRegistry& r) {
         r.PutDword(kCdrom, L"Autorun", 1);
         r.PutDword(kUserPolicy, L"NoDriveTypeAutorun", 0xFF);
       },
       1, win::kIdOk, true, true, {1, 3, 1, 3, 3, 4},
       [](sim::FakeRegistry& r) { EXPECT_EQ(r.GetDword(kUserPolicy, L"NoDriveTypeAutorun"), 0xDFu); }},
      {"user cancels: nothing written", kWin7,
       [&](sim::FakeRegistry& r) { all_on(r); r.PutDword(kShellHw, L"Start", 4); }, 1, 2, true, false, {1, 2, 4},
       [](sim::FakeRegistry& r) { EXPECT_EQ(r.GetDword(kShellHw, L"Start"), 4u); }},
      {"ShellHWDetection disabled on Vista family", kServer2008,
       [&](sim::FakeRegistry& r) { all_on(r); r.PutDword(kShellHw, L"Start", 4); }, 1, win::kIdOk, true, true,
       {1, 2, 4, 1, 2, 3, 4, 5, 6, 7}, [](sim::FakeRegistry& r) { EXPECT_EQ(r.GetDword(kShellHw, L"Start"), 2u); }},
      {"Windows 7 AutoPlay handler off", kWin7,
       [&](sim::FakeRegistry& r) { all_on(r); r.PutString(kUserChosen, L"", L"MSOpenFolder"); }, 1, win::kIdOk, true,
       false, {1, 2, 4, 5, 6, 7, 1, 2, 3, 4, 5, 6, 7},
       [](sim::FakeRegistry& r) { EXPECT_EQ(r.GetString(kUserChosen, L""), L"MSAutoRun"); }},
      {"XP never touches the AutoPlay handlers", kWinXP,
       [&](sim::FakeRegistry& r) {
         all_on(r);
         r.PutDword(kCdrom, L"Autorun", 0);
         r.PutString(kUserChosen, L"", L"MSOpenFolder");
         r.PutDword(kHandlers, L"DisableAutoPlay", 1);
       },
       1, win::kIdOk, true, false, {1, 1, 2, 3, 4},
       [](sim::FakeRegistry& r) {
         EXPECT_EQ(r.GetString(kUserChosen, L""), L"MSOpenFolder");
         EXPECT_EQ(r.GetDword(kHandlers, L"DisableAutoPlay"), 1u);
       }},
      {"2000 skips ShellHWDetection in repair too", kWin2000,
       [&](sim::FakeRegistry& r) {
         all_on(r);
         r.PutDword(kCdrom, L"Autorun", 0);
         r.PutDword(kShellHw, L"Start", 4);
       },
       1, win::kIdOk, true, false, {1, 1, 2, 3},
       [](sim::FakeRegistry& r) { EXPECT_EQ(r.GetDword(kShellHw, L"Start"), 4u); }},
      {"auto_run_check 0: nothing read", kWin7,
       [](sim::FakeRegistry& r) { r.PutDword(kCdrom, L"Autorun", 0); }, 0, win::kIdOk, false, false, {}, nothing},
  };
  for (const RepairCase& c : cases) {
    SCOPED_TRACE(c.what);
    TracedPc local;
    sim::SimPc& row = local.pc;
    row.system.version = c.os;
    row.registry.os_64bit = false;
    c.seed(row.registry);
    row.windows.message_box_answer = c.answer;
    COption opt;
    opt.auto_run_check = c.auto_run_check;
    CAutoRunManager manager(local.machine, opt);
    EXPECT_EQ(manager.CheckAndRepairWindowAutoRun(), 1);
    auto boxes = row.windows.MessageBoxes();
    std::size_t expected_boxes = (c.asked ? 1 : 0) + (c.reboot_box ? 1 : 0);
    ASSERT_EQ(boxes.size(), expected_boxes);
    if (c.asked) {
      EXPECT_EQ(boxes[0].text, L"Autorun function is deactivated. Do you want to activate Autorun function?");
      EXPECT_EQ(boxes[0].caption, L"");
      EXPECT_EQ(boxes[0].a, 0x21u);
    }
    if (c.reboot_box) {
      EXPECT_EQ(boxes[1].text, L"Some of settings will be applied after rebooting.");
      EXPECT_EQ(boxes[1].caption, L"Warning");
      EXPECT_EQ(boxes[1].a, 0x30u);
    }
    EXPECT_EQ(ChecksIn(row.TraceLines()), c.checks_run);
    if (c.auto_run_check != 1) { EXPECT_TRUE(row.registry.opens.empty()); }
    c.verify(row.registry);
  }
}

TEST_F(AutoRun, SixtyFourBitPcReadsTheMachinePolicyThroughBothViewFlags) {
  // Both view flags select the 32-bit view (Wow6432Node) for the SOFTWARE
  // hive; SYSTEM is shared by both views.
  reg.os_64bit = true;
  const std::wstring wow = L"HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer";
  reg.PutDword(kMachinePolicy, L"NoDriveTypeAutorun", 0x91);
  reg.PutDword(wow, L"NoDriveTypeAutorun", 0xB5);
  reg.PutDword(kCdrom, L"Autorun", 0);
  EXPECT_EQ(CheckWindowAutoRun2(machine, 0, Masks()), 0);
  EXPECT_EQ(CheckWindowAutoRun1(machine, 0, Masks()), 0);
  EXPECT_EQ(CheckWindowAutoRun2(machine, 1, Masks()), 1);
  EXPECT_EQ(reg.GetDword(wow, L"NoDriveTypeAutorun"), 0x95u);
  EXPECT_EQ(reg.GetDword(kMachinePolicy, L"NoDriveTypeAutorun"), 0x91u);
}

TEST_F(AutoRun, QuestionInTheUsersLanguage) {
  reg.PutDword(kCdrom, L"Autorun", 0);
  pc.system.ui_language = 0x0407;
  pc.windows.message_box_answer = 2;
  CAutoRunManager manager(machine, option);
  manager.CheckAndRepairWindowAutoRun();
  auto boxes = pc.windows.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  Texts german(pc.modules, 0x0407);
  EXPECT_EQ(boxes[0].text, german.Load(2400));
  EXPECT_NE(boxes[0].text, L"Autorun function is deactivated. Do you want to activate Autorun function?");
}

}  // namespace
}  // namespace devstart
