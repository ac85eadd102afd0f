#include "inspect/registry_query.h"

#include "core/text.h"
#include "core/trace_log.h"
#include "inspect/os_family.h"
#include "platform/handles.h"

namespace devstart {

const wchar_t kVtpProductCode[] = L"{34A0FF07-F11A-4157-84A3-92F8AD688CBF}";
const wchar_t kDriverProductCodes[3][39] = {
    L"{FA02ACAC-9E14-4878-A257-92A22A647C2C}",
    L"{C3ABE126-2BB2-4246-BFE1-6797679B3579}",
    L"{E1640DA5-89B4-4F52-B15D-5DA3D14F29D4}",
};

namespace {
constexpr std::uint32_t kStringBufferUnits = 256;
}  // namespace

std::optional<RegString> ReadRegString(IRegistry& registry, RegKey key, const std::wstring& name) {
  RegValueRead r = registry.RegQueryValueEx(key, name, kStringBufferUnits * 2);
  if (r.status != win::kErrorSuccess) return std::nullopt;
  if (r.type != win::kRegSz && r.type != win::kRegExpandSz) return std::nullopt;
  if (r.size == 0) return RegString{};
  // Only whole UTF-16 text with its terminating NUL is a string.
  if (r.size % 2 != 0 || r.data.size() < r.size) return std::nullopt;
  std::uint32_t units = r.size / 2;
  auto unit = [&](std::uint32_t i) { return static_cast<wchar_t>(r.data[2 * i] | (r.data[2 * i + 1] << 8)); };
  if (unit(units - 1) != 0) return std::nullopt;
  RegString s;
  for (std::uint32_t i = 0; i < units && unit(i) != 0; ++i) s.text.push_back(unit(i));
  s.count = units;
  return s;
}

QueryResult RunProductQuery(IRegistry& registry, std::uint32_t sam, const ProductQuery& q) {
  std::wstring op = q.operation;
  if (q.entry_exit) Trace(op + L"(+)");
  Trace(q.key_prefix + q.key);
  QueryResult result;
  RegKey opened = 0;
  std::uint32_t disposition = 0;
  UniqueKey key;
  if (registry.RegCreateKeyEx(win::kHkeyLocalMachine, q.key, win::kRegOptionNonVolatile, sam, &opened, &disposition) ==
      win::kErrorSuccess) {
    key.reset(registry, opened);
  }
  std::optional<RegString> value;
  if (key) value = ReadRegString(registry, key.get(), q.value_name);
  if (value) {
    std::wstring shown = value->text;
    if (q.kind == QueryKind::kFolder) {
      while (!shown.empty() && shown.back() == L'\\') shown.pop_back();
      result.text = JoinPath(shown, L"");
    } else if (q.kind == QueryKind::kText) {
      result.text = value->text;
    }
    result.ok = true;
    Trace(std::wstring(q.success_prefix) + L"[" + shown + L"][" + std::to_wstring(value->count) + L"]");
  } else {
    Trace(q.failure_line);
  }
  key.reset();
  if (q.entry_exit) Trace(op + L"(-)");
  return result;
}

std::wstring UninstallKey(const std::wstring& product_code) {
  return L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product_code;
}

std::uint32_t ProductQueryMask(ISystemInfo& system) {
  return IsWindows2000(system) ? win::kKeyRead : (win::kKeyRead | win::kKeyWow64_32Key);
}

std::uint32_t ManagerRegistryMask(Machine& machine, int debug_option) {
  if (debug_option != 0) return 0;
  return ProductQueryMask(machine.system);
}

RegManager::RegManager(Machine& machine) : m_samDesired(ProductQueryMask(machine.system)), machine_(machine) {}

std::wstring RegManager::GetDisplayVersion(const std::wstring& product_code) {
  ProductQuery q{L"RegManager::GetDisplayVersion", false, L"", UninstallKey(product_code), L"DisplayVersion",
                 QueryKind::kText, L"RegManager::GetDisplayVersion()  Fail!!",
                 L"RegManager::GetDisplayVersion() DisplayVersion "};
  return RunProductQuery(machine_.registry, m_samDesired, q).text;
}

std::wstring RegManager::getDebugDownloadVersion() {
  ProductQuery q{L"RegManager::getDebugDownloadVersion", true, L"RegManager::getDebugDownloadVersion()",
                 L"SOFTWARE\\Tavo Electronics\\Tavo USB Autorun", L"debug_mode", QueryKind::kText,
                 L"RegManager::getDebugDownloadVersion() Reg Open Fail!!",
                 L"RegManager::getDebugDownloadVersion() debug_mode "};
  return RunProductQuery(machine_.registry, m_samDesired, q).text;
}

}  // namespace devstart
