// The steps that reach the user's goal through the update client: the
// software-update stage's download and hand-off, and the guide dialog's
// Download choice.
#include <string>

#include "core/text.h"
#include "core/trace_log.h"
#include "update/live_update.h"
#include "workflow/auto_run_manager.h"

namespace devstart {

CLiveUpdate& CAutoRunManager::GetLiveUpdate() {
  if (!live_update_) {
    LiveUpdateHooks hooks{[this] { return GetRegManager().getDebugDownloadVersion(); },
                          [](const std::wstring& found, const std::wstring& required) {
                            return CompareVersion(found, required);
                          }};
    live_update_ = std::make_shared<CLiveUpdate>(machine_, option_, std::move(hooks));
  }
  return *live_update_;
}

int CAutoRunManager::StepSWUpate() {
  Trace(L"CAutoRunManager::StepSWUpate(+)");
  CLiveUpdate& live = GetLiveUpdate();
  if (live.isUpdateNewer()) {
    // The download replaces the staged library, so it may not be held; what
    // this run fetched has no copy on the CD to be compared with.
    live.ReleaseUpdateLibrary();
    if (live.DownloadUrl() == 1) live.UpdateLibraryDownloaded();
  }
  live.startSWUpdate();
  Trace(L"CAutoRunManager::StepSWUpate(-)");
  return 0;
}

bool CAutoRunManager::MayOfferPCSuiteDownload() {
  CLiveUpdate& live = GetLiveUpdate();
  live.CheckUpdateDll();
  return live.isDownloadable_Setup();
}

int CAutoRunManager::StepPCSuite(WindowHandle owner) {
  Trace(L"CAutoRunManager::StepPCSuite(+)");
  CLiveUpdate& live = GetLiveUpdate();
  if (CheckPCSuiteInstall() == 1 && option_.pcsuite_test != 1) {
    // Installed, and not being tested: nothing to offer.
  } else if (live.isDownloadable_Setup()) {
    std::wstring url = live.GetUrl_Setup();
    // The Windows folder's explorer, not whatever "explorer.exe" the staging
    // folder or PATH holds; the address quoted so that it stays one argument.
    std::optional<std::wstring> windows = machine_.files.SHGetSpecialFolderPath(win::kCsidlWindows, false);
    if (windows) {
      std::wstring quoted = L"\"";
      for (wchar_t c : url) quoted += c == L'"' ? std::wstring(L"%22") : std::wstring(1, c);
      quoted += L"\"";
      machine_.processes.ShellExecute(owner, L"open", JoinPath(*windows, L"explorer.exe"), quoted, L"", win::kSwHide);
    }
    Trace(L"CAutoRunManager::StepPCSuite() GetUrl_Setup == " + url);
  } else {
    Trace(L"CAutoRunManager::StepPCSuite() isDownloadable_Setup is FALSE");
  }
  Trace(L"CAutoRunManager::StepPCSuite(-)");
  return 0;
}

}  // namespace devstart
