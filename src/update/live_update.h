// The update client in the program: asks the check library which version is
// current and where the update library and the PC suite setup can be
// fetched, downloads a newer update library beside the program and hands
// over to it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "core/option.h"
#include "platform/handles.h"
#include "platform/machine.h"
#include "update/staged_libraries.h"

#if defined(__i386__)
#define DEVSTART_STDCALL __attribute__((stdcall))
#else
#define DEVSTART_STDCALL
#endif

namespace devstart {

// The check library's entry point: version, five library addresses, one
// unused answer and three setup bases (260-byte buffers each), then "TRUE"
// and the test version (20 bytes each).
using CheckUpdlinkFn = int(DEVSTART_STDCALL*)(char*, char*, char*, char*, char*, char*, char*, char*, char*,
                                              char*, char*, char*);
// The update library's hand-off, called with the C calling convention.
using StartUpdateFn = int (*)();

constexpr std::size_t kAnswerBytes = 260;
constexpr std::size_t kArgumentBytes = 20;

// What the update client needs from the layers above it: the registry's test
// version and the program's own version comparison (1 when found >= required).
struct LiveUpdateHooks {
  std::function<std::wstring()> registry_test_version;
  std::function<int(const std::wstring& found, const std::wstring& required)> compare_version;
};

class CLiveUpdate {
 public:
  CLiveUpdate(Machine& machine, const COption& option, LiveUpdateHooks hooks)
      : machine_(machine), option_(option), hooks_(std::move(hooks)) {}

  // 0 the check ran, 2 no internet session, 4 no check library, no entry
  // point or a failure answer.
  int CheckUpdateDll();
  // 1 when the checked version is newer than the configured one.
  int isUpdateNewer() const;
  // 1 when the update library was downloaded over the staged one; on any
  // failure 0, with the staged library untouched.
  int DownloadUrl();
  // Loads the update library beside the program, calls StartUpdate, frees
  // it. Always 1.
  int startSWUpdate();
  bool isDownloadable_Setup() const { return !m_strSelUrl_Setup.empty(); }
  std::wstring GetUrl_Setup() const { return m_strSelUrl_Setup + m_strSubUrl; }

  // Where the update library lives: the program's folder and the configured
  // file name; nullopt when there is no such single path.
  std::optional<std::wstring> UpdateLibraryPath() const;
  // The test version as the check library receives it: in the thread's ANSI
  // code page, at most 19 bytes, never ending inside a character.
  std::string TestVersionBytes(const std::wstring& version) const;

  // What the last check found: the version, the library and setup
  // addresses it offered, and the first of each that answered.
  const std::wstring& Version() const { return m_strVersion; }
  const std::array<std::wstring, 5>& LibraryUrls() const { return m_strUrl_DLL; }
  const std::array<std::wstring, 3>& SetupUrls() const { return m_strUrl_Setup; }
  const std::wstring& SelectedLibraryUrl() const { return m_strSelUrl_DLL; }
  const std::wstring& SelectedSetupUrl() const { return m_strSelUrl_Setup; }
  // For a download or a comparison without a check first.
  void SetVersion(std::wstring version) { m_strVersion = std::move(version); }
  void SelectLibraryUrl(std::wstring url) { m_strSelUrl_DLL = std::move(url); }
  void SelectSetupUrl(std::wstring url) { m_strSelUrl_Setup = std::move(url); }
  // True while the update library is loaded (only inside startSWUpdate).
  bool HoldsUpdateLibrary() const { return m_hUpdateDLL.valid(); }

  // The local run, while the phone's CD is still in `drive`: compares the
  // staged check and update libraries with the CD's and holds them until
  // they are loaded; one that differs is not loaded.
  void CheckStagedLibraries(char drive);
  // Before a download writes the update library, and after it wrote it.
  void ReleaseUpdateLibrary();
  void UpdateLibraryDownloaded();
  // Before the staging folder is emptied.
  void ReleaseStagedLibraries() { staged_.ReleaseAll(); }

 private:
  int AskCheckLibrary(CheckUpdlinkFn entry);
  void FindReachable();
  std::optional<std::wstring> ProgramFolder() const;
  std::wstring FromAnswer(const char* buffer) const;
  std::wstring ExceptionText(const GuardedCall& call) const;
  // Loads a staged library by its full path, unless it was refused; a load
  // that fails for another reason than a missing file is traced.
  Handle LoadStaged(const std::wstring& path, const std::wstring& who);
  // Writes what `url` answers into `temporary`; true when every byte came.
  bool Fetch(Handle session, const std::wstring& url, const std::wstring& temporary);

  Machine& machine_;
  const COption& option_;
  LiveUpdateHooks hooks_;
  std::wstring m_strVersion;
  std::array<std::wstring, 5> m_strUrl_DLL;
  std::array<std::wstring, 3> m_strUrl_Setup;
  std::wstring m_strSelUrl_DLL;
  std::wstring m_strSelUrl_Setup;
  std::wstring m_strSubUrl = L"/TavoPCSuite4/Autorun/TavoPCSuiteIV_Setup.exe";
  // Each loaded and freed within one call.
  UniqueModule m_hDLL;
  UniqueModule m_hUpdateDLL;
  StagedLibraries staged_{machine_};
};

}  // namespace devstart
