// The CD run: what AutoRun starts from the phone's CD. It installs nothing
// itself; it stages the program and the setups the local run will need into
// the temporary folder and relaunches the copy there, elevated when the copy
// will install or repair something.
#include "core/result_codes.h"
#include "core/trace_log.h"
#include "inspect/os_family.h"
#include "inspect/process_launch.h"
#include "inspect/running_apps.h"
#include "inspect/staging_folder.h"
#include "workflow/auto_run_manager.h"

namespace devstart {

namespace {

// The program and its companions, in the order they are copied.
constexpr const wchar_t* kAutoRunFiles[] = {L"Devstart.exe",      L"SendScsiCmd.dll", L"P4_Updlink.dll",
                                            L"P4_UpdlinkChk.dll", L"config.ini",      L"Progress.avi"};

void Copy(IFileSystem& fs, const std::wstring& source, const std::wstring& destination, const std::wstring& name) {
  fs.CopyFile(source + name, destination + name, false);
}

// A staging folder can only be named after a drive letter: from a network
// share (\\server\share) or an unknown directory it would be the temporary
// folder itself, and emptying it would take the user's files with it.
bool OnADrive(const std::wstring& directory) {
  if (directory.size() < 2 || directory[1] != L':') return false;
  wchar_t c = directory[0];
  return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// Which application blocks the installation of the mode's product: first
// match wins; 0 when none does.
int ConflictingApplication(Machine& machine, const COption& option) {
  if (option.IsPCSuiteMode()) {
    if (IsInternetKitRunning(machine)) return PCSUITE_BLOCKED_BY_INTERNET_KIT;
    if (IsVTPRunning(machine)) return PCSUITE_BLOCKED_BY_VTP;
  } else if (option.IsITKMode() && option.itk_type == 1) {
    if (IsPCSuiteRunning(machine)) return INTERNET_KIT_BLOCKED_BY_PCSUITE;
    if (IsVTPRunning(machine)) return INTERNET_KIT_BLOCKED_BY_VTP;
  } else if (option.IsITKMode() && option.itk_type == 0) {
    if (IsPCSuiteRunning(machine)) return VTP_BLOCKED_BY_PCSUITE;
    if (IsInternetKitRunning(machine)) return VTP_BLOCKED_BY_INTERNET_KIT;
  }
  return 0;
}

}  // namespace

int CAutoRunManager::CopyAutoRun(const std::wstring& source, const std::wstring& destination) {
  Trace(L"CAutoRunManager::CopyAutoRun(+)");
  for (const wchar_t* name : kAutoRunFiles) Copy(machine_.files, source, destination, name);
  Trace(L"CAutoRunManager::CopyAutoRun(-)");
  return 1;
}

int CAutoRunManager::CopyDriverSetup(const std::wstring& source, const std::wstring& destination) {
  Trace(L"CAutoRunManager::CopyDriverSetup(+)");
  if (!option_.driver_name.empty()) Copy(machine_.files, source, destination, option_.driver_name);
  if (!option_.driver_uninstall.empty()) Copy(machine_.files, source, destination, option_.driver_uninstall);
  Trace(L"CAutoRunManager::CopyDriverSetup(-)");
  return 1;
}

int CAutoRunManager::CopyITKSetup(const std::wstring& source, const std::wstring& destination) {
  Trace(L"CAutoRunManager::CopyITKSetup(+)");
  if (!option_.itk_setup.empty()) Copy(machine_.files, source, destination, option_.itk_setup);
  Trace(L"CAutoRunManager::CopyITKSetup(-)");
  return 1;
}

int CAutoRunManager::RunFromCD() {
  Trace(L"CAutoRunManager::RunFromCD(+)");
  IFileSystem& fs = machine_.files;
  std::wstring cd_root = fs.GetCurrentDirectory();
  m_cDrive = DriveOfCurrentDirectory(fs);

  SettingRead setting = GetSetting();
  if (setting.result != 0) return setting.result;
  if (setting.settings) ApplyPhoneSettings(*setting.settings);

  if (int conflict = ConflictingApplication(machine_, option_)) return conflict;

  if (!OnADrive(cd_root)) {
    Trace(L"CAutoRunManager::RunFromCD() the current directory is not on a drive: " + cd_root);
    return FAIL_UNKNOWN;
  }

  const std::wstring source = L".\\";
  std::wstring staging = GetStagingFolder(fs);
  DeleteTempFolder(fs, staging);
  CreateFolderPath(fs, staging);
  CreateFolderPath(fs, staging + L"tools\\");
  CopyAutoRun(source, staging);
  int elevate = 0;
  if (CheckDriverInstall() == 0 || IsDriverVersionCurrent() == 0) {
    CopyDriverSetup(source, staging);
    elevate = 1;
  }
  if (option_.IsITKMode() && (CheckITKInstall() == 0 || IsITKVersionCurrent() == 0)) {
    CopyITKSetup(source, staging);
    elevate = 1;
  }

  std::wstring program = staging + L"Devstart.exe";
  std::wstring parameters = L"-drive:";
  parameters.push_back(static_cast<wchar_t>(static_cast<unsigned char>(m_cDrive)));
  fs.SetCurrentDirectory(GetStagingFolder(fs));
  // The copy must find itself the first instance.
  m_run.one_instance_mutex.reset();
  m_run.mode_mutex.reset();
  m_run.pc_mode_mutex.reset();

  ISystemInfo& sys = machine_.system;
  if (option_.auto_run_check == 1 && IsWindowAutoRunEnabled(machine_, GetRegistryAccessPair()) == 0) elevate = 1;
  if (!IsWindowsNT6Workstation(sys)) elevate = 0;
  if (IsWindowsNT6Server(sys) && !IsUserInAdministrators()) elevate = 1;
  // An elevated start may begin in the system folder instead of ours, so the
  // relaunch names its directory. A refused prompt or a failed start ends the
  // installation silently.
  ExecuteProcess(machine_, program, parameters, elevate, staging);

  Trace(L"CAutoRunManager::RunFromCD(-)");
  return NORMAL_EXIT;
}

}  // namespace devstart
