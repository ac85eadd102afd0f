// CAutoRunManager's product checks: what is installed and how current it is,
// the dispatchers on itk_type, and the USB modem driver.
#include <iterator>

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

enum class ProductKey { kPcSuite, kInternetKit, kVtp };

// One product query: which operation, where it reads and what it answers.
struct ProductRow {
  const wchar_t* name;  // after "CAutoRunManager::"
  ProductKey key;
  const wchar_t* value;
  QueryKind kind;
};

enum Row { kPcSuitePath, kPcSuiteInstalled, kTpsPath, kTpsVersion, kTpsInstalled, kVtpPath, kVtpVersion, kVtpInstalled };

constexpr ProductRow kRows[] = {
    {L"GetPCSuiteInstallPath", ProductKey::kPcSuite, L"Path", QueryKind::kFolder},
    {L"CheckPCSuiteInstall", ProductKey::kPcSuite, L"Path", QueryKind::kBool},
    {L"GetITKInstallPath_TPS", ProductKey::kInternetKit, L"Path", QueryKind::kFolder},
    {L"GetITKVersion_TPS", ProductKey::kInternetKit, L"Version", QueryKind::kText},
    {L"CheckITKInstall_TPS", ProductKey::kInternetKit, L"Path", QueryKind::kBool},
    {L"GetInstallPath", ProductKey::kVtp, L"InstallLocation", QueryKind::kFolder},
    {L"GetITKVersion_VTP", ProductKey::kVtp, L"DisplayVersion", QueryKind::kText},
    {L"CheckITKInstall_VTP", ProductKey::kVtp, L"InstallLocation", QueryKind::kBool},
};
static_assert(std::size(kRows) == kVtpInstalled + 1);

std::wstring KeyOf(ProductKey key) {
  switch (key) {
    case ProductKey::kPcSuite: return kPcSuiteKey;
    case ProductKey::kInternetKit: return kInternetKitKey;
    case ProductKey::kVtp: return UninstallKey(kVtpProductCode);
  }
  return L"";
}

// The trace lines follow the kind: a folder's failure says the key did not
// open, a text's has two spaces, a yes/no names the value in quotes.
QueryResult Ask(IRegistry& registry, std::uint32_t sam, Row which) {
  const ProductRow& row = kRows[which];
  const std::wstring op = std::wstring(L"CAutoRunManager::") + row.name;
  const std::wstring value = row.value;
  std::wstring failure, success;
  switch (row.kind) {
    case QueryKind::kFolder:
      failure = op + L"() Reg Open Fail!!";
      success = op + L"() " + value + L" ";
      break;
    case QueryKind::kText:
      failure = op + L"()  Fail!!";
      success = op + L"() " + value + L" ";
      break;
    case QueryKind::kBool:
      failure = op + L"() Fail";
      success = op + L"() Reg \"" + value + L"\" : ";
      break;
  }
  return RunProductQuery(registry, sam,
                         ProductQuery{op.c_str(), true, L"", KeyOf(row.key), row.value, row.kind, failure.c_str(),
                                      success.c_str()});
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

std::wstring CAutoRunManager::GetPCSuiteInstallPath() { return Ask(machine_.registry, m_samDesired, kPcSuitePath).text; }

int CAutoRunManager::CheckPCSuiteInstall() {
  if (m_run.no_install_switch != 0) return 0;
  return Ask(machine_.registry, m_samDesired, kPcSuiteInstalled).ok ? 1 : 0;
}

std::wstring CAutoRunManager::GetITKInstallPath_TPS() { return Ask(machine_.registry, m_samDesired, kTpsPath).text; }

std::wstring CAutoRunManager::GetITKVersion_TPS() { return Ask(machine_.registry, m_samDesired, kTpsVersion).text; }

int CAutoRunManager::CheckITKInstall_TPS() { return Ask(machine_.registry, m_samDesired, kTpsInstalled).ok ? 1 : 0; }

std::wstring CAutoRunManager::GetInstallPath() { return Ask(machine_.registry, m_samDesired, kVtpPath).text; }

std::wstring CAutoRunManager::GetITKVersion_VTP() { return Ask(machine_.registry, m_samDesired, kVtpVersion).text; }

int CAutoRunManager::CheckITKInstall_VTP() { return Ask(machine_.registry, m_samDesired, kVtpInstalled).ok ? 1 : 0; }

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
  std::wstring v = GetModemDriverFileVersion(machine_, DriverFolderPrimary(machine_));
  if (v.empty()) v = GetModemDriverFileVersion(machine_, DriverFolderSecondary(machine_));
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
