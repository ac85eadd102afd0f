// The local run's staged libraries against the CD they came from: what is
// loaded, what is refused and the one trace line that says why, the hold
// from the check to the load, and a library whose entry point fails.
#include <gtest/gtest.h>

#include <algorithm>

#include "unit/traced_pc.h"
#include "update/live_update.h"

namespace devstart {
namespace {

using Lines = std::vector<std::wstring>;

const std::wstring kCheck = L"C:\\Temp\\E\\P4_UpdlinkChk.dll";
const std::wstring kUpdate = L"C:\\Temp\\E\\P4_Updlink.dll";

// The copy staged into C:\Temp\E from the CD in E:, both libraries the same
// on each; the check offers 1.0.2 (not newer) and one library address.
class Staged : public World {
 public:
  Staged() {
    pc.files.module_path = L"C:\\Temp\\E\\Devstart.exe";
    pc.files.current_directory = L"C:\\Temp\\E";
    for (const wchar_t* root : {L"C:\\Temp\\E\\", L"E:\\"}) {
      pc.files.Put(std::wstring(root) + L"P4_UpdlinkChk.dll", sim::kCheckLibraryContent);
      pc.files.Put(std::wstring(root) + L"P4_Updlink.dll", "StartUpdate:staged");
    }
    option.swupdate_file_name = L"P4_Updlink.dll";
    option.swupdate_version = L"1.0.2";
    pc.modules.check.answers = {"1.0.2", "http://u/d0", "", "", "", "", "", "", "", ""};
    pc.internet.answers["http://u/d0"] = {200, "StartUpdate:newer"};
  }
  CLiveUpdate& live() { return manager().GetLiveUpdate(); }
  int Count(const std::wstring& line) const {
    std::vector<std::wstring> all = Lines();
    return static_cast<int>(std::count(all.begin(), all.end(), line));
  }
  int StagedLines() const {
    std::vector<std::wstring> all = Lines();
    return static_cast<int>(std::count_if(all.begin(), all.end(), [](const std::wstring& l) {
      return l.rfind(L"CLiveUpdate::CheckStagedLibraries()", 0) == 0;
    }));
  }
};

TEST(StagedLibraries, CheckLibraryLoadedOnlyWhenItIsTheCdsOwn) {
  struct Row {
    int line;
    std::function<void(Staged&)> shape;
    char drive;
    int result;
    Lines loads;
    const wchar_t* why;  // the one line that explains, "" for none
  };
  const Row rows[] = {
      {__LINE__, [](Staged&) {}, 'E', 0, {kCheck}, L""},
      {__LINE__, [](Staged& s) { s.pc.files.Put(kCheck, "check library, another build"); }, 'E', 4, {},
       L"CLiveUpdate::CheckStagedLibraries() C:\\Temp\\E\\P4_UpdlinkChk.dll differs from the CD's copy, it is not "
       L"loaded"},
      {__LINE__, [](Staged& s) { s.pc.files.DeleteFile(L"E:\\P4_UpdlinkChk.dll"); }, 'E', 4, {},
       L"CLiveUpdate::CheckStagedLibraries() E:\\P4_UpdlinkChk.dll cannot be read, "
       L"C:\\Temp\\E\\P4_UpdlinkChk.dll is not loaded"},
      {__LINE__, [](Staged& s) { s.pc.files.DeleteFile(kCheck); }, 'E', 4, {},
       L"CLiveUpdate::CheckStagedLibraries() C:\\Temp\\E\\P4_UpdlinkChk.dll cannot be opened, it is not loaded"},
      {__LINE__, [](Staged&) {}, 0, 4, {},
       L"CLiveUpdate::CheckStagedLibraries() no CD to compare with, C:\\Temp\\E\\P4_UpdlinkChk.dll is not loaded"},
      // The CD's own library whose entry point fails: the run goes on as
      // without a check library.
      {__LINE__,
       [](Staged& s) {
         s.pc.files.Put(kCheck, sim::kRaisingLibraryContent);
         s.pc.files.Put(L"E:\\P4_UpdlinkChk.dll", sim::kRaisingLibraryContent);
       },
       'E', 4, {kCheck}, L"CLiveUpdate::CheckUpdateDll() LoadLibrary raised exception 0xC0000005"},
      {__LINE__,
       [](Staged& s) {
         s.pc.files.Put(kCheck, sim::kFailingLibraryContent);
         s.pc.files.Put(L"E:\\P4_UpdlinkChk.dll", sim::kFailingLibraryContent);
       },
       'E', 4, {kCheck}, L"CLiveUpdate::CheckUpdateDll() LoadLibrary fails, error 1114"},
      {__LINE__,
       [](Staged& s) {
         s.pc.files.Put(kCheck, sim::kLoaderCaughtLibraryContent);
         s.pc.files.Put(L"E:\\P4_UpdlinkChk.dll", sim::kLoaderCaughtLibraryContent);
       },
       'E', 4, {kCheck}, L"CLiveUpdate::CheckUpdateDll() LoadLibrary fails, error 0xC0000005"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Staged s;
    row.shape(s);
    s.Mark();
    s.live().CheckStagedLibraries(row.drive);
    EXPECT_EQ(s.live().CheckUpdateDll(), row.result);
    EXPECT_EQ(s.pc.modules.loads, row.loads);
    EXPECT_EQ(s.pc.modules.loaded_libraries(), 0);
    if (*row.why) {
      EXPECT_EQ(s.Count(row.why), 1);
      EXPECT_EQ(s.Count(L"CAutoRunManager::CheckUpdateDll() m_hDLL is NULL"), 1);
    } else {
      EXPECT_EQ(s.StagedLines(), 0);
    }
  }
}

TEST(StagedLibraries, UpdateLibraryCheckedUnlessThisRunDownloadedIt) {
  struct Row {
    int line;
    std::function<void(Staged&)> shape;
    std::string offered;  // the version the check offers
    Lines runs;
    const wchar_t* why;
  };
  const wchar_t* differs =
      L"CLiveUpdate::CheckStagedLibraries() C:\\Temp\\E\\P4_Updlink.dll differs from the CD's copy, it is not loaded";
  const Row rows[] = {
      {__LINE__, [](Staged&) {}, "1.0.2", {L"staged C:\\Temp\\E"}, L""},
      {__LINE__, [](Staged& s) { s.pc.files.Put(kUpdate, "StartUpdate:planted"); }, "1.0.2", {}, differs},
      {__LINE__, [](Staged& s) { s.pc.files.DeleteFile(L"E:\\P4_Updlink.dll"); }, "1.0.2", {},
       L"CLiveUpdate::CheckStagedLibraries() E:\\P4_Updlink.dll cannot be read, C:\\Temp\\E\\P4_Updlink.dll is not "
       L"loaded"},
      // Downloaded by this run over a staged copy that was refused: loaded.
      {__LINE__, [](Staged& s) { s.pc.files.Put(kUpdate, "StartUpdate:planted"); }, "1.0.3", {L"newer C:\\Temp\\E"},
       differs},
      // The download fails: the staged copy is compared again and still is the CD's.
      {__LINE__, [](Staged& s) { s.pc.internet.answers["http://u/d0"] = {404, "not here"}; }, "1.0.3",
       {L"staged C:\\Temp\\E"}, L""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Staged s;
    row.shape(s);
    s.pc.modules.check.answers[0] = row.offered;
    s.Mark();
    s.live().CheckStagedLibraries('E');
    s.live().CheckUpdateDll();
    EXPECT_EQ(s.manager().StepSWUpate(), 0);
    EXPECT_EQ(s.pc.modules.update_runs, row.runs);
    if (*row.why) {
      EXPECT_EQ(s.Count(row.why), 1);
    } else {
      EXPECT_EQ(s.StagedLines(), 0);
    }
    EXPECT_EQ(s.Count(L"CLiveUpdate::startSWUpdate() m_hUpdateDLL is NULL"), row.runs.empty() ? 1 : 0);
  }
}

// Nobody can change or delete a checked library until it is loaded; then,
// and when the staging folder is emptied, it is let go.
TEST(StagedLibraries, HeldFromTheCheckUntilItsLoad) {
  Staged s;
  auto writable = [&s](const std::wstring& path) {
    HandleResult h = s.pc.files.CreateFile(path, win::kGenericWrite, win::kFileShareRead | win::kFileShareWrite,
                                           win::kOpenExisting, win::kFileAttributeNormal);
    if (h.handle != kInvalidHandle) s.pc.kernel.CloseHandle(h.handle);
    return h.error;
  };
  s.live().CheckStagedLibraries('E');
  EXPECT_EQ(writable(kCheck), 32u);
  EXPECT_EQ(writable(kUpdate), 32u);
  EXPECT_FALSE(s.pc.files.DeleteFile(kCheck).ok);
  s.live().CheckUpdateDll();
  EXPECT_EQ(writable(kCheck), 0u);
  EXPECT_EQ(writable(kUpdate), 32u);
  s.live().ReleaseStagedLibraries();
  EXPECT_EQ(writable(kUpdate), 0u);
}

}  // namespace
}  // namespace devstart
