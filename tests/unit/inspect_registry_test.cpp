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

enum class Stored { kNone, kNoKey, kSz, kExpandSz, kDword, kOddBytes, kNoNul, kZeroBytes };

void Store(sim::FakeRegistry& reg, const std::wstring& key, const wchar_t* value, Stored stored,
           const std::wstring& text) {
  switch (stored) {
    case Stored::kNoKey: break;
    case Stored::kNone: reg.PutKey(key); break;
    case Stored::kSz: reg.PutString(key, value, text); break;
    case Stored::kExpandSz: reg.PutString(key, value, text, win::kRegExpandSz); break;
    case Stored::kDword: reg.PutDword(key, value, 7); break;
    case Stored::kOddBytes: reg.Put(key, value, win::kRegSz, {'a', 0, 'b'}); break;
    case Stored::kNoNul: reg.Put(key, value, win::kRegSz, {'a', 0, 'b', 0}); break;
    case Stored::kZeroBytes: reg.Put(key, value, win::kRegSz, {}); break;
  }
}

// What the three kinds of query make of each stored form: the Internet Kit's
// folder, installed flag and version, with the value stored as both its
// "Path" and its "Version".
struct FormCase {
  const char* what;
  Stored stored;
  std::wstring text;
  std::wstring folder;
  int installed;
  std::wstring version;
  std::wstring folder_line;  // the folder query's result line
};

TEST(RegistryQueryForms, EachKindOfQueryOnEveryStoredForm) {
  const std::wstring y255(255, L'y');
  const FormCase cases[] = {
      {"plain", Stored::kSz, L"C:\\Tavo", L"C:\\Tavo\\", 1, L"C:\\Tavo",
       L"CAutoRunManager::GetITKInstallPath_TPS() Path [C:\\Tavo][8]"},
      {"one backslash", Stored::kSz, L"C:\\Tavo\\", L"C:\\Tavo\\", 1, L"C:\\Tavo\\",
       L"CAutoRunManager::GetITKInstallPath_TPS() Path [C:\\Tavo][9]"},
      {"three backslashes", Stored::kSz, L"C:\\Tavo\\\\\\", L"C:\\Tavo\\", 1, L"C:\\Tavo\\\\\\",
       L"CAutoRunManager::GetITKInstallPath_TPS() Path [C:\\Tavo][11]"},
      {"empty string", Stored::kSz, L"", L"\\", 1, L"", L"CAutoRunManager::GetITKInstallPath_TPS() Path [][1]"},
      {"zero bytes", Stored::kZeroBytes, L"", L"\\", 1, L"", L"CAutoRunManager::GetITKInstallPath_TPS() Path [][0]"},
      {"expand_sz not expanded", Stored::kExpandSz, L"%ProgramFiles%\\T", L"%ProgramFiles%\\T\\", 1,
       L"%ProgramFiles%\\T", L"CAutoRunManager::GetITKInstallPath_TPS() Path [%ProgramFiles%\\T][17]"},
      {"255 characters fit", Stored::kSz, y255, y255 + L"\\", 1, y255,
       L"CAutoRunManager::GetITKInstallPath_TPS() Path [" + y255 + L"][256]"},
      {"300 characters", Stored::kSz, std::wstring(300, L'x'), L"", 0, L"",
       L"CAutoRunManager::GetITKInstallPath_TPS() Reg Open Fail!!"},
      {"REG_DWORD", Stored::kDword, L"", L"", 0, L"", L"CAutoRunManager::GetITKInstallPath_TPS() Reg Open Fail!!"},
      {"odd byte count", Stored::kOddBytes, L"", L"", 0, L"",
       L"CAutoRunManager::GetITKInstallPath_TPS() Reg Open Fail!!"},
      {"no terminating NUL", Stored::kNoNul, L"", L"", 0, L"",
       L"CAutoRunManager::GetITKInstallPath_TPS() Reg Open Fail!!"},
      {"value missing", Stored::kNone, L"", L"", 0, L"", L"CAutoRunManager::GetITKInstallPath_TPS() Reg Open Fail!!"},
      {"key missing", Stored::kNoKey, L"", L"", 0, L"", L"CAutoRunManager::GetITKInstallPath_TPS() Reg Open Fail!!"},
  };
  for (const FormCase& c : cases) {
    SCOPED_TRACE(c.what);
    World w;
    Store(w.pc.registry, kTps, L"Path", c.stored, c.text);
    Store(w.pc.registry, kTps, L"Version", c.stored, c.text);
    EXPECT_EQ(w.manager().GetITKInstallPath_TPS(), c.folder);
    EXPECT_EQ(w.pc.TraceLines(), (std::vector<std::wstring>{L"CAutoRunManager::GetITKInstallPath_TPS(+)",
                                                            L"SOFTWARE\\Tavo Electronics\\Tavo Internet Kit\\1.0",
                                                            c.folder_line,
                                                            L"CAutoRunManager::GetITKInstallPath_TPS(-)"}));
    EXPECT_EQ(w.manager().CheckITKInstall_TPS(), c.installed);
    EXPECT_EQ(w.manager().GetITKVersion_TPS(), c.version);
    EXPECT_EQ(w.pc.registry.open_handles(), 0);
  }
}

// Every query of the family with "C:\Tavo\" stored where it looks: its
// result and its lines; and its result and failure line when nothing is.
struct Member {
  const char* name;
  std::wstring key;      // physical key the value lives in
  const wchar_t* value;  // value name
  std::function<std::wstring(CAutoRunManager&)> run;
  std::wstring found;
  std::vector<std::wstring> lines;
  std::wstring missing;
  std::wstring failure;
};

TEST(RegistryQueryMembers, EveryQueryReadsItsOwnKeyAndValue) {
  auto flag = [](int v) { return std::to_wstring(v); };
  const std::wstring pc_key = L"SOFTWARE\\Tavo Electronics\\Tavo PC Suite IV\\1.0";
  const std::wstring kit_key = L"SOFTWARE\\Tavo Electronics\\Tavo Internet Kit\\1.0";
  const std::wstring vtp_key =
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{34A0FF07-F11A-4157-84A3-92F8AD688CBF}";
  const Member members[] = {
      {"GetPCSuiteInstallPath", kPc, L"Path", [](CAutoRunManager& m) { return m.GetPCSuiteInstallPath(); },
       L"C:\\Tavo\\",
       {L"CAutoRunManager::GetPCSuiteInstallPath(+)", pc_key, L"CAutoRunManager::GetPCSuiteInstallPath() Path [C:\\Tavo][9]",
        L"CAutoRunManager::GetPCSuiteInstallPath(-)"},
       L"", L"CAutoRunManager::GetPCSuiteInstallPath() Reg Open Fail!!"},
      {"CheckPCSuiteInstall", kPc, L"Path", [&](CAutoRunManager& m) { return flag(m.CheckPCSuiteInstall()); }, L"1",
       {L"CAutoRunManager::CheckPCSuiteInstall(+)", pc_key,
        L"CAutoRunManager::CheckPCSuiteInstall() Reg \"Path\" : [C:\\Tavo\\][9]", L"CAutoRunManager::CheckPCSuiteInstall(-)"},
       L"0", L"CAutoRunManager::CheckPCSuiteInstall() Fail"},
      {"GetITKInstallPath_TPS", kTps, L"Path", [](CAutoRunManager& m) { return m.GetITKInstallPath_TPS(); },
       L"C:\\Tavo\\",
       {L"CAutoRunManager::GetITKInstallPath_TPS(+)", kit_key, L"CAutoRunManager::GetITKInstallPath_TPS() Path [C:\\Tavo][9]",
        L"CAutoRunManager::GetITKInstallPath_TPS(-)"},
       L"", L"CAutoRunManager::GetITKInstallPath_TPS() Reg Open Fail!!"},
      {"GetITKVersion_TPS", kTps, L"Version", [](CAutoRunManager& m) { return m.GetITKVersion_TPS(); }, L"C:\\Tavo\\",
       {L"CAutoRunManager::GetITKVersion_TPS(+)", kit_key, L"CAutoRunManager::GetITKVersion_TPS() Version [C:\\Tavo\\][9]",
        L"CAutoRunManager::GetITKVersion_TPS(-)"},
       L"", L"CAutoRunManager::GetITKVersion_TPS()  Fail!!"},
      {"CheckITKInstall_TPS", kTps, L"Path", [&](CAutoRunManager& m) { return flag(m.CheckITKInstall_TPS()); }, L"1",
       {L"CAutoRunManager::CheckITKInstall_TPS(+)", kit_key,
        L"CAutoRunManager::CheckITKInstall_TPS() Reg \"Path\" : [C:\\Tavo\\][9]", L"CAutoRunManager::CheckITKInstall_TPS(-)"},
       L"0", L"CAutoRunManager::CheckITKInstall_TPS() Fail"},
      {"GetInstallPath", kVtp, L"InstallLocation", [](CAutoRunManager& m) { return m.GetInstallPath(); }, L"C:\\Tavo\\",
       {L"CAutoRunManager::GetInstallPath(+)", vtp_key, L"CAutoRunManager::GetInstallPath() InstallLocation [C:\\Tavo][9]",
        L"CAutoRunManager::GetInstallPath(-)"},
       L"", L"CAutoRunManager::GetInstallPath() Reg Open Fail!!"},
      {"GetITKVersion_VTP", kVtp, L"DisplayVersion", [](CAutoRunManager& m) { return m.GetITKVersion_VTP(); },
       L"C:\\Tavo\\",
       {L"CAutoRunManager::GetITKVersion_VTP(+)", vtp_key,
        L"CAutoRunManager::GetITKVersion_VTP() DisplayVersion [C:\\Tavo\\][9]", L"CAutoRunManager::GetITKVersion_VTP(-)"},
       L"", L"CAutoRunManager::GetITKVersion_VTP()  Fail!!"},
      {"CheckITKInstall_VTP", kVtp, L"InstallLocation", [&](CAutoRunManager& m) { return flag(m.CheckITKInstall_VTP()); },
       L"1",
       {L"CAutoRunManager::CheckITKInstall_VTP(+)", vtp_key,
        L"CAutoRunManager::CheckITKInstall_VTP() Reg \"InstallLocation\" : [C:\\Tavo\\][9]",
        L"CAutoRunManager::CheckITKInstall_VTP(-)"},
       L"0", L"CAutoRunManager::CheckITKInstall_VTP() Fail"},
      {"GetDisplayVersion", kVtp, L"DisplayVersion",
       [](CAutoRunManager& m) { return m.GetRegManager().GetDisplayVersion(L"{34A0FF07-F11A-4157-84A3-92F8AD688CBF}"); },
       L"C:\\Tavo\\", {vtp_key, L"RegManager::GetDisplayVersion() DisplayVersion [C:\\Tavo\\][9]"}, L"",
       L"RegManager::GetDisplayVersion()  Fail!!"},
      {"getDebugDownloadVersion", L"HKLM\\SOFTWARE\\Wow6432Node\\Tavo Electronics\\Tavo USB Autorun", L"debug_mode",
       [](CAutoRunManager& m) { return m.GetRegManager().getDebugDownloadVersion(); }, L"C:\\Tavo\\",
       {L"RegManager::getDebugDownloadVersion(+)",
        L"RegManager::getDebugDownloadVersion()SOFTWARE\\Tavo Electronics\\Tavo USB Autorun",
        L"RegManager::getDebugDownloadVersion() debug_mode [C:\\Tavo\\][9]", L"RegManager::getDebugDownloadVersion(-)"},
       L"", L"RegManager::getDebugDownloadVersion() Reg Open Fail!!"},
  };
  for (const Member& m : members) {
    SCOPED_TRACE(m.name);
    World found;
    found.pc.registry.PutString(m.key, m.value, L"C:\\Tavo\\");
    EXPECT_EQ(m.run(found.manager()), m.found);
    EXPECT_EQ(found.pc.TraceLines(), m.lines);
    World missing;
    EXPECT_EQ(m.run(missing.manager()), m.missing);
    auto lines = missing.pc.TraceLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), m.failure), lines.end());
    EXPECT_EQ(missing.pc.registry.open_handles(), 0);
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
    EXPECT_EQ(manager.registry_mask(), c.manager_mask);
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
  manager.run().no_install_switch = 1;
  Mark();
  pc.registry.opens.clear();
  EXPECT_EQ(manager.CheckPCSuiteInstall(), 0);
  EXPECT_TRUE(pc.registry.opens.empty());
  EXPECT_TRUE(Lines().empty());
  EXPECT_EQ(manager.CheckITKInstall_VTP(), 1);
  EXPECT_EQ(manager.CheckITKInstall_TPS(), 1);
  manager.run().no_install_switch = 0;
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
