// CAutoRunManager's product checks: what is installed and how current it is,
// the dispatchers on itk_type, and the USB modem driver.
#include "core/trace_log.h"
#include "inspect/autorun_check.h"
#include "inspect/driver_check.h"
#include "inspect/registry_query.h"
#include "inspect/version.h"
#include "workflow/auto_run_manager.h"

namespace devstart {

namespace {

const wchar_t kPcSuiteKey[] = L"SOFTWARE\\Tavo Electronics\\Tavo PC Suite IV\\1.0";
const wchar_t kInternetKitKey[] = L"SOFTWARE\\Tavo Electronics\\Tavo Internet Kit\\1.0";

ProductQuery Query(const wchar_t* op, std::wstring key, const wchar_t* value, QueryKind kind, const wchar_t* failure,
                   const wchar_t* success) {
  return ProductQuery{op, true, L"", std::move(key), value, kind, failure, success};
}

}  // namespace

RegManager& CAutoRunManager::GetRegManager() {
  if (!reg_manager_) reg_manager_ = std::make_shared<RegManager>(machine_);
  return *reg_manager_;
}

RegistryAccessPair& CAutoRunManager::GetRegistryAccessPair() {
  if (!access_pair_) access_pair_ = std::make_shared<RegistryAccessPair>(MakeRegistryAccessPair(machine_.system));
  return *access_pair_;
}

std::wstring CAutoRunManager::GetPCSuiteInstallPath() {
  return RunProductQuery(machine_.registry, m_samDesired,
                         Query(L"CAutoRunManager::GetPCSuiteInstallPath", kPcSuiteKey, L"Path", QueryKind::kFolder,
                               L"CAutoRunManager::GetPCSuiteInstallPath() Reg Open Fail!!",
                               L"CAutoRunManager::GetPCSuiteInstallPath() Path "))
      .text;
}

int CAutoRunManager::CheckPCSuiteInstall() {
  if (m_bNoInstall) return 0;
  return RunProductQuery(machine_.registry, m_samDesired,
                         Query(L"CAutoRunManager::CheckPCSuiteInstall", kPcSuiteKey, L"Path", QueryKind::kBool,
                               L"CAutoRunManager::CheckPCSuiteInstall() Fail",
                               L"CAutoRunManager::CheckPCSuiteInstall() Reg \"Path\" : "))
             .ok
             ? 1
             : 0;
}

std::wstring CAutoRunManager::GetITKInstallPath_TPS() {
  return RunProductQuery(machine_.registry, m_samDesired,
                         Query(L"CAutoRunManager::GetITKInstallPath_TPS", kInternetKitKey, L"Path", QueryKind::kFolder,
                               L"CAutoRunManager::GetITKInstallPath_TPS() Reg Open Fail!!",
                               L"CAutoRunManager::GetITKInstallPath_TPS() Path "))
      .text;
}

std::wstring CAutoRunManager::GetITKVersion_TPS() {
  return RunProductQuery(machine_.registry, m_samDesired,
                         Query(L"CAutoRunManager::GetITKVersion_TPS", kInternetKitKey, L"Version", QueryKind::kText,
                               L"CAutoRunManager::GetITKVersion_TPS()  Fail!!",
                               L"CAutoRunManager::GetITKVersion_TPS() Version "))
      .text;
}

int CAutoRunManager::CheckITKInstall_TPS() {
  return RunProductQuery(machine_.registry, m_samDesired,
                         Query(L"CAutoRunManager::CheckITKInstall_TPS", kInternetKitKey, L"Path", QueryKind::kBool,
                               L"CAutoRunManager::CheckITKInstall_TPS() Fail",
                               L"CAutoRunManager::CheckITKInstall_TPS() Reg \"Path\" : "))
                 .ok
             ? 1
             : 0;
}

std::wstring CAutoRunManager::GetInstallPath() {
  return RunProductQuery(machine_.registry, m_samDesired,
                         Query(L"CAutoRunManager::GetInstallPath", UninstallKey(kVtpProductCode), L"InstallLocation",
                               QueryKind::kFolder, L"CAutoRunManager::GetInstallPath() Reg Open Fail!!",
                               L"CAutoRunManager::GetInstallPath() InstallLocation "))
      .text;
}

std::wstring CAutoRunManager::GetITKVersion_VTP() {
  return RunProductQuery(machine_.registry, m_samDesired,
                         Query(L"CAutoRunManager::GetITKVersion_VTP", UninstallKey(kVtpProductCode), L"DisplayVersion",
                               QueryKind::kText, L"CAutoRunManager::GetITKVersion_VTP()  Fail!!",
                               L"CAutoRunManager::GetITKVersion_VTP() DisplayVersion "))
      .text;
}

int CAutoRunManager::CheckITKInstall_VTP() {
  return RunProductQuery(machine_.registry, m_samDesired,
                         Query(L"CAutoRunManager::CheckITKInstall_VTP", UninstallKey(kVtpProductCode),
                               L"InstallLocation", QueryKind::kBool, L"CAutoRunManager::CheckITKInstall_VTP() Fail",
                               L"CAutoRunManager::CheckITKInstall_VTP() Reg \"InstallLocation\" : "))
                 .ok
             ? 1
             : 0;
}

int CAutoRunManager::CheckITKInstall() { return option_.itk_type == 1 ? CheckITKInstall_TPS() : CheckITKInstall_VTP(); }

std::wstring CAutoRunManager::GetITKInstallPath() {
  return option_.itk_type == 1 ? GetITKInstallPath_TPS() : GetInstallPath();
}

std::wstring CAutoRunManager::GetITKVersion() { return option_.itk_type == 1 ? GetITKVersion_TPS() : GetITKVersion_VTP(); }

int CAutoRunManager::CompareVersion(const std::wstring& found, const std::wstring& required) {
  return CompareVersionText(found, required);
}

int CAutoRunManager::IsITKVersionCurrent() { return CompareVersion(GetITKVersion(), option_.itk_version); }

int CAutoRunManager::CheckDriverInstall() {
  static Checker checker;
  int r = checker.CheckDriverInstall_File(machine_);
  Trace(r ? L"CAutoRunManager::CheckDriverInstall() return TRUE" : L"CAutoRunManager::CheckDriverInstall() return FALSE");
  return r;
}

std::wstring CAutoRunManager::GetInstalledDriverVersion() {
  std::wstring v = GetModemDriverFileVersion(machine_, DriverFolderA(machine_));
  if (v.empty()) v = GetModemDriverFileVersion(machine_, DriverFolderB(machine_));
  for (const wchar_t* code : kDriverProductCodes) {
    if (!v.empty()) break;
    v = GetRegManager().GetDisplayVersion(code);
  }
  return v.empty() ? L"0.0.0.0" : v;
}

int CAutoRunManager::IsDriverVersionCurrent() {
  return CompareVersion(GetInstalledDriverVersion(), option_.driver_version);
}

}  // namespace devstart
