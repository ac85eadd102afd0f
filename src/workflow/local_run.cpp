// The local run's first decision: when everything the phone needs is
// installed and current, switch the phone, start its application and end
// without a window; otherwise leave the work to the installer window.
#include <algorithm>

#include "core/result_codes.h"
#include "core/trace_log.h"
#include "inspect/autorun_check.h"
#include "inspect/process_launch.h"
#include "update/live_update.h"
#include "workflow/auto_run_manager.h"

namespace devstart {

namespace {

// The phone needs a moment after the switch before its new device appears.
// A negative wait from config.ini would be a sleep of 49 days.
void WaitForPhone(Machine& machine, int ms) { machine.system.Sleep(static_cast<std::uint32_t>(std::max(ms, 0))); }

}  // namespace

int CAutoRunManager::FirstTimeLocal() {
  Trace(L"CAutoRunManager::FirstTimeLocal(+)");
  if (m_run.debug_switch) option_.ApplySwitches(m_run.no_send_switch != 0, m_run.run_itk_switch != 0);

  SettingRead setting = GetSetting();
  if (setting.result != 0) return setting.result;
  if (setting.settings) ApplyPhoneSettings(*setting.settings);
  // Now, while the CD is still there: the mode change takes it away.
  GetLiveUpdate().CheckStagedLibraries(m_cDrive);

  IKernelObjects& kernel = machine_.kernel;
  int r = 0;
  if (option_.IsPCSuiteMode()) {
    m_run.pc_mode_mutex.reset(kernel, kernel.CreateMutex(true, L"DevstartMutexPCMode").handle);
    r = RunPCSuiteIfReady();
  } else if (option_.IsITKMode()) {
    m_run.mode_mutex.reset(kernel, kernel.CreateMutex(true, L"DevstartMutexITKMode").handle);
    r = RunITKIfReady();
  } else if (option_.user_mode == 1) {
    r = ModeChangeIfDriverReady();
  } else if (option_.user_mode != 4) {
    return FAIL_ISO_VALUE_UNKNOWN;
  }
  if (r != 0) return r;
  Trace(L"CAutoRunManager::FirstTimeLocal(-)");
  return 0;
}

int CAutoRunManager::RunPCSuiteIfReady() {
  if (option_.pcsuite_run == 0 || option_.pcsuite_test == 1 || CheckDriverInstall() != 1 ||
      CheckPCSuiteInstall() != 1 || IsDriverVersionCurrent() != 1) {
    return 0;
  }
  if (int r = ModeChange()) return r;
  WaitForPhone(machine_, option_.sciscmd_wait);
  if (IsRunWhenPhoneConnect(machine_, GetRegistryAccessPair()) == 0) return NORMAL_EXIT;
  std::wstring program = GetPCSuiteInstallPath() + option_.pcsuite_run_file;
  return ExecuteProcess(machine_, program, L"", 0) == -1 ? FAIL_TO_RUN_PCSUITE : NORMAL_EXIT;
}

int CAutoRunManager::RunITKIfReady() {
  if (CheckDriverInstall() != 1 || CheckITKInstall() != 1 || IsDriverVersionCurrent() != 1 ||
      IsITKVersionCurrent() != 1) {
    return 0;
  }
  NotifyPCSuite();
  if (int r = ModeChange()) return r;
  WaitForPhone(machine_, option_.sciscmd_wait);
  std::wstring folder = option_.itk_type == 1 ? GetITKInstallPath_TPS() : GetInstallPath();
  return ExecuteProcess(machine_, folder + option_.itk_run_file, L"", 0) == -1 ? FAIL_TO_RUN_ITK : NORMAL_EXIT;
}

int CAutoRunManager::ModeChangeIfDriverReady() {
  if (CheckDriverInstall() != 1 || IsDriverVersionCurrent() != 1) return 0;
  int r = ModeChange();
  return r == 0 ? NORMAL_EXIT : r;
}

}  // namespace devstart
