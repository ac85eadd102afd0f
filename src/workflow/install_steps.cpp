// The installer window's steps that work with local setups: the USB modem
// driver, the VTP or Internet Kit, and the start of the installed
// application. The setups are waited for while the window keeps working.
#include "core/result_codes.h"
#include "core/trace_log.h"
#include "update/live_update.h"
#include "inspect/process_launch.h"
#include "inspect/staging_folder.h"
#include "workflow/auto_run_manager.h"

namespace devstart {

namespace {

// Starts a setup and waits for it while the window keeps working; the
// manager's identifier holds the setup's during the wait. False when it
// could not be started.
bool RunSetup(Machine& machine, std::int32_t& waited_pid, const std::wstring& setup_file) {
  LaunchedProcess setup = LaunchProcess(machine, setup_file, L"", 0);
  waited_pid = setup.pid;
  if (setup.pid == -1) return false;
  WaitForLaunchedProcess(machine, waited_pid, std::move(setup));
  return true;
}

}  // namespace

int CAutoRunManager::StepDriver() {
  if (CheckDriverInstall() != 0 && IsDriverVersionCurrent() != 0) return 0;
  // An empty driver_name reads ".\": starting it would open the staging
  // folder in Explorer, and the wait would hang on that window.
  if (option_.driver_name.empty() || option_.driver_name.back() == L'\\') return FAIL_TO_SETUP_DRIVER;
  return RunSetup(machine_, m_dwProcessId, option_.driver_name) ? 0 : FAIL_TO_SETUP_DRIVER;
}

int CAutoRunManager::StepITK() {
  Trace(L"CAutoRunManager::StepITK(+)");
  if (CheckITKInstall() != 0 && IsITKVersionCurrent() != 0) {
    Trace(L"CAutoRunManager::StepITK(-)");
    return 0;
  }
  if (!RunSetup(machine_, m_dwProcessId, option_.itk_setup)) return FAIL_TO_SETUP_ITK;
  if (CheckITKInstall() == 1) {
    Trace(L"CAutoRunManager::StepITK(-)");
    return 0;
  }
  Trace(L"CAutoRunManager::StepITK() CheckITKInstall fails");
  return FAIL_TO_SETUP_ITK;
}

int CAutoRunManager::StepRun() {
  Trace(L"CAutoRunManager::StepRun(+)");
  if (option_.user_mode != 1 && option_.user_mode != 4) {
    if (option_.IsPCSuiteMode()) {
      if (option_.pcsuite_run == 0) return 0;
      if (CheckPCSuiteInstall() == 1 && option_.pcsuite_test == 0) {
        std::wstring path = GetPCSuiteInstallPath() + option_.pcsuite_run_file;
        Trace(L"CAutoRunManager::StepRun() Execute" + path);
        if (ExecuteProcess(machine_, path, L"", 0) == -1) return FAIL_TO_RUN_PCSUITE;
      }
    } else if (option_.IsITKMode() && option_.itk_type == 0) {
      // The Internet Kit (itk_type 1) is not started here.
      if (option_.itk_run == 0) return 0;
      if (CheckITKInstall() != 1) return VTP_NOT_INSTALLED;
      std::wstring path = GetInstallPath() + option_.itk_run_file;
      Trace(L"CAutoRunManager::StepRun() Execute" + path);
      if (ExecuteProcess(machine_, path, L"", 0) == -1) return FAIL_TO_RUN_ITK;
    }
  }
  Trace(L"CAutoRunManager::StepRun(-)");
  return NORMAL_EXIT;
}

int CAutoRunManager::CleanupStaging() {
  // Our own holds on staged libraries would keep them from being deleted.
  if (live_update_) live_update_->ReleaseStagedLibraries();
  std::wstring folder = StagingFolderOfDrive(machine_.files, m_cDrive);
  return folder.empty() ? 0 : DeleteTempFolder(machine_.files, folder);
}

}  // namespace devstart
