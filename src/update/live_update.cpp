#include "update/live_update.h"

#include <cstring>
#include <cwchar>
#include <vector>

#include "core/text.h"
#include "core/trace_log.h"
#include "platform/handles.h"
#include "update/http_answers.h"

namespace devstart {

namespace w = win;

namespace {

constexpr wchar_t kCheckLibrary[] = L"P4_UpdlinkChk.dll";
// The module path is read into this many characters; a longer path would be
// cut and name another folder.
constexpr std::size_t kModulePathChars = 256;
constexpr std::size_t kTestVersionMax = kArgumentBytes - 1;

std::wstring ToWide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }
std::u16string ToU16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }

std::wstring Hex(std::uint32_t value) {
  wchar_t text[16];
  std::swprintf(text, 16, L"0x%X", static_cast<unsigned>(value));
  return text;
}

// A configured name that leaves the program's folder is no file name.
bool IsPlainFileName(const std::wstring& name) {
  return !name.empty() && name != L"." && name != L".." && name.find_first_of(L"\\/:") == std::wstring::npos;
}

}  // namespace

// ---- the check ----------------------------------------------------------------

int CLiveUpdate::CheckUpdateDll() {
  Trace(L"CLiveUpdate::CheckUpdateDll(+)");
  int result = 0;
  for (std::wstring& base : m_strUrl_Setup) base.clear();

  Trace(L"CLiveUpdate::CheckUpdateDll() LoadLibrary");
  // By full path only: a missing staged copy must not be looked for in the
  // system folders, the current directory or PATH of a run that may be elevated.
  std::optional<std::wstring> folder = ProgramFolder();
  if (folder) {
    m_hDLL.reset(machine_.modules, LoadStaged(JoinPath(*folder, kCheckLibrary), L"CLiveUpdate::CheckUpdateDll()"));
  }
  if (!m_hDLL) {
    Trace(L"CAutoRunManager::CheckUpdateDll() m_hDLL is NULL");
    result = 4;
  } else {
    Trace(L"CLiveUpdate::CheckUpdateDll() GetProcAddress");
    auto entry = reinterpret_cast<CheckUpdlinkFn>(machine_.modules.GetProcAddress(m_hDLL.get(), "CheckUPDLINK"));
    if (!entry) {
      Trace(L"CAutoRunManager::CheckUpdateDll() pTavoP is NULL");
      result = 4;
    } else {
      result = AskCheckLibrary(entry);
    }
  }

  if (m_hDLL) {
    Trace(L"CLiveUpdate::CheckUpdateDll() FreeLibrary");
    m_hDLL.reset();
  }
  Trace(L"CLiveUpdate::CheckUpdateDll(-)");
  return result;
}

int CLiveUpdate::AskCheckLibrary(CheckUpdlinkFn entry) {
  char answers[10][kAnswerBytes] = {};
  char enabled[kArgumentBytes] = "TRUE";
  char test_version[kArgumentBytes] = {};

  std::wstring registry_version = hooks_.registry_test_version ? hooks_.registry_test_version() : L"";
  std::wstring test;
  if (!registry_version.empty()) {
    Trace(L"CAutoRunManager::CheckUpdateDll() TEST MODE (REG) ON = " + registry_version);
    test = registry_version;
  } else if (option_.pcsuite_test == 1) {
    Trace(L"CAutoRunManager::CheckUpdateDll() TEST MODE (INI) ON = " + option_.pcsuite_test_version);
    test = option_.pcsuite_test_version;
  }
  std::string test_bytes = TestVersionBytes(test);
  std::memcpy(test_version, test_bytes.data(), test_bytes.size());

  Trace(L"CLiveUpdate::CheckUpdateDll() pTavoP +");
  GuardedCall call = machine_.modules.CallGuarded([&] {
    return entry(answers[0], answers[1], answers[2], answers[3], answers[4], answers[5], answers[6], answers[7],
                 answers[8], answers[9], enabled, test_version);
  });
  int answer = call.raised ? 1 : call.result;
  if (call.raised) {
    Trace(L"CLiveUpdate::CheckUpdateDll() pTavoP crashed!!! e.ErrorMessage() is");
    Trace(ExceptionText(call));
  }
  Trace(L"CLiveUpdate::CheckUpdateDll() pTavoP -");
  if (answer == 0) {
    Trace(L"CAutoRunManager::CheckUpdateDll() pTavoP return FAIL");
    return 4;
  }

  m_strVersion = FromAnswer(answers[0]);
  for (std::size_t i = 0; i < m_strUrl_DLL.size(); ++i) m_strUrl_DLL[i] = FromAnswer(answers[1 + i]);
  for (std::size_t i = 0; i < m_strUrl_Setup.size(); ++i) m_strUrl_Setup[i] = FromAnswer(answers[7 + i]);

  Trace(L"CAutoRunManager::CheckUpdateDll() m_strVersion = " + m_strVersion);
  for (std::size_t i = 0; i < m_strUrl_DLL.size(); ++i) {
    Trace(L"CAutoRunManager::CheckUpdateDll() m_strUrl_DLL[" + std::to_wstring(i) + L"] = " + m_strUrl_DLL[i]);
  }
  for (std::size_t i = 0; i < m_strUrl_Setup.size(); ++i) {
    Trace(L"CAutoRunManager::CheckUpdateDll() m_strUrl_Setup[" + std::to_wstring(i) + L"] = " + m_strUrl_Setup[i]);
  }
  Trace(L"CAutoRunManager::CheckUpdateDll() m_strSubUrl" + m_strSubUrl);

  Trace(L"CLiveUpdate::CheckUpdateDll() InternetOpen");
  IInternet& net = machine_.internet;
  UniqueInternet session = OpenSession(net);
  if (!session) return 2;

  // A library address counts only when it answers 2xx: an error page must
  // not win over a working later mirror and become the download. A setup
  // base's root may answer otherwise, so opening is enough there.
  auto first_reachable = [&](const auto& urls, bool need_success, std::wstring* selected) {
    for (const std::wstring& url : urls) {
      if (url.empty()) continue;
      OpenedUrl probe = OpenFollowingRedirects(net, session.get(), url, w::kInternetFlagReload);
      if (probe.request && (!need_success || AnsweredSuccess(net, probe.request.get()))) {
        *selected = url;
        return;
      }
    }
  };
  first_reachable(m_strUrl_DLL, true, &m_strSelUrl_DLL);
  first_reachable(m_strUrl_Setup, false, &m_strSelUrl_Setup);
  return 0;
}

std::wstring CLiveUpdate::FromAnswer(const char* buffer) const {
  // A library may fill all 260 bytes without a terminator.
  std::size_t n = 0;
  while (n < kAnswerBytes && buffer[n] != '\0') ++n;
  if (n == 0) return L"";
  return ToWide(machine_.system.MultiByteToWideChar(w::kCpThreadAcp, std::string(buffer, n)));
}

std::string CLiveUpdate::TestVersionBytes(const std::wstring& version) const {
  // Shorten by whole characters (a surrogate pair counts as one) until the
  // converted text fits, so a double-byte character is never split.
  std::u16string text = ToU16(version);
  for (;;) {
    std::string bytes = machine_.system.WideCharToMultiByte(w::kCpThreadAcp, text);
    if (bytes.size() <= kTestVersionMax) return bytes;
    std::size_t cut = text.size() - 1;
    if (cut > 0 && text[cut] >= 0xDC00 && text[cut] <= 0xDFFF && text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF) {
      --cut;
    }
    text.resize(cut);
  }
}

// The message a `_com_error` would give for its HRESULT; for any other
// exception, the same "Unknown error" form with the exception's code.
std::wstring CLiveUpdate::ExceptionText(const GuardedCall& call) const {
  if (!call.com_hresult) return L"Unknown error " + Hex(call.code);
  auto hr = static_cast<std::uint32_t>(*call.com_hresult);
  if (hr >= 0x80040200u && hr <= 0x8004FFFFu) return L"IDispatch error #" + std::to_wstring(hr - 0x80040200u);
  std::optional<std::wstring> text = machine_.system.FormatMessage(hr);
  if (!text || text->empty()) return L"Unknown error " + Hex(hr);
  if (text->back() == L'\n') {
    text->pop_back();
    if (!text->empty() && text->back() == L'\r') text->pop_back();
  }
  return *text;
}

int CLiveUpdate::isUpdateNewer() const {
  int current = hooks_.compare_version ? hooks_.compare_version(option_.swupdate_version, m_strVersion) : 1;
  return current ? 0 : 1;
}

// ---- paths ----------------------------------------------------------------------

std::optional<std::wstring> CLiveUpdate::ProgramFolder() const {
  std::wstring module = machine_.files.GetModuleFileName();
  if (module.empty() || module.size() >= kModulePathChars) return std::nullopt;
  std::size_t slash = module.rfind(L'\\');
  if (slash == std::wstring::npos) return std::nullopt;
  return module.substr(0, slash);
}

std::optional<std::wstring> CLiveUpdate::UpdateLibraryPath() const {
  if (!IsPlainFileName(option_.swupdate_file_name)) return std::nullopt;
  std::optional<std::wstring> folder = ProgramFolder();
  if (!folder) return std::nullopt;
  return JoinPath(*folder, option_.swupdate_file_name);
}

// ---- the staged libraries ----------------------------------------------------------

void CLiveUpdate::CheckStagedLibraries(char drive) {
  std::optional<std::wstring> folder = ProgramFolder();
  if (!folder) return;
  // No letter names no CD: nothing can be compared, so nothing is loaded.
  bool letter = (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
  std::wstring cd = letter ? std::wstring(1, static_cast<wchar_t>(drive)) + L":\\" : L"";
  staged_.Check(JoinPath(*folder, kCheckLibrary), letter ? cd + kCheckLibrary : L"");
  if (std::optional<std::wstring> update = UpdateLibraryPath()) {
    staged_.Check(*update, letter ? cd + option_.swupdate_file_name : L"");
  }
}

void CLiveUpdate::ReleaseUpdateLibrary() {
  if (std::optional<std::wstring> path = UpdateLibraryPath()) staged_.Release(*path);
}

void CLiveUpdate::UpdateLibraryDownloaded() {
  if (std::optional<std::wstring> path = UpdateLibraryPath()) staged_.Downloaded(*path);
}

Handle CLiveUpdate::LoadStaged(const std::wstring& path, const std::wstring& who) {
  if (!staged_.MayLoad(path)) return 0;
  // Guarded: a library that raises while it attaches fails its load, as one
  // that is missing would, instead of ending the run.
  GuardedLoad load = machine_.modules.LoadLibraryGuarded(path);
  staged_.Release(path);
  if (load.raised) {
    Trace(who + L" LoadLibrary raised exception " + Hex(load.code));
  } else if (!load.module && load.error != w::kErrorModNotFound) {
    // Wine passes the status of an exception in the entry point on as the error.
    Trace(who + L" LoadLibrary fails, error " + (load.error > 0xFFFF ? Hex(load.error) : std::to_wstring(load.error)));
  }
  return load.module;
}

// ---- the hand-off ------------------------------------------------------------------

int CLiveUpdate::startSWUpdate() {
  Trace(L"CLiveUpdate::startSWUpdate(+)");
  IModules& modules = machine_.modules;
  // Exactly the file the download writes: missing there is missing.
  std::optional<std::wstring> path = UpdateLibraryPath();
  if (!m_hUpdateDLL && path) m_hUpdateDLL.reset(modules, LoadStaged(*path, L"CLiveUpdate::startSWUpdate()"));
  if (!m_hUpdateDLL) {
    Trace(L"CLiveUpdate::startSWUpdate() m_hUpdateDLL is NULL");
  } else if (auto update = reinterpret_cast<StartUpdateFn>(modules.GetProcAddress(m_hUpdateDLL.get(), "StartUpdate"));
             !update) {
    Trace(L"CLiveUpdate::startSWUpdate() pUpdate is NULL");
  } else {
    if (std::optional<std::wstring> folder = ProgramFolder()) machine_.files.SetCurrentDirectory(*folder);
    update();
  }
  if (m_hUpdateDLL) {
    Trace(L"CLiveUpdate::startSWUpdate() FreeLibrary");
    m_hUpdateDLL.reset();
  }
  Trace(L"CLiveUpdate::startSWUpdate(-)");
  return 1;
}

}  // namespace devstart
