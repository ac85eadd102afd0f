// The administrator test with and without a linked token, the privilege
// switch, the staging folder's name, and the guarded delete.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "core/result_codes.h"
#include "fake/sim_pc.h"
#include "inspect/account.h"
#include "inspect/staging_folder.h"
#include "unit/traced_pc.h"

namespace devstart {
namespace {

const OsVersion kWinXp{5, 1, 2600, 2, 3, 1};
const OsVersion kWin7{6, 1, 7601, 2, 1, 1};

struct AdminCase {
  const char* name;
  std::optional<OsVersion> version;
  bool member;
  std::optional<bool> linked_admin;
  std::uint32_t no_linked_error;
  std::optional<std::uint32_t> open_error, check_error;
  int is_admin;
  std::uint32_t hresult;
};

TEST(Administrators, DirectOrThroughTheLinkedToken) {
  const AdminCase cases[] = {
      {"XP member", kWinXp, true, std::nullopt, 1312, std::nullopt, std::nullopt, 1, 0},
      {"XP user", kWinXp, false, true, 1312, std::nullopt, std::nullopt, 0, 0},  // no linked token before 6
      {"7 elevated", kWin7, true, std::nullopt, 1312, std::nullopt, std::nullopt, 1, 0},
      {"7 filtered admin", kWin7, false, true, 1312, std::nullopt, std::nullopt, 1, 0},
      {"7 standard user", kWin7, false, std::nullopt, 1312, std::nullopt, std::nullopt, 0, 0},
      {"7 no privilege", kWin7, false, std::nullopt, 1314, std::nullopt, std::nullopt, 0, 0},
      {"7 other linked error", kWin7, false, std::nullopt, 5, std::nullopt, std::nullopt, 0, 0x80070005u},
      {"7 linked not admin", kWin7, false, false, 1312, std::nullopt, std::nullopt, 0, 0},
      {"token fails", kWin7, true, std::nullopt, 1312, 5u, std::nullopt, 0, 0x80070005u},
      {"membership fails", kWin7, true, std::nullopt, 1312, std::nullopt, 6u, 0, 0x80070006u},
      {"version unreadable", std::nullopt, false, true, 1312, std::nullopt, std::nullopt, 0, 0x80004005u},
  };
  for (const AdminCase& c : cases) {
    sim::SimPc pc;
    Machine m = pc.machine();
    pc.system.version = c.version;
    auto& s = pc.security;
    s.admin = c.member;
    s.linked_admin = c.linked_admin;
    s.no_linked_error = c.no_linked_error;
    s.open_token_error = c.open_error;
    s.check_membership_error = c.check_error;
    int is_admin = 7;
    EXPECT_EQ(IsUserInAdministrators(m, &is_admin), c.hresult) << c.name;
    EXPECT_EQ(is_admin, c.is_admin) << c.name;
    EXPECT_TRUE(s.open_handles.empty()) << c.name << ": handles left open";
    if (!c.open_error) { EXPECT_EQ(s.token_access_asked, std::vector<std::uint32_t>{win::kTokenQuery}) << c.name; }
  }
}

TEST(Privilege, ManageVolume) {
  struct Case {
    const char* name;
    bool open_fails, lookup_fails, adjust_fails;
    std::uint32_t hresult;
  } cases[] = {
      {"enabled", false, false, false, win::kSOk},
      {"no token", true, false, false, win::kEFail},
      {"unknown privilege", false, true, false, win::kEFail},
      {"adjust fails", false, false, true, win::kEFail},
  };
  for (const Case& c : cases) {
    sim::SimPc pc;
    Machine m = pc.machine();
    auto& s = pc.security;
    if (c.open_fails) s.open_token_error = 5u;
    s.lookup_privilege_fails = c.lookup_fails;
    s.adjust_fails = c.adjust_fails;
    EXPECT_EQ(EnableManageVolumePrivilege(m, s.GetCurrentProcess()), c.hresult) << c.name;
    EXPECT_TRUE(s.open_handles.empty()) << c.name;
    EXPECT_EQ(s.token_access_asked, std::vector<std::uint32_t>{0x28}) << c.name;
    EXPECT_EQ(s.enabled_privileges.size(), c.hresult == win::kSOk ? 1u : 0u) << c.name;
  }
}

TEST(StagingFolder, TemporaryFolderAndDriveLetter) {
  struct Case {
    const wchar_t* temp;
    const wchar_t* current;
    const wchar_t* staging;
  } cases[] = {
      {L"C:\\Users\\u\\AppData\\Local\\Temp\\", L"E:\\", L"C:\\Users\\u\\AppData\\Local\\Temp\\E\\"},
      {L"C:\\Temp", L"D:\\Setup", L"C:\\Temp\\D\\"},
      {L"C:\\DOCUME~1\\u\\LOCALS~1\\Temp\\", L"F:\\tools", L"C:\\DOCUME~1\\u\\LOCALS~1\\Temp\\F\\"},
  };
  for (const Case& c : cases) {
    sim::SimPc pc;
    pc.files.temp_path = c.temp;
    pc.files.current_directory = c.current;
    EXPECT_EQ(GetStagingFolder(pc.files), c.staging);
  }
}

TEST(StagingFolder, CreateFolderPathMakesEveryLevel) {
  sim::SimPc pc;
  CreateFolderPath(pc.files, L"C:\\Users\\user\\AppData\\Local\\Temp\\E\\tools\\");
  EXPECT_TRUE(pc.files.FolderExists(L"C:\\Users\\user\\AppData\\Local\\Temp\\E\\tools"));
  // Starts with the bare drive, which fails harmlessly; existing folders too.
  EXPECT_EQ(pc.files.calls.front(), L"CreateDirectory C:");
  CreateFolderPath(pc.files, L"D:\\a\\b");
  EXPECT_TRUE(pc.files.FolderExists(L"D:\\a\\b"));
}

class DeleteTemp : public ::testing::Test {
 protected:
  void SetUp() override {
    files.Put(kStage + L"Devstart.exe", "x");
    files.Put(kStage + L"config.ini", "x");
    files.Put(kStage + L"tools\\DriverSetup.exe", "x");
    files.Put(kStage + L"tools\\deeper\\more\\a.txt", "x");
  }
  const std::wstring kStage = L"C:\\Users\\user\\AppData\\Local\\Temp\\E\\";
  sim::SimPc pc;
  sim::FakeFiles& files = pc.files;
};

TEST_F(DeleteTemp, EmptiesNestedFoldersAndReadOnlyFiles) {
  files.SetAttributes(kStage + L"config.ini", win::kFileAttributeReadonly);
  files.SetAttributes(kStage + L"tools\\deeper\\more\\a.txt", win::kFileAttributeReadonly | 0x2);
  EXPECT_EQ(DeleteTempFolder(files, kStage), 1);
  EXPECT_FALSE(files.FolderExists(kStage));
  EXPECT_TRUE(files.FolderExists(L"C:\\Users\\user\\AppData\\Local\\Temp"));
}

TEST_F(DeleteTemp, FileInUseStaysWithItsFolders) {
  files.in_use.insert(sim::Fold(kStage + L"tools\\deeper\\more\\a.txt"));
  EXPECT_EQ(DeleteTempFolder(files, kStage), 1);
  EXPECT_TRUE(files.Exists(kStage + L"tools\\deeper\\more\\a.txt"));
  EXPECT_FALSE(files.Exists(kStage + L"Devstart.exe"));
  EXPECT_FALSE(files.Exists(kStage + L"tools\\DriverSetup.exe"));
}

TEST_F(DeleteTemp, GuardAndMissingFolder) {
  struct Case {
    std::wstring folder;
    int result;
  } cases[] = {
      {L"C:\\tmp\\E\\", 0},                     // no "\Temp": refused
      {L"C:\\Users\\user\\AppData\\Local\\temp\\E\\", 0},  // the guard is case-sensitive
      {L"C:\\Temporary\\E\\", 1},               // "\Temporary" contains "\Temp"
      {L"C:\\Users\\user\\AppData\\Local\\Temp\\Q\\", 0},  // missing
  };
  files.Put(L"C:\\tmp\\E\\keep.txt", "x");
  files.Put(L"C:\\Temporary\\E\\gone.txt", "x");
  for (const Case& c : cases) {
    EXPECT_EQ(DeleteTempFolder(files, c.folder), c.result) << sim::Utf8(c.folder);
  }
  EXPECT_TRUE(files.Exists(L"C:\\tmp\\E\\keep.txt"));
  EXPECT_FALSE(files.Exists(L"C:\\Temporary\\E\\gone.txt"));
  EXPECT_TRUE(files.Exists(kStage + L"Devstart.exe"));
  // After a failed delete the folder can be made again.
  CreateFolderPath(files, L"C:\\Users\\user\\AppData\\Local\\Temp\\Q\\");
  EXPECT_TRUE(files.FolderExists(L"C:\\Users\\user\\AppData\\Local\\Temp\\Q"));
}

TEST_F(DeleteTemp, LinksAreRemovedNotFollowed) {
  // A junction to the user's documents and one to a folder of the system,
  // planted in the staging folder and in a subfolder.
  files.Put(L"C:\\Users\\user\\Documents\\thesis.doc", "precious");
  files.Put(L"C:\\windows\\system32\\kernel32.dll", "system");
  files.SetAttributes(L"C:\\windows\\system32\\kernel32.dll", win::kFileAttributeReadonly);
  files.AddLink(kStage + L"docs", L"C:\\Users\\user\\Documents");
  files.AddLink(kStage + L"tools\\sys", L"C:\\windows\\system32");
  // Seen through the link, the target's files are there.
  FindResult through = files.FindFirstFile(kStage + L"docs\\*.*");
  ASSERT_NE(through.handle, kInvalidHandle);
  files.FindClose(through.handle);
  files.calls.clear();

  EXPECT_EQ(DeleteTempFolder(files, kStage), 1);
  EXPECT_EQ(files.Get(L"C:\\Users\\user\\Documents\\thesis.doc").value_or(""), "precious");
  EXPECT_EQ(files.Get(L"C:\\windows\\system32\\kernel32.dll").value_or(""), "system");
  EXPECT_EQ(files.attributes[sim::Fold(L"C:\\windows\\system32\\kernel32.dll")], win::kFileAttributeReadonly);
  EXPECT_FALSE(files.FolderExists(kStage + L"docs"));
  EXPECT_FALSE(files.FolderExists(kStage));
  for (const auto& call : files.calls) {
    EXPECT_EQ(call.find(L"docs\\"), std::wstring::npos) << sim::Utf8(call);
    EXPECT_EQ(call.find(L"sys\\"), std::wstring::npos) << sim::Utf8(call);
  }
}

// ---- the CD run's staging under faults --------------------------------------

const std::wstring kTemp = L"C:\\Users\\user\\AppData\\Local\\Temp\\";
const std::vector<std::wstring> kSix = {L"Devstart.exe", L"P4_Updlink.dll", L"P4_UpdlinkChk.dll",
                                        L"Progress.avi", L"SendScsiCmd.dll", L"config.ini"};

std::vector<std::wstring> Plus(std::vector<std::wstring> a, const std::vector<std::wstring>& b) {
  a.insert(a.end(), b.begin(), b.end());
  std::sort(a.begin(), a.end());
  return a;
}

// Every file below `folder` (ending in a backslash) as the program would
// list it, by its path below the folder, sorted.
void ListFiles(IFileSystem& fs, const std::wstring& folder, const std::wstring& below, std::vector<std::wstring>* out) {
  FindResult first = fs.FindFirstFile(folder + below + L"*.*");
  if (first.handle == kInvalidHandle) return;
  for (std::optional<FindData> e = first.data; e; e = fs.FindNextFile(first.handle)) {
    if (e->name == L"." || e->name == L"..") continue;
    if ((e->attributes & win::kFileAttributeDirectory) != 0) {
      ListFiles(fs, folder, below + e->name + L"\\", out);
    } else {
      out->push_back(below + e->name);
    }
  }
  fs.FindClose(first.handle);
}

// A phone's CD in E:\ carrying the program, its companions and the driver's
// setups; the driver is missing, so its setups are staged too.
struct CdWorld : World {
  CdWorld() {
    pc.files.current_directory = L"E:\\";
    for (const std::wstring& f : Plus(kSix, {L"tools\\DriverSetup.exe", L"tools\\DriverUninstall.exe"})) {
      pc.files.Put(L"E:\\" + f, f == L"Progress.avi" ? std::string(100, 'a') : "MZ " + sim::Utf8(f));
    }
    option.driver_name = L".\\tools\\DriverSetup.exe";
    option.driver_uninstall = L"tools\\DriverUninstall.exe";
    option.driver_version = L"1.2.0.4";
    pc.phone.model.setting[0] = 0x40;
    pc.security.admin = true;
    Others(L"C:\\Users\\user\\Documents\\thesis.doc", "precious");
  }
  // A file that belongs to someone else: it must be there as it was.
  void Others(const std::wstring& path, const std::string& bytes) {
    pc.files.Put(path, bytes);
    others[path] = bytes;
  }
  std::map<std::wstring, std::string> others;
  // The trace as a debugger sees it: the log file itself may be what fails.
  std::vector<std::wstring> DebugLines() const {
    std::vector<std::wstring> out;
    for (const std::wstring& l : pc.system.debug_output) out.push_back(l.substr(l.find(L']') + 1, l.size() - l.find(L']') - 3));
    return out;
  }
  std::vector<std::wstring> Left(const std::wstring& staging) {
    std::vector<std::wstring> out;
    ListFiles(pc.files, staging, L"", &out);
    std::sort(out.begin(), out.end());
    return out;
  }
};

struct FaultCase {
  const char* name;
  std::function<void(CdWorld&)> fault;
  int result;                      // 1 = staged and started, 303 = "Failed to set up."
  std::wstring staging;            // the folder staged into
  std::vector<std::wstring> left;  // files in it afterwards
  std::wstring line;               // the trace line that explains the outcome ("" = none asked)
};

TEST(StagingFaults, NoHalfCopyIsEverStartedAndNothingOfOthersIsLost) {
  const std::wstring stage = kTemp + L"E\\";
  const std::wstring umlauts = L"C:\\Users\\J\u00fcrgen \u00d8lstad\\AppData\\Local\\Temp\\";
  // The longest name staged is "tools\DriverUninstall.exe", 25 letters.
  const std::wstring fits = L"C:\\" + std::wstring(223, L'a') + L"\\Temp\\";   // 259 with it
  const std::wstring too_long = L"C:\\" + std::wstring(224, L'a') + L"\\Temp\\";  // 260 with it
  const std::vector<std::wstring> full = Plus(kSix, {L"tools\\DriverSetup.exe", L"tools\\DriverUninstall.exe"});
  auto pull_cd_at = [](const std::wstring& name, std::uint32_t error) {
    return [name, error](CdWorld& w) {
      sim::FakeFiles& f = w.pc.files;
      f.before_copy = [&f, name, error](const std::wstring& from) {
        if (from == name) f.gone_drives[L'E'] = error;
      };
    };
  };
  auto full_disk = [](CdWorld& w) {
    w.pc.files.temp_path = L"D:\\Temp\\";
    w.pc.files.MakeFolder(L"D:\\Temp");
    w.pc.files.free_bytes[L'D'] = 120;
  };
  auto junction = [](const std::wstring& link, bool symbolic) {
    return [link, symbolic](CdWorld& w) {
      w.pc.files.AddLink(link, L"C:\\Users\\user\\Documents", symbolic);
    };
  };
  const FaultCase cases[] = {
      {"cd_pulled_mid_copy", pull_cd_at(L".\\P4_UpdlinkChk.dll", 3), 303, stage, {},
       L"CAutoRunManager::CopyAutoRun() cannot copy .\\P4_UpdlinkChk.dll to " + stage + L"P4_UpdlinkChk.dll: error 3"},
      {"cd_not_ready_at_a_setup", pull_cd_at(L".\\tools\\DriverUninstall.exe", 21), 303, stage, {},
       L"CAutoRunManager::CopyDriverSetup() cannot copy .\\tools\\DriverUninstall.exe to " + stage +
           L"tools\\DriverUninstall.exe: error 21"},
      {"unreadable_source", [](CdWorld& w) { w.pc.files.read_errors[sim::Fold(L"E:\\Progress.avi")] = 23; }, 303,
       stage, {}, L"CAutoRunManager::CopyAutoRun() cannot copy .\\Progress.avi to " + stage + L"Progress.avi: error 23"},
      // The five small files fit on D:, Progress.avi's 100 bytes do not.
      {"disk_full", full_disk, 303, L"D:\\Temp\\E\\", {},
       L"CAutoRunManager::CopyAutoRun() cannot copy .\\Progress.avi to D:\\Temp\\E\\Progress.avi: error 112"},
      {"after_a_failed_copy", full_disk, 303, L"D:\\Temp\\E\\", {},
       L"CAutoRunManager::RunFromCD() staging failed, a copy failed: the staging folder is removed, nothing is started"},
      // A setup or companion this CD does not carry: as it always was.
      {"setup_not_on_the_cd", [](CdWorld& w) { w.pc.files.DeleteFile(L"E:\\tools\\DriverSetup.exe"); }, 1, stage,
       Plus(kSix, {L"tools\\DriverUninstall.exe"}),
       L"CAutoRunManager::CopyDriverSetup() cannot copy .\\.\\tools\\DriverSetup.exe to " + stage +
           L".\\tools\\DriverSetup.exe: error 2, left to the local run"},
      // config.ini without the driver's setup names the CD's root.
      {"setup_named_as_a_folder", [](CdWorld& w) { w.option.driver_name = L".\\"; }, 1, stage,
       Plus(kSix, {L"tools\\DriverUninstall.exe"}),
       L"CAutoRunManager::CopyDriverSetup() cannot copy .\\.\\ to " + stage + L".\\: error 5, left to the local run"},
      {"companion_not_on_the_cd", [](CdWorld& w) { w.pc.files.DeleteFile(L"E:\\P4_UpdlinkChk.dll"); }, 1, stage,
       {L"Devstart.exe", L"P4_Updlink.dll", L"Progress.avi", L"SendScsiCmd.dll", L"config.ini",
        L"tools\\DriverSetup.exe", L"tools\\DriverUninstall.exe"},
       L"CAutoRunManager::CopyAutoRun() cannot copy .\\P4_UpdlinkChk.dll to " + stage +
           L"P4_UpdlinkChk.dll: error 2, left to the local run"},
      {"temp_missing", [](CdWorld& w) { w.pc.files.temp_path = L"C:\\Gone\\Temp\\"; }, 1,
       L"C:\\Gone\\Temp\\E\\", full, L""},
      {"temp_unwritable", [](CdWorld& w) { w.pc.files.read_only_folders.insert(L"C:\\Users\\user\\AppData\\Local\\Temp"); },
       303, stage, {}, L"CAutoRunManager::RunFromCD() the folder " + stage + L" cannot be made: error 5: nothing is staged"},
      {"temp_unknown", [](CdWorld& w) { w.pc.files.temp_path = L""; }, 303, L"E\\", {},
       L"CAutoRunManager::RunFromCD() no temporary folder to stage into"},
      {"file_in_its_place", [](CdWorld& w) { w.Others(kTemp + L"E", "the user's"); }, 303, stage, {},
       L"CAutoRunManager::RunFromCD() a file takes the place of " + stage + L": nothing is staged"},
      {"spaces_and_umlauts", [&](CdWorld& w) { w.pc.files.temp_path = umlauts; w.pc.files.MakeFolder(umlauts); }, 1,
       umlauts + L"E\\", full, L""},
      {"longest_path_fits", [&](CdWorld& w) { w.pc.files.temp_path = fits; w.pc.files.MakeFolder(fits); }, 1,
       fits + L"E\\", full, L""},
      {"longest_path_too_long", [&](CdWorld& w) { w.pc.files.temp_path = too_long; w.pc.files.MakeFolder(too_long); },
       303, too_long + L"E\\", {},
       L"CAutoRunManager::RunFromCD() the staging folder is too long for its files: " + too_long + L"E\\"},
      // Left from an earlier run and held open by another program: it stays.
      {"held_open_leftover", [&](CdWorld& w) {
         w.Others(stage + L"notes.txt", "the editor's");
         w.pc.files.in_use.insert(sim::Fold(stage + L"notes.txt"));
       }, 1, stage, Plus(full, {L"notes.txt"}), L""},
      {"held_open_companion", [&](CdWorld& w) {
         w.Others(stage + L"Progress.avi", "the player's");
         w.pc.files.in_use.insert(sim::Fold(stage + L"Progress.avi"));
       }, 303, stage, {L"Progress.avi"},
       L"CAutoRunManager::CopyAutoRun() cannot copy .\\Progress.avi to " + stage + L"Progress.avi: error 32"},
      // A run killed while it staged: a cut program, companions missing.
      {"killed_earlier_run", [&](CdWorld& w) {
         w.pc.files.Put(stage + L"Devstart.exe", "M");
         w.pc.files.Put(stage + L"tools\\DriverSetup.exe", "");
       }, 1, stage, full, L""},
      // Planted by another user: only the link goes, a real folder is made.
      {"staging_folder_a_junction", junction(kTemp + L"E", false), 1, stage, full, L""},
      {"staging_folder_a_symbolic_link", junction(kTemp + L"E", true), 1, stage, full, L""},
      {"tools_a_junction", junction(kTemp + L"E\\tools", false), 1, stage, full, L""},
      // Where the temporary folder's name keeps the delete away, the link is refused.
      {"junction_outside_the_delete_guard", [](CdWorld& w) {
         w.pc.files.temp_path = L"C:\\tmp\\";
         w.pc.files.AddLink(L"C:\\tmp\\E", L"C:\\Users\\user\\Documents");
       }, 303, L"C:\\tmp\\E\\", {L"thesis.doc"},
       L"CAutoRunManager::RunFromCD() the folder C:\\tmp\\E\\ is a link: nothing is staged"},
  };
  for (const FaultCase& c : cases) {
    CdWorld w;
    w.pc.processes.launchable[sim::Fold(c.staging + L"Devstart.exe")] = {L"Devstart.exe", 0, {}, {}};
    c.fault(w);
    EXPECT_EQ(w.manager().RunFromCD(), c.result) << c.name;
    EXPECT_EQ(w.Left(c.staging), c.left) << c.name;
    std::vector<std::wstring> launched;
    for (const auto& l : w.pc.processes.launches) launched.push_back(l.file);
    EXPECT_EQ(launched, c.result == 1 ? std::vector<std::wstring>{c.staging + L"Devstart.exe"}
                                      : std::vector<std::wstring>{}) << c.name;
    std::vector<std::wstring> lines = w.DebugLines();
    if (!c.line.empty()) { EXPECT_NE(std::find(lines.begin(), lines.end(), c.line), lines.end()) << c.name; }
    // What others own is never touched, and what is staged is whole.
    for (const auto& [path, bytes] : w.others) { EXPECT_EQ(w.pc.files.Get(path), bytes) << c.name << " " << sim::Utf8(path); }
    if (c.result == 1) {
      EXPECT_EQ(w.pc.files.Get(c.staging + L"Devstart.exe"), "MZ Devstart.exe") << c.name;
      EXPECT_FALSE(w.pc.files.Exists(L"C:\\Users\\user\\Documents\\Devstart.exe")) << c.name;
    }
  }
}

}  // namespace
}  // namespace devstart

TEST(StagingFolder, TheLocalRunCleansTheFolderOfItsDriveLetter) {
  struct Case {
    char letter;
    const wchar_t* folder;  // "" = nothing to delete
  } cases[] = {
      {'E', L"C:\\Users\\u\\AppData\\Local\\Temp\\E\\"},
      {'e', L"C:\\Users\\u\\AppData\\Local\\Temp\\e\\"},
      {'1', L""},
      {':', L""},
      {0, L""},
  };
  for (const Case& c : cases) {
    devstart::World w;
    w.pc.files.temp_path = L"C:\\Users\\u\\AppData\\Local\\Temp\\";
    // The local run's current directory is the staging folder itself, on C:.
    w.pc.files.current_directory = L"C:\\Users\\u\\AppData\\Local\\Temp\\E";
    w.pc.files.Put(L"C:\\Users\\u\\AppData\\Local\\Temp\\E\\config.ini", "x");
    w.pc.files.Put(L"C:\\Users\\u\\AppData\\Local\\Temp\\C\\marker", "x");
    EXPECT_EQ(devstart::StagingFolderOfDrive(w.pc.files, c.letter), c.folder) << c.letter;
    w.manager().set_drive(c.letter);
    EXPECT_EQ(w.manager().CleanupStaging(), c.letter == 'E' || c.letter == 'e' ? 1 : 0) << c.letter;
    EXPECT_EQ(w.pc.files.Exists(L"C:\\Users\\u\\AppData\\Local\\Temp\\E\\config.ini"), c.folder[0] == 0) << c.letter;
    EXPECT_TRUE(w.pc.files.Exists(L"C:\\Users\\u\\AppData\\Local\\Temp\\C\\marker")) << c.letter;
  }
}
