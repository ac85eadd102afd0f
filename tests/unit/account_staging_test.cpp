// The administrator test with and without a linked token, the privilege
// switch, the staging folder's name, and the guarded delete.
#include <gtest/gtest.h>

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
