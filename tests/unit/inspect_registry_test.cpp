#include <gtest/gtest.h>

#include <functional>

#include "inspect/registry_query.h"
#include "unit/traced_pc.h"
#include "workflow/auto_run_manager.h"

namespace devstart {
namespace {

const std::wstring kPc = L"HKLM\\SOFTWARE\\Wow6432Node\\Tavo Electronics\\Tavo PC Suite IV\\1.0";
const std::wstring kTps = L"HKLM\\SOFTWARE\\Wow6432Node\\Tavo Electronics\\Tavo Internet Kit\\1.0";
const std::wstring kVtp =
    L"HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{34A0FF07-F11A-4157-84A3-92F8AD688CBF}";

class RegistryQueries : public ::testing::Test, public TracedPc {
 protected:
  COption option;
};

// One query of the family, seen from outside: what it returns as text.
struct Member {
  const char* name;
  std::wstring key;          // physical key the value lives in
  const wchar_t* value;      // value name
  bool folder;               // result is a folder (else text), or BOOL when `check`
  bool check;
  std::function<std::wstring(CAutoRunManager&)> run;
  std::wstring entry;        // "(+)" line, "" when none
  std::wstring key_line;
  std::wstring failure;
  std::wstring success_prefix;
};

std::vector<Member> Members() {
  auto b = [](int v) { return std::wstring(v ? L"1" : L"0"); };
  const std::wstring u = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{34A0FF07-F11A-4157-84A3-92F8AD688CBF}";
  return {
      {"GetPCSuiteInstallPath", kPc, L"Path", true, false, [](CAutoRunManager& m) { return m.GetPCSuiteInstallPath(); },
       L"CAutoRunManager::GetPCSuiteInstallPath", L"SOFTWARE\\Tavo Electronics\\Tavo PC Suite IV\\1.0",
       L"CAutoRunManager::GetPCSuiteInstallPath() Reg Open Fail!!", L"CAutoRunManager::GetPCSuiteInstallPath() Path "},
      {"CheckPCSuiteInstall", kPc, L"Path", false, true, [b](CAutoRunManager& m) { return b(m.CheckPCSuiteInstall()); },
       L"CAutoRunManager::CheckPCSuiteInstall", L"SOFTWARE\\Tavo Electronics\\Tavo PC Suite IV\\1.0",
       L"CAutoRunManager::CheckPCSuiteInstall() Fail", L"CAutoRunManager::CheckPCSuiteInstall() Reg \"Path\" : "},
      {"GetITKInstallPath_TPS", kTps, L"Path", true, false, [](CAutoRunManager& m) { return m.GetITKInstallPath_TPS(); },
       L"CAutoRunManager::GetITKInstallPath_TPS", L"SOFTWARE\\Tavo Electronics\\Tavo Internet Kit\\1.0",
       L"CAutoRunManager::GetITKInstallPath_TPS() Reg Open Fail!!", L"CAutoRunManager::GetITKInstallPath_TPS() Path "},
      {"GetITKVersion_TPS", kTps, L"Version", false, false, [](CAutoRunManager& m) { return m.GetITKVersion_TPS(); },
       L"CAutoRunManager::GetITKVersion_TPS", L"SOFTWARE\\Tavo Electronics\\Tavo Internet Kit\\1.0",
       L"CAutoRunManager::GetITKVersion_TPS()  Fail!!", L"CAutoRunManager::GetITKVersion_TPS() Version "},
      {"CheckITKInstall_TPS", kTps, L"Path", false, true, [b](CAutoRunManager& m) { return b(m.CheckITKInstall_TPS()); },
       L"CAutoRunManager::CheckITKInstall_TPS", L"SOFTWARE\\Tavo Electronics\\Tavo Internet Kit\\1.0",
       L"CAutoRunManager::CheckITKInstall_TPS() Fail", L"CAutoRunManager::CheckITKInstall_TPS() Reg \"Path\" : "},
      {"GetInstallPath", kVtp, L"InstallLocation", true, false, [](CAutoRunManager& m) { return m.GetInstallPath(); },
       L"CAutoRunManager::GetInstallPath", u, L"CAutoRunManager::GetInstallPath() Reg Open Fail!!",
       L"CAutoRunManager::GetInstallPath() InstallLocation "},
      {"GetITKVersion_VTP", kVtp, L"DisplayVersion", false, false, [](CAutoRunManager& m) { return m.GetITKVersion_VTP(); },
       L"CAutoRunManager::GetITKVersion_VTP", u, L"CAutoRunManager::GetITKVersion_VTP()  Fail!!",
       L"CAutoRunManager::GetITKVersion_VTP() DisplayVersion "},
      {"CheckITKInstall_VTP", kVtp, L"InstallLocation", false, true,
       [b](CAutoRunManager& m) { return b(m.CheckITKInstall_VTP()); }, L"CAutoRunManager::CheckITKInstall_VTP", u,
       L"CAutoRunManager::CheckITKInstall_VTP() Fail", L"CAutoRunManager::CheckITKInstall_VTP() Reg \"InstallLocation\" : "},
      {"GetDisplayVersion", kVtp, L"DisplayVersion", false, false,
       [](CAutoRunManager& m) { return m.GetRegManager().GetDisplayVersion(L"{34A0FF07-F11A-4157-84A3-92F8AD688CBF}"); },
       L"", u, L"RegManager::GetDisplayVersion()  Fail!!", L"RegManager::GetDisplayVersion() DisplayVersion "},
      {"getDebugDownloadVersion", L"HKLM\\SOFTWARE\\Wow6432Node\\Tavo Electronics\\Tavo USB Autorun", L"debug_mode",
       false, false, [](CAutoRunManager& m) { return m.GetRegManager().getDebugDownloadVersion(); },
       L"RegManager::getDebugDownloadVersion",
       L"RegManager::getDebugDownloadVersion()SOFTWARE\\Tavo Electronics\\Tavo USB Autorun",
       L"RegManager::getDebugDownloadVersion() Reg Open Fail!!", L"RegManager::getDebugDownloadVersion() debug_mode "},
  };
}

enum class Stored { kNone, kNoKey, kSz, kExpandSz, kDword, kLong, kOddBytes, kNoNul, kZeroBytes };
struct ValueCase {
  const char* what;
  Stored stored;
  std::wstring text;
  bool ok;
  std::wstring folder;      // expected folder result
  std::wstring shown;       // %s of the success line for a folder
  int count;                // %d
};

TEST_F(RegistryQueries, EveryMemberForEveryStoredForm) {
  const std::wstring long300(300, L'x');
  const ValueCase cases[] = {
      {"plain", Stored::kSz, L"C:\\Tavo", true, L"C:\\Tavo\\", L"C:\\Tavo", 8},
      {"one backslash", Stored::kSz, L"C:\\Tavo\\", true, L"C:\\Tavo\\", L"C:\\Tavo", 9},
      {"three backslashes", Stored::kSz, L"C:\\Tavo\\\\\\", true, L"C:\\Tavo\\", L"C:\\Tavo", 11},
      {"empty string", Stored::kSz, L"", true, L"\\", L"", 1},
      {"zero bytes", Stored::kZeroBytes, L"", true, L"\\", L"", 0},
      {"expand_sz not expanded", Stored::kExpandSz, L"%ProgramFiles%\\T", true, L"%ProgramFiles%\\T\\",
       L"%ProgramFiles%\\T", 17},
      {"255 characters fit", Stored::kSz, std::wstring(255, L'y'), true, std::wstring(255, L'y') + L"\\",
       std::wstring(255, L'y'), 256},
      {"300 characters", Stored::kLong, long300, false, L"", L"", 0},
      {"REG_DWORD", Stored::kDword, L"", false, L"", L"", 0},
      {"odd byte count", Stored::kOddBytes, L"", false, L"", L"", 0},
      {"no terminating NUL", Stored::kNoNul, L"", false, L"", L"", 0},
      {"value missing", Stored::kNone, L"", false, L"", L"", 0},
      {"key missing", Stored::kNoKey, L"", false, L"", L"", 0},
  };
  for (const Member& m : Members()) {
    for (const ValueCase& c : cases) {
      SCOPED_TRACE(std::string(m.name) + " / " + c.what);
      TracedPc local;
      auto& reg = local.pc.registry;
      switch (c.stored) {
        case Stored::kNoKey: break;
        case Stored::kNone: reg.PutKey(m.key); break;
        case Stored::kSz: case Stored::kLong: reg.PutString(m.key, m.value, c.text); break;
        case Stored::kExpandSz: reg.PutString(m.key, m.value, c.text, win::kRegExpandSz); break;
        case Stored::kDword: reg.PutDword(m.key, m.value, 7); break;
        case Stored::kOddBytes: reg.Put(m.key, m.value, win::kRegSz, {'a', 0, 'b'}); break;
        case Stored::kNoNul: reg.Put(m.key, m.value, win::kRegSz, {'a', 0, 'b', 0}); break;
        case Stored::kZeroBytes: reg.Put(m.key, m.value, win::kRegSz, {}); break;
      }
      CAutoRunManager manager(local.machine, option);
      std::wstring got = m.run(manager);
      std::wstring expected = !c.ok ? (m.check ? L"0" : L"") : m.check ? L"1" : m.folder ? c.folder : c.text;
      EXPECT_EQ(got, expected);
      std::vector<std::wstring> lines;
      if (!m.entry.empty()) lines.push_back(m.entry + L"(+)");
      lines.push_back(m.key_line);
      std::wstring shown = m.folder ? c.shown : c.text;
      lines.push_back(c.ok ? m.success_prefix + L"[" + shown + L"][" + std::to_wstring(c.count) + L"]" : m.failure);
      if (!m.entry.empty()) lines.push_back(m.entry + L"(-)");
      EXPECT_EQ(local.pc.TraceLines(), lines);
      EXPECT_EQ(reg.open_handles(), 0);
    }
  }
}

TEST_F(RegistryQueries, MasksByWindowsFamilyAndDebugOption) {
  struct Case {
    const char* what;
    OsVersion os;
    int debug_option;
    std::uint32_t manager_mask;
    std::uint32_t reg_manager_mask;
  };
  const Case cases[] = {
      {"Windows 2000", {5, 0, 2195, 2, 4, 1}, 0, 0x20019, 0x20019},
      {"Windows XP", {5, 1, 2600, 2, 3, 1}, 0, 0x20219, 0x20219},
      {"Windows 7", {6, 1, 7601, 2, 1, 1}, 0, 0x20219, 0x20219},
      {"Server 2008", {6, 0, 6001, 2, 1, 3}, 0, 0x20219, 0x20219},
      {"XP, DEBUG_OPTION 1", {5, 1, 2600, 2, 3, 1}, 1, 0, 0x20219},
      {"2000, DEBUG_OPTION 1", {5, 0, 2195, 2, 4, 1}, 1, 0, 0x20019},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    pc.system.version = c.os;
    option.DEBUG_OPTION = c.debug_option;
    CAutoRunManager manager(machine, option);
    EXPECT_EQ(manager.m_samDesired, c.manager_mask);
    pc.registry.opens.clear();
    manager.GetPCSuiteInstallPath();
    manager.CheckITKInstall_VTP();
    manager.GetRegManager().GetDisplayVersion(L"{X}");
    manager.GetRegManager().getDebugDownloadVersion();
    const auto& opens = pc.registry.opens;
    ASSERT_EQ(opens.size(), 4u);
    EXPECT_EQ(opens[0].sam, c.manager_mask);
    EXPECT_EQ(opens[1].sam, c.manager_mask);
    EXPECT_EQ(opens[2].sam, c.reg_manager_mask);
    EXPECT_EQ(opens[3].sam, c.reg_manager_mask);
    for (const auto& o : opens) EXPECT_EQ(o.parent, win::kHkeyLocalMachine);
  }
}

TEST_F(RegistryQueries, MaskZeroOpensButCannotRead) {
  pc.registry.PutString(kPc, L"Path", L"C:\\Suite");
  option.DEBUG_OPTION = 1;
  CAutoRunManager manager(machine, option);
  EXPECT_EQ(manager.CheckPCSuiteInstall(), 0);
  EXPECT_EQ(manager.GetPCSuiteInstallPath(), L"");
}

TEST_F(RegistryQueries, ElevatedQueryLeavesEmptyKeyInThe32BitView) {
  for (bool elevated : {true, false}) {
    sim::SimPc local;
    Machine mach = local.machine();
    local.registry.elevated = elevated;
    CAutoRunManager manager(mach, option);
    EXPECT_EQ(manager.CheckPCSuiteInstall(), 0);
    EXPECT_EQ(local.registry.HasKey(kPc), elevated);
    EXPECT_FALSE(local.registry.HasKey(L"HKLM\\SOFTWARE\\Tavo Electronics"));
  }
}

TEST_F(RegistryQueries, NoInstallSwitchHidesOnlyThePCSuite) {
  pc.registry.PutString(kPc, L"Path", L"C:\\Suite");
  pc.registry.PutString(kVtp, L"InstallLocation", L"C:\\VTP");
  pc.registry.PutString(kTps, L"Path", L"C:\\Kit");
  CAutoRunManager manager(machine, option);
  manager.m_bNoInstall = true;
  Mark();
  pc.registry.opens.clear();
  EXPECT_EQ(manager.CheckPCSuiteInstall(), 0);
  EXPECT_TRUE(pc.registry.opens.empty());
  EXPECT_TRUE(Lines().empty());
  EXPECT_EQ(manager.CheckITKInstall_VTP(), 1);
  EXPECT_EQ(manager.CheckITKInstall_TPS(), 1);
  manager.m_bNoInstall = false;
  EXPECT_EQ(manager.CheckPCSuiteInstall(), 1);
}

TEST_F(RegistryQueries, DispatchersFollowItkType) {
  pc.registry.PutString(kVtp, L"InstallLocation", L"C:\\VTP\\");
  pc.registry.PutString(kVtp, L"DisplayVersion", L"2.0.1");
  pc.registry.PutString(kTps, L"Path", L"C:\\Kit");
  pc.registry.PutString(kTps, L"Version", L"3.1");
  struct Case {
    int itk_type;
    std::wstring path, version;
  };
  const Case cases[] = {{1, L"C:\\Kit\\", L"3.1"}, {0, L"C:\\VTP\\", L"2.0.1"}, {2, L"C:\\VTP\\", L"2.0.1"}};
  for (const Case& c : cases) {
    option.itk_type = c.itk_type;
    CAutoRunManager manager(machine, option);
    Mark();
    EXPECT_EQ(manager.CheckITKInstall(), 1);
    EXPECT_EQ(manager.GetITKInstallPath(), c.path);
    EXPECT_EQ(manager.GetITKVersion(), c.version);
    // The dispatchers add no lines of their own: three queries of four lines.
    EXPECT_EQ(Lines().size(), 12u);
  }
}

TEST_F(RegistryQueries, ManagerNotifiesTheSuiteThroughItsWindow) {
  CAutoRunManager manager(machine, option);
  EXPECT_EQ(manager.NotifyPCSuite(), std::optional<bool>(false));
  pc.windows.windows.push_back({0x77, L"AnyClass", L"Tavo PC Suite IV"});
  EXPECT_EQ(manager.NotifyPCSuite(), std::optional<bool>(true));
  ASSERT_EQ(pc.windows.posts.size(), 1u);
  EXPECT_EQ(pc.windows.posts[0].msg, 0xAB8u);
}

}  // namespace
}  // namespace devstart
