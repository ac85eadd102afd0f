// The CD run: what AutoRun starts from the phone's CD. It installs nothing
// itself; it stages the program and the setups the local run will need into
// the temporary folder and relaunches the copy there, elevated when the copy
// will install or repair something.
#include <algorithm>

#include "core/result_codes.h"
#include "core/trace_log.h"
#include "platform/handles.h"
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

// The box of a staging that cannot give a whole copy to start: "Failed to
// set up.", which is what the user has to hear.
constexpr int kStagingFailed = FAIL_TO_SETUP_DRIVER;
constexpr std::size_t kMaxPath = 260;    // MAX_PATH, the terminator included
constexpr std::size_t kMaxFolder = 248;  // what CreateDirectoryW takes (room for an 8.3 name)

// Whether the CD still answers: a file it lacks is then only missing.
bool CdStillThere(IFileSystem& fs, const std::wstring& source) {
  FindResult found = fs.FindFirstFile(source + L"*.*");
  UniqueFind find(fs, found.handle);
  return static_cast<bool>(find);
}

// Whether a failed copy only says the CD does not carry the file: always
// so for a file that is not there, and for a name config.ini gave that is
// no file at all (a folder, a bad name); never for a fault of the disks.
bool NotCarried(std::uint32_t error, bool named_by_config) {
  if (error == win::kErrorFileNotFound || error == win::kErrorPathNotFound) return true;
  constexpr std::uint32_t kErrorInvalidName = 123, kErrorBadPathname = 161;
  return named_by_config &&
         (error == win::kErrorAccessDenied || error == kErrorInvalidName || error == kErrorBadPathname);
}

// Copies one file; false when the staged copy must not be started. A file
// this CD does not carry (it is still there, the file is not) goes on as it
// always has, the local run reports what it lacks; only the program itself
// is needed whatever the error.
bool Copy(IFileSystem& fs, const wchar_t* step, const std::wstring& source, const std::wstring& destination,
          const std::wstring& name, bool named_by_config) {
  CallResult copied = fs.CopyFile(source + name, destination + name, false);
  if (copied.ok) return true;
  std::wstring line = std::wstring(L"CAutoRunManager::") + step + L"() cannot copy " + source + name + L" to " +
                      destination + name + L": error " + std::to_wstring(copied.error);
  if (NotCarried(copied.error, named_by_config) && name != L"Devstart.exe" && CdStillThere(fs, source)) {
    Trace(line + L", left to the local run");
    return true;
  }
  Trace(line);
  return false;
}

// What keeps `folder` from being a real folder of ours; empty when it is one.
std::wstring NotAFolderOfOurs(IFileSystem& fs, const std::wstring& folder, std::uint32_t made_error) {
  std::optional<FindData> entry = FolderEntry(fs, folder);
  if (!entry) return L"the folder " + folder + L" cannot be made: error " + std::to_wstring(made_error);
  if ((entry->attributes & win::kFileAttributeReparsePoint) != 0) return L"the folder " + folder + L" is a link";
  if ((entry->attributes & win::kFileAttributeDirectory) == 0) return L"a file takes the place of " + folder;
  return L"";
}

// An empty staging folder with its tools folder, both real folders made
// here, or the reason traced and the box to show.
int PrepareStagingFolder(IFileSystem& fs, const std::wstring& staging, std::size_t longest_name) {
  const std::wstring where = L"CAutoRunManager::RunFromCD() ";
  if (fs.GetTempPath().empty()) {
    Trace(where + L"no temporary folder to stage into");
    return kStagingFailed;
  }
  // A cut path would copy to, or start, something else.
  if (staging.size() + longest_name >= kMaxPath || (staging + L"tools").size() >= kMaxFolder) {
    Trace(where + L"the staging folder is too long for its files: " + staging);
    return kStagingFailed;
  }
  DeleteTempFolder(fs, staging);
  CallResult made = CreateFolderPath(fs, staging);
  CallResult tools = CreateFolderPath(fs, staging + L"tools\\");
  std::wstring problem = NotAFolderOfOurs(fs, staging, made.error);
  if (problem.empty()) problem = NotAFolderOfOurs(fs, staging + L"tools\\", tools.error);
  if (problem.empty()) return 0;
  Trace(where + problem + L": nothing is staged");
  return kStagingFailed;
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
  bool whole = true;
  for (const wchar_t* name : kAutoRunFiles) {
    whole = whole && Copy(machine_.files, L"CopyAutoRun", source, destination, name, false);
  }
  Trace(L"CAutoRunManager::CopyAutoRun(-)");
  return whole ? 1 : 0;
}

int CAutoRunManager::CopyDriverSetup(const std::wstring& source, const std::wstring& destination) {
  Trace(L"CAutoRunManager::CopyDriverSetup(+)");
  bool whole = true;
  for (const std::wstring* name : {&option_.driver_name, &option_.driver_uninstall}) {
    if (!name->empty()) whole = whole && Copy(machine_.files, L"CopyDriverSetup", source, destination, *name, true);
  }
  Trace(L"CAutoRunManager::CopyDriverSetup(-)");
  return whole ? 1 : 0;
}

int CAutoRunManager::CopyITKSetup(const std::wstring& source, const std::wstring& destination) {
  Trace(L"CAutoRunManager::CopyITKSetup(+)");
  bool whole =
      option_.itk_setup.empty() || Copy(machine_.files, L"CopyITKSetup", source, destination, option_.itk_setup, true);
  Trace(L"CAutoRunManager::CopyITKSetup(-)");
  return whole ? 1 : 0;
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
  std::size_t longest = 0;
  for (const wchar_t* name : kAutoRunFiles) longest = std::max(longest, std::wstring(name).size());
  for (const std::wstring* name : {&option_.driver_name, &option_.driver_uninstall, &option_.itk_setup}) {
    longest = std::max(longest, name->size());
  }
  if (int refused = PrepareStagingFolder(fs, staging, longest)) return refused;
  bool whole = CopyAutoRun(source, staging) == 1;
  int elevate = 0;
  if (whole && (CheckDriverInstall() == 0 || IsDriverVersionCurrent() == 0)) {
    whole = CopyDriverSetup(source, staging) == 1;
    elevate = 1;
  }
  if (whole && option_.IsITKMode() && (CheckITKInstall() == 0 || IsITKVersionCurrent() == 0)) {
    whole = CopyITKSetup(source, staging) == 1;
    elevate = 1;
  }
  // Half a copy is never started, nor one whose folder became a link meanwhile.
  std::wstring problem = whole ? NotAFolderOfOurs(fs, staging, 0) : L"a copy failed";
  if (!problem.empty()) {
    Trace(L"CAutoRunManager::RunFromCD() staging failed, " + problem +
          L": the staging folder is removed, nothing is started");
    DeleteTempFolder(fs, staging);
    return kStagingFailed;
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
