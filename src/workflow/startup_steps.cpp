// CAutoRunManager's start-up steps: the administrator test, the SCSI command
// service kept in place on older systems, the AutoRun check and repair, and
// the PC suite notification of a second start.
#include "core/text.h"
#include "core/trace_log.h"
#include "core/result_codes.h"
#include "device/window_service_manager.h"
#include "inspect/account.h"
#include "inspect/autorun_check.h"
#include "inspect/os_family.h"
#include "inspect/running_apps.h"
#include "ui/texts.h"
#include "workflow/auto_run_manager.h"

namespace devstart {

namespace {

constexpr std::uint32_t kTextAskActivate = 2400;
constexpr std::uint32_t kTextAppliedAfterReboot = 2401;
constexpr std::uint32_t kTextWarning = 2103;

// Asks whether to switch AutoRun back on; 1 for OK.
int AskActivateAutoRun(Machine& machine) {
  // The language start-up chose for the thread, derived the same way.
  Texts texts(machine.modules, ChooseUiLanguage(machine.system.GetUserDefaultUILanguage()));
  return machine.windows.MessageBox(0, texts.Load(kTextAskActivate), BoxCaption(L""),
                                    win::kMbOkCancel | win::kMbIconQuestion) ==
                 win::kIdOk
             ? 1
             : 0;
}

// Checks, asks and repairs; always 1.
int CheckAndRepairWindowAutoRun(Machine& machine, const COption& option, const RegistryAccessPair& masks) {
  if (option.auto_run_check != 1) return 1;
  if (IsWindowAutoRunEnabled(machine, masks)) return 1;
  if (!AskActivateAutoRun(machine)) return 1;
  ISystemInfo& sys = machine.system;
  CheckWindowAutoRun1(machine, 1, masks);
  int a = CheckWindowAutoRun2(machine, 1, masks);
  int b = CheckWindowAutoRun3(machine, 1, masks);
  int c = IsWindows2000(sys) ? 0 : CheckWindowAutoRun4(machine, 1, masks);
  if (IsMajorVersion6(sys)) {
    CheckWindowAutoRun5(machine, 1, masks);
    CheckWindowAutoRun6(machine, 1, masks);
    CheckWindowAutoRun7(machine, 1, masks);
  }
  if (a == 1 || b == 1 || c == 1) {
    Texts texts(machine.modules, ChooseUiLanguage(machine.system.GetUserDefaultUILanguage()));
    machine.windows.MessageBox(0, texts.Load(kTextAppliedAfterReboot), BoxCaption(texts.Load(kTextWarning)),
                               win::kMbIconWarning);
  }
  return 1;
}

}  // namespace

bool CAutoRunManager::IsUserInAdministrators() {
  // A failing test counts as a no.
  int is_admin = 0;
  devstart::IsUserInAdministrators(machine_, &is_admin);
  return is_admin == 1;
}

int CAutoRunManager::CopyService(const std::wstring& destination) {
  Trace(L"CAutoRunManager::CopyService(+)");
  IFileSystem& fs = machine_.files;
  fs.CopyFile(L".\\" + option_.service_fname, destination + option_.service_run_file, false);
  fs.CopyFile(L".\\" + option_.scsi_fname, destination + option_.scsi_fname, false);
  Trace(L"CAutoRunManager::CopyService(-)");
  return 1;
}

int CAutoRunManager::CheckService() {
  Trace(L"CAutoRunManager::CheckService(+)");
  bool admin = IsUserInAdministrators();
  WindowServiceManager& services = GetServiceManager();
  int state = services.QueryServiceState();
  int result = 0;
  if (state == SERVICE_NOT_RUNNING) {
    result = admin ? services.RunScsiService() : ADMIN_REQUIRED;
  } else if (state != 0) {
    std::wstring folder = machine_.files.SHGetSpecialFolderPath(win::kCsidlSystemX86, false).value_or(L"");
    devstart::EnableManageVolumePrivilege(machine_, machine_.security.GetCurrentProcess());
    // Without a known system folder the copies would land in the root of
    // the current drive; there is nothing to install from then.
    if (!folder.empty()) CopyService(JoinPath(folder, L""));
    if (admin) {
      services.InstallScsiService();
      result = services.RunScsiService();
    } else {
      result = ADMIN_REQUIRED;
    }
  }
  Trace(L"CAutoRunManager::CheckService(-)");
  return result;
}

int CAutoRunManager::CheckAndRepairWindowAutoRun() {
  return devstart::CheckAndRepairWindowAutoRun(machine_, option_, GetRegistryAccessPair());
}

bool CAutoRunManager::NotifyPCSuite() { return devstart::NotifyPCSuite(machine_) != 0; }

}  // namespace devstart
