// The update client on the simulated PC: the check through the check
// library, the reachability probes, the download of the update library, the
// hand-off and the two update steps.
#include <gtest/gtest.h>

#include <algorithm>

#include "unit/traced_pc.h"
#include "update/live_update.h"

namespace devstart {
namespace {

const std::wstring kFolder = L"C:\\Temp\\E";
const std::wstring kTarget = L"C:\\Temp\\E\\P4_Updlink.dll";
const std::wstring kPcSuiteKey = L"HKLM\\SOFTWARE\\Wow6432Node\\Tavo Electronics\\Tavo PC Suite IV\\1.0";
constexpr int kUnreachable = 0;

// The staged copy in C:\Temp\E with its check library and update library;
// the check library offers version 1.0.3, five library addresses and three
// setup bases, all answering 200 unless a row says otherwise.
class Update : public World {
 public:
  Update() {
    pc.files.module_path = kFolder + L"\\Devstart.exe";
    pc.files.current_directory = kFolder;
    pc.files.special_folders[win::kCsidlWindows] = L"C:\\windows";
    pc.files.Put(kFolder + L"\\P4_UpdlinkChk.dll", sim::kCheckLibraryContent);
    pc.files.Put(kTarget, "StartUpdate:staged");
    option.swupdate_file_name = L"P4_Updlink.dll";
    option.swupdate_version = L"1.0.2";
    pc.modules.check.answers = {"1.0.3", "http://u/d0", "http://u/d1", "http://u/d2", "http://u/d3", "http://u/d4",
                                "", "http://u/s0", "http://u/s1", "http://u/s2"};
    for (const char* u : {"http://u/d0", "http://u/d1", "http://u/d2", "http://u/d3", "http://u/d4", "http://u/s0",
                          "http://u/s1", "http://u/s2"}) {
      pc.internet.answers[u] = {200, "StartUpdate:newer"};
    }
  }
  CLiveUpdate& live() { return manager().GetLiveUpdate(); }
  std::string Target() const { return pc.files.Get(kTarget).value_or("<missing>"); }
};

using Lines = std::vector<std::wstring>;

// The registry's test version, asked for on every check that reaches the library.
const Lines kNoRegistryTestVersion = {
    L"RegManager::getDebugDownloadVersion(+)",
    L"RegManager::getDebugDownloadVersion()SOFTWARE\\Tavo Electronics\\Tavo USB Autorun",
    L"RegManager::getDebugDownloadVersion() Reg Open Fail!!", L"RegManager::getDebugDownloadVersion(-)"};

TEST(UpdateCheck, TraceAndResultPerOutcome) {
  const Lines kEnd = {L"CLiveUpdate::CheckUpdateDll() FreeLibrary", L"CLiveUpdate::CheckUpdateDll(-)"};
  // A library that answered nothing, a session, and the end.
  const Lines kEmptyAnswers = {
      L"CAutoRunManager::CheckUpdateDll() m_strVersion = ", L"CAutoRunManager::CheckUpdateDll() m_strUrl_DLL[0] = ",
      L"CAutoRunManager::CheckUpdateDll() m_strUrl_DLL[1] = ", L"CAutoRunManager::CheckUpdateDll() m_strUrl_DLL[2] = ",
      L"CAutoRunManager::CheckUpdateDll() m_strUrl_DLL[3] = ", L"CAutoRunManager::CheckUpdateDll() m_strUrl_DLL[4] = ",
      L"CAutoRunManager::CheckUpdateDll() m_strUrl_Setup[0] = ",
      L"CAutoRunManager::CheckUpdateDll() m_strUrl_Setup[1] = ",
      L"CAutoRunManager::CheckUpdateDll() m_strUrl_Setup[2] = ",
      L"CAutoRunManager::CheckUpdateDll() m_strSubUrl/TavoPCSuite4/Autorun/TavoPCSuiteIV_Setup.exe",
      L"CLiveUpdate::CheckUpdateDll() InternetOpen", kEnd[0], kEnd[1]};
  auto then = [](Lines first, const Lines& rest) {
    first.insert(first.end(), rest.begin(), rest.end());
    return first;
  };
  struct Row {
    int line;
    std::function<void(Update&)> shape;
    int result;
    Lines lines;  // after "(+)" and "LoadLibrary"
  };
  const Row rows[] = {
      {__LINE__, [](Update& u) { u.pc.files.DeleteFile(kFolder + L"\\P4_UpdlinkChk.dll"); }, 4,
       {L"CAutoRunManager::CheckUpdateDll() m_hDLL is NULL", L"CLiveUpdate::CheckUpdateDll(-)"}},
      {__LINE__, [](Update& u) { u.pc.files.Put(kFolder + L"\\P4_UpdlinkChk.dll", "other"); }, 4,
       then({L"CLiveUpdate::CheckUpdateDll() GetProcAddress", L"CAutoRunManager::CheckUpdateDll() pTavoP is NULL"},
            kEnd)},
      {__LINE__, [](Update& u) { u.pc.modules.check.result = 0; }, 4,
       then({L"CLiveUpdate::CheckUpdateDll() GetProcAddress", L"CLiveUpdate::CheckUpdateDll() pTavoP +",
             L"CLiveUpdate::CheckUpdateDll() pTavoP -", L"CAutoRunManager::CheckUpdateDll() pTavoP return FAIL"},
            kEnd)},
      // A session that cannot be opened ends the check after the answers.
      {__LINE__,
       [](Update& u) {
         u.pc.internet.session_fails = true;
         u.pc.modules.check.answers = std::vector<std::string>(10);
       },
       2,
       then({L"CLiveUpdate::CheckUpdateDll() GetProcAddress", L"CLiveUpdate::CheckUpdateDll() pTavoP +",
             L"CLiveUpdate::CheckUpdateDll() pTavoP -"},
            kEmptyAnswers)},
      // A C++ exception of another compiler: logged with the system's text
      // of its error, and the check goes on as if the library had succeeded.
      {__LINE__,
       [](Update& u) {
         u.pc.modules.check.raises = win::kMsvcCppException;
         u.pc.modules.check.com_hresult = static_cast<std::int32_t>(0x80004005u);
         u.pc.modules.check.result = 0;
         u.pc.modules.check.answers = std::vector<std::string>(10);
       },
       0,
       then({L"CLiveUpdate::CheckUpdateDll() GetProcAddress", L"CLiveUpdate::CheckUpdateDll() pTavoP +",
             L"CLiveUpdate::CheckUpdateDll() pTavoP crashed!!! e.ErrorMessage() is", L"Unspecified error",
             L"CLiveUpdate::CheckUpdateDll() pTavoP -"},
            kEmptyAnswers)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Update u;
    row.shape(u);
    u.Mark();
    EXPECT_EQ(u.live().CheckUpdateDll(), row.result);
    Lines expected = {L"CLiveUpdate::CheckUpdateDll(+)", L"CLiveUpdate::CheckUpdateDll() LoadLibrary"};
    for (const std::wstring& line : row.lines) {
      if (line == L"CLiveUpdate::CheckUpdateDll() pTavoP +") {
        expected.insert(expected.end(), kNoRegistryTestVersion.begin(), kNoRegistryTestVersion.end());
      }
      expected.push_back(line);
    }
    EXPECT_EQ(u.Lines(), expected);
    EXPECT_EQ(u.pc.modules.loads, Lines{kFolder + L"\\P4_UpdlinkChk.dll"});
    EXPECT_EQ(u.pc.modules.loaded_libraries(), 0);
    if (row.result == 4) { EXPECT_TRUE(u.pc.internet.requests.empty()); }
  }
}

TEST(UpdateCheck, ExceptionTextAsTheThrowersCatchWouldShowIt) {
  struct Row {
    std::uint32_t code;
    std::optional<std::int32_t> hresult;
    const wchar_t* text;
  };
  const Row rows[] = {
      {0xE06D7363u, static_cast<std::int32_t>(0x80004005u), L"Unspecified error"},
      {0xE06D7363u, static_cast<std::int32_t>(0x80040205u), L"IDispatch error #5"},
      {0xE06D7363u, static_cast<std::int32_t>(0x80070005u), L"Unknown error 0x80070005"},
      {0xE06D7363u, std::nullopt, L"Unknown error 0xE06D7363"},
      {0xC0000005u, std::nullopt, L"Unknown error 0xC0000005"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    Update u;
    u.pc.modules.check.raises = row.code;
    u.pc.modules.check.com_hresult = row.hresult;
    EXPECT_EQ(u.live().CheckUpdateDll(), 0);
    Lines lines = u.Lines();
    auto crashed = std::find(lines.begin(), lines.end(), L"CLiveUpdate::CheckUpdateDll() pTavoP crashed!!! e.ErrorMessage() is");
    ASSERT_NE(crashed, lines.end());
    ASSERT_NE(crashed + 1, lines.end());
    EXPECT_EQ(crashed[1], row.text);
  }
}

TEST(UpdateCheck, TestModeRegistryWinsAndIsCutWithoutSplittingACharacter) {
  struct Row {
    int line;
    std::wstring registry, ini;
    std::string sent;
    const wchar_t* mode_line;
  };
  const Row rows[] = {
      {__LINE__, L"", L"", "", nullptr},
      {__LINE__, L"2.0.0.1", L"9.9", "2.0.0.1", L"CAutoRunManager::CheckUpdateDll() TEST MODE (REG) ON = 2.0.0.1"},
      {__LINE__, L"", L"1.2.3", "1.2.3", L"CAutoRunManager::CheckUpdateDll() TEST MODE (INI) ON = 1.2.3"},
      {__LINE__, L"", L"1234567890123456789012", "1234567890123456789",
       L"CAutoRunManager::CheckUpdateDll() TEST MODE (INI) ON = 1234567890123456789012"},
      // 17 bytes and one double-byte character make 19; a second would make 21.
      {__LINE__, L"12345678901234567\u4E2D\u6587", L"", "12345678901234567\xCE\x2D",
       L"CAutoRunManager::CheckUpdateDll() TEST MODE (REG) ON = 12345678901234567\u4E2D\u6587"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Update u;
    u.pc.system.double_byte_ansi = true;
    if (!row.registry.empty()) {
      u.pc.registry.PutString(L"HKLM\\SOFTWARE\\Wow6432Node\\Tavo Electronics\\Tavo USB Autorun", L"debug_mode",
                              row.registry);
    }
    u.option.pcsuite_test = row.ini.empty() ? 0 : 1;
    u.option.pcsuite_test_version = row.ini;
    u.live().CheckUpdateDll();
    ASSERT_EQ(u.pc.modules.check.calls.size(), 1u);
    EXPECT_EQ(u.pc.modules.check.calls[0], std::make_pair(std::string("TRUE"), row.sent));
    Lines modes;
    for (const auto& l : u.Lines()) {
      if (l.find(L"TEST MODE") != std::wstring::npos) modes.push_back(l);
    }
    EXPECT_EQ(modes, row.mode_line ? Lines{row.mode_line} : Lines{});
  }
}

TEST(UpdateCheck, AnswersAreReadAtMost260Bytes) {
  Update u;
  u.pc.modules.check.answers[0] = std::string(260, '7');
  u.pc.modules.check.answers[1] = "http://u/d0";
  EXPECT_EQ(u.live().CheckUpdateDll(), 0);
  EXPECT_EQ(u.live().Version(), std::wstring(260, L'7'));
  EXPECT_EQ(u.live().LibraryUrls()[0], L"http://u/d0");
}

TEST(UpdateCheck, ProbesPickTheFirstReachableAddresses) {
  struct Row {
    int line;
    std::vector<int> dll, setup;  // status per address; kUnreachable: no connection
    std::wstring sel_dll, sel_setup;
  };
  const Row rows[] = {
      {__LINE__, {0, 0, 0, 0, 0}, {0, 200, 200}, L"kept", L"http://u/s1"},
      {__LINE__, {404, 200, 200, 200, 200}, {404, 200, 200}, L"http://u/d1", L"http://u/s0"},
      {__LINE__, {500, 0, 204, 200, 200}, {0, 0, 0}, L"http://u/d2", L"kept"},
      {__LINE__, {200, 200, 200, 200, 200}, {200, 200, 200}, L"http://u/d0", L"http://u/s0"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Update u;
    for (int i = 0; i < 5; ++i) {
      auto& a = u.pc.internet.answers["http://u/d" + std::to_string(i)];
      a.status = row.dll[i];
      a.unreachable = row.dll[i] == kUnreachable;
    }
    for (int i = 0; i < 3; ++i) {
      auto& a = u.pc.internet.answers["http://u/s" + std::to_string(i)];
      a.status = row.setup[i];
      a.unreachable = row.setup[i] == kUnreachable;
    }
    u.live().SelectLibraryUrl(L"kept");
    u.live().SelectSetupUrl(L"kept");
    EXPECT_EQ(u.live().CheckUpdateDll(), 0);
    EXPECT_EQ(u.live().SelectedLibraryUrl(), row.sel_dll);
    EXPECT_EQ(u.live().SelectedSetupUrl(), row.sel_setup);
    EXPECT_EQ(u.pc.internet.open_handles(), 0);
    EXPECT_EQ(u.pc.internet.agents, std::vector<std::string>{"HTTP File Transfer"});
    // INTERNET_FLAG_RELOAD, and no automatic redirects: the probe follows
    // them itself, a few at most.
    for (std::uint32_t flags : u.pc.internet.open_flags) EXPECT_EQ(flags, 0x80200000u);
  }
}

// A mirror that redirects in a loop or off the web is passed over, not
// followed for ever.
TEST(UpdateCheck, RedirectingMirrorsArePassedOver) {
  const struct {
    int line;
    std::string redirect;
    std::wstring selected;
  } rows[] = {
      {__LINE__, "http://u/d0", L"http://u/d1"},
      {__LINE__, "file:///C:/x.dll", L"http://u/d1"},
      {__LINE__, "/d2", L"http://u/d0"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    Update u;
    for (int i = 0; i < 5; ++i) u.pc.modules.check.answers[1 + i] = "http://u/d" + std::to_string(i);
    for (int i = 0; i < 5; ++i) u.pc.internet.answers["http://u/d" + std::to_string(i)].status = 200;
    u.pc.internet.answers["http://u/d0"].redirect = row.redirect;
    EXPECT_EQ(u.live().CheckUpdateDll(), 0);
    EXPECT_EQ(u.live().SelectedLibraryUrl(), row.selected);
    EXPECT_EQ(u.pc.internet.open_handles(), 0);
  }
}

TEST(UpdateCheck, SessionHasBoundedTimeouts) {
  Update u;
  u.live().CheckUpdateDll();
  ASSERT_EQ(u.pc.internet.options.size(), 2u);
  EXPECT_TRUE(u.pc.internet.options[0].on_session);
  EXPECT_EQ(u.pc.internet.options[0].option, 2u);  // connect
  EXPECT_EQ(u.pc.internet.options[0].value, 10000u);
  EXPECT_EQ(u.pc.internet.options[1].option, 6u);  // receive
  EXPECT_EQ(u.pc.internet.options[1].value, 30000u);
}

TEST(UpdateDownload, TargetIsReplacedOnlyByACompleteDownload) {
  struct Row {
    int line;
    std::function<void(Update&, sim::HttpAnswer&)> shape;
    int result;
    std::string target;
    Lines lines;  // after "(+)"
  };
  const Row rows[] = {
      {__LINE__, [](Update&, sim::HttpAnswer&) {}, 1, "StartUpdate:newer", {}},
      {__LINE__, [](Update&, sim::HttpAnswer& a) { a.no_length = true; }, 1, "StartUpdate:newer", {}},
      {__LINE__, [](Update& u, sim::HttpAnswer&) { u.pc.files.DeleteFile(kTarget); }, 1, "StartUpdate:newer", {}},
      {__LINE__, [](Update& u, sim::HttpAnswer&) { u.live().SelectLibraryUrl(L""); }, 0, "StartUpdate:staged",
       {L"CLiveUpdate::DownloadUrl() no address to download from"}},
      {__LINE__, [](Update&, sim::HttpAnswer& a) { a.unreachable = true; }, 0, "StartUpdate:staged",
       {L"CLiveUpdate::DownloadUrl() InternetOpenUrl fails"}},
      {__LINE__, [](Update&, sim::HttpAnswer& a) { a.status = 404; }, 0, "StartUpdate:staged",
       {L"CLiveUpdate::DownloadUrl() HTTP status 404"}},
      {__LINE__, [](Update&, sim::HttpAnswer& a) { a.content_length = 40; }, 0, "StartUpdate:staged",
       {L"CLiveUpdate::DownloadUrl() received 17 of 40 bytes"}},
      {__LINE__, [](Update&, sim::HttpAnswer& a) { a.read_error_at = 0; }, 0, "StartUpdate:staged",
       {L"CLiveUpdate::DownloadUrl() InternetReadFile fails"}},
      {__LINE__,
       [](Update&, sim::HttpAnswer& a) {
         a.no_length = true;
         a.read_error_at = 0;
       },
       0, "StartUpdate:staged", {L"CLiveUpdate::DownloadUrl() InternetQueryDataAvailable fails"}},
      {__LINE__, [](Update& u, sim::HttpAnswer&) { u.pc.files.SetAttributes(kTarget, win::kFileAttributeReadonly); },
       0, "StartUpdate:staged", {L"CLiveUpdate::DownloadUrl() hFile is INVALID_HANDLE_VALUE"}},
      {__LINE__, [](Update& u, sim::HttpAnswer&) { u.pc.internet.session_fails = true; }, 0, "StartUpdate:staged",
       {L"CLiveUpdate::DownloadUrl() hInternet is NULL"}},
      {__LINE__, [](Update&, sim::HttpAnswer& a) { a.status = 206; }, 0, "StartUpdate:staged",
       {L"CLiveUpdate::DownloadUrl() HTTP status 206"}},
      {__LINE__, [](Update&, sim::HttpAnswer& a) { a.content_length = 200000000; }, 0, "StartUpdate:staged",
       {L"CLiveUpdate::DownloadUrl() the answer announces 200000000 bytes"}},
      {__LINE__,
       [](Update&, sim::HttpAnswer& a) {
         a.endless = true;
         a.no_length = true;
       },
       0, "StartUpdate:staged", {L"CLiveUpdate::DownloadUrl() more than 134217728 bytes"}},
      {__LINE__,
       [](Update& u, sim::HttpAnswer& a) {
         a.endless = true;
         a.no_length = true;
         a.ms_per_read = 1000;
         u.pc.internet.clock = &u.pc.system.tick;
       },
       0, "StartUpdate:staged", {L"CLiveUpdate::DownloadUrl() no end after 600 s"}},
      {__LINE__, [](Update&, sim::HttpAnswer& a) { a.redirect = "http://u/d1"; }, 0, "StartUpdate:staged",
       {L"CLiveUpdate::DownloadUrl() redirected too often or away from the web"}},
      {__LINE__, [](Update&, sim::HttpAnswer& a) { a.redirect = "file:///C:/Temp/E/P4_Updlink.dll"; }, 0,
       "StartUpdate:staged", {L"CLiveUpdate::DownloadUrl() redirected too often or away from the web"}},
      {__LINE__, [](Update&, sim::HttpAnswer& a) { a.redirect = "/d2"; }, 1, "StartUpdate:newer", {}},
      // A module path that a 256-character buffer would cut.
      {__LINE__,
       [](Update& u, sim::HttpAnswer&) { u.pc.files.module_path = L"C:\\" + std::wstring(250, L'x') + L"\\D.exe"; },
       0, "StartUpdate:staged", {L"CLiveUpdate::DownloadUrl() no target path"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Update u;
    u.live().SelectLibraryUrl(L"http://u/d1");
    row.shape(u, u.pc.internet.answers["http://u/d1"]);
    u.Mark();
    const std::size_t open_before = u.pc.files.open_files.size();
    EXPECT_EQ(u.live().DownloadUrl(), row.result);
    EXPECT_EQ(u.Target(), row.target);
    EXPECT_FALSE(u.pc.files.Exists(kTarget + L".download"));
    Lines expected = {L"CLiveUpdate::DownloadUrl(+)"};
    expected.insert(expected.end(), row.lines.begin(), row.lines.end());
    EXPECT_EQ(u.Lines(), expected);
    EXPECT_EQ(u.pc.internet.open_handles(), 0);
    EXPECT_EQ(u.pc.files.open_files.size(), open_before);
  }
}

TEST(UpdateDownload, ReadSizes) {
  struct Row {
    int line;
    std::size_t body;
    bool announced;
    std::vector<std::uint32_t> asked;
  };
  const Row rows[] = {
      {__LINE__, 100001, true, {100000, 1}},
      {__LINE__, 70000, false, {65536, 65536, 65536}},
      {__LINE__, 250000, false, {65536, 65536, 65536, 65536, 65536}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Update u;
    u.live().SelectLibraryUrl(L"http://u/d0");
    auto& a = u.pc.internet.answers["http://u/d0"];
    a.body = std::string(row.body, 'b');
    a.no_length = !row.announced;
    EXPECT_EQ(u.live().DownloadUrl(), 1);
    EXPECT_EQ(u.pc.internet.read_sizes, row.asked);
    EXPECT_EQ(u.Target().size(), row.body);
  }
}

TEST(UpdateVersion, NewerOnlyWhenTheCheckedVersionIsAbove) {
  struct Row {
    const wchar_t* checked;
    const wchar_t* configured;
    int newer;
  };
  for (const Row& row : {Row{L"1.0.3", L"1.0.2", 1}, Row{L"1.0.2", L"1.0.2", 0}, Row{L"1.0.10", L"1.0.9", 1},
                         Row{L"1.0.1", L"1.0.2", 0}, Row{L"", L"1.0.2", 0}, Row{L"1.0.3", L"", 0}}) {
    SCOPED_TRACE(row.checked);
    Update u;
    u.option.swupdate_version = row.configured;
    u.live().SetVersion(row.checked);
    EXPECT_EQ(u.live().isUpdateNewer(), row.newer);
  }
}

TEST(UpdateHandOff, LoadsExactlyTheStagedPath) {
  struct Row {
    int line;
    std::wstring file_name;
    std::optional<std::string> content;  // of C:\Temp\E\<file_name>
    Lines lines;                          // between "(+)" and "(-)"
    Lines runs;
  };
  const Row rows[] = {
      {__LINE__, L"P4_Updlink.dll", "StartUpdate:staged", {L"CLiveUpdate::startSWUpdate() FreeLibrary"},
       {L"staged C:\\Temp\\E"}},
      {__LINE__, L"P4_Updlink.dll", std::nullopt, {L"CLiveUpdate::startSWUpdate() m_hUpdateDLL is NULL"}, {}},
      {__LINE__, L"", std::nullopt, {L"CLiveUpdate::startSWUpdate() m_hUpdateDLL is NULL"}, {}},
      {__LINE__, L"..\\P4_Updlink.dll", std::nullopt, {L"CLiveUpdate::startSWUpdate() m_hUpdateDLL is NULL"}, {}},
      {__LINE__, L"Other.dll", "no exports",
       {L"CLiveUpdate::startSWUpdate() pUpdate is NULL", L"CLiveUpdate::startSWUpdate() FreeLibrary"}, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Update u;
    u.pc.files.DeleteFile(kTarget);
    // Another copy where a bare name's search would find it.
    u.pc.files.Put(L"C:\\windows\\system32\\" + row.file_name, "StartUpdate:system");
    if (row.content) u.pc.files.Put(kFolder + L"\\" + row.file_name, *row.content);
    u.pc.files.current_directory = L"C:\\";
    u.option.swupdate_file_name = row.file_name;
    u.Mark();
    EXPECT_EQ(u.live().startSWUpdate(), 1);
    Lines expected = {L"CLiveUpdate::startSWUpdate(+)"};
    expected.insert(expected.end(), row.lines.begin(), row.lines.end());
    expected.push_back(L"CLiveUpdate::startSWUpdate(-)");
    EXPECT_EQ(u.Lines(), expected);
    EXPECT_EQ(u.pc.modules.update_runs, row.runs);
    EXPECT_EQ(u.pc.modules.loaded_libraries(), 0);
    EXPECT_FALSE(u.live().HoldsUpdateLibrary());
  }
}

TEST(UpdateSteps, SoftwareUpdateDownloadsOnlyANewerLibrary) {
  struct Row {
    int line;
    std::string checked;
    Lines runs;
    int library_requests;
  };
  const Row rows[] = {
      {__LINE__, "1.0.3", {L"newer C:\\Temp\\E"}, 2},  // the probe, then the download
      {__LINE__, "1.0.2", {L"staged C:\\Temp\\E"}, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Update u;
    u.pc.modules.check.answers[0] = row.checked;
    u.live().CheckUpdateDll();
    EXPECT_EQ(u.manager().StepSWUpate(), 0);
    EXPECT_EQ(u.pc.modules.update_runs, row.runs);
    int n = 0;
    for (const auto& r : u.pc.internet.requests) n += r == "http://u/d0";
    EXPECT_EQ(n, row.library_requests);
  }
}

// The guide dialog's Download button is offered only when the check found a
// setup base that answers; the row's line is the one in the trace that says why.
TEST(UpdateSteps, PcSuiteDownloadIsOfferedOnlyForAReachableSetupBase) {
  struct Row {
    int line;
    std::function<void(Update&)> shape;
    bool offered;
    const wchar_t* why;
  };
  const Row rows[] = {
      {__LINE__, [](Update& u) { u.pc.files.DeleteFile(kFolder + L"\\P4_UpdlinkChk.dll"); }, false,
       L"CAutoRunManager::CheckUpdateDll() m_hDLL is NULL"},
      {__LINE__, [](Update& u) { u.pc.modules.check.result = 0; }, false,
       L"CAutoRunManager::CheckUpdateDll() pTavoP return FAIL"},
      {__LINE__,
       [](Update& u) {
         for (int i = 7; i < 10; ++i) u.pc.modules.check.answers[static_cast<std::size_t>(i)] = "";
       },
       false, L"CAutoRunManager::CheckUpdateDll() m_strUrl_Setup[0] = "},
      // Offered but none answers: the probes leave no line of their own.
      {__LINE__,
       [](Update& u) {
         for (const char* b : {"http://u/s0", "http://u/s1", "http://u/s2"}) u.pc.internet.answers[b].unreachable = true;
       },
       false, L"CAutoRunManager::CheckUpdateDll() m_strUrl_Setup[2] = http://u/s2"},
      {__LINE__, [](Update& u) { u.pc.internet.answers["http://u/s0"].unreachable = true; }, true,
       L"CAutoRunManager::CheckUpdateDll() m_strUrl_Setup[1] = http://u/s1"},
      {__LINE__, [](Update&) {}, true, L"CAutoRunManager::CheckUpdateDll() m_strUrl_Setup[0] = http://u/s0"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Update u;
    row.shape(u);
    u.Mark();
    EXPECT_EQ(u.manager().MayOfferPCSuiteDownload(), row.offered);
    Lines lines = u.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), row.why), lines.end());
    EXPECT_EQ(lines.front(), L"CLiveUpdate::CheckUpdateDll(+)");
    EXPECT_EQ(lines.back(), L"CLiveUpdate::CheckUpdateDll(-)");
  }
}

TEST(UpdateSteps, PcSuiteOpensTheSetupAddressThroughTheWindowsExplorer) {
  struct Row {
    int line;
    bool installed;
    int test;
    std::wstring selected;
    Lines lines;  // between "(+)" and "(-)"
    bool opens;
  };
  const Row rows[] = {
      {__LINE__, false, 0, L"http://u/base",
       {L"CAutoRunManager::StepPCSuite() GetUrl_Setup == http://u/base/TavoPCSuite4/Autorun/TavoPCSuiteIV_Setup.exe"},
       true},
      {__LINE__, false, 0, L"", {L"CAutoRunManager::StepPCSuite() isDownloadable_Setup is FALSE"}, false},
      {__LINE__, true, 0, L"http://u/base", {}, false},
      {__LINE__, true, 1, L"http://u/base",
       {L"CAutoRunManager::StepPCSuite() GetUrl_Setup == http://u/base/TavoPCSuite4/Autorun/TavoPCSuiteIV_Setup.exe"},
       true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Update u;
    if (row.installed) u.pc.registry.PutString(kPcSuiteKey, L"Path", L"C:\\Tavo\\");
    u.option.pcsuite_test = row.test;
    u.live().SelectSetupUrl(row.selected);
    u.Mark();
    EXPECT_EQ(u.manager().StepPCSuite(0x1234), 0);
    Lines lines;
    for (const auto& l : u.Lines()) {
      if (l.rfind(L"CAutoRunManager::StepPCSuite", 0) == 0) lines.push_back(l);
    }
    Lines expected = {L"CAutoRunManager::StepPCSuite(+)"};
    expected.insert(expected.end(), row.lines.begin(), row.lines.end());
    expected.push_back(L"CAutoRunManager::StepPCSuite(-)");
    EXPECT_EQ(lines, expected);
    ASSERT_EQ(u.pc.processes.owned_launches.size(), row.opens ? 1u : 0u);
    if (row.opens) {
      const auto& l = u.pc.processes.owned_launches[0];
      EXPECT_EQ(l.owner, 0x1234u);
      EXPECT_EQ(l.verb, L"open");
      EXPECT_EQ(l.file, L"C:\\windows\\explorer.exe");
      EXPECT_EQ(l.parameters, L"\"http://u/base/TavoPCSuite4/Autorun/TavoPCSuiteIV_Setup.exe\"");
      EXPECT_EQ(l.directory, L"");
      EXPECT_EQ(l.show, 0);
    }
  }
}

}  // namespace
}  // namespace devstart
