#include "inspect/autorun_check.h"

#include <string>
#include <vector>

#include "core/text.h"
#include "core/trace_log.h"
#include "inspect/os_family.h"
#include "inspect/registry_query.h"
#include "platform/handles.h"

namespace devstart {

namespace {

constexpr std::uint32_t kCdromBit = 0x20;

enum class Off { kDwordEquals, kDwordBit, kHandlerString };

struct Setting {
  int number;
  RegKey hive;
  const wchar_t* key;
  const wchar_t* value;
  Off off;
  std::uint32_t off_value;     // the DWORD that means off, or the bit
  std::uint32_t repair_value;  // the DWORD written (kDwordEquals)
};

const Setting kSettings[] = {
    {1, win::kHkeyLocalMachine, L"SYSTEM\\CurrentControlSet\\Services\\Cdrom", L"Autorun", Off::kDwordEquals, 0, 1},
    {2, win::kHkeyLocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer",
     L"NoDriveTypeAutorun", Off::kDwordBit, kCdromBit, 0},
    {3, win::kHkeyCurrentUser, L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
     L"NoDriveTypeAutorun", Off::kDwordBit, kCdromBit, 0},
    {4, win::kHkeyLocalMachine, L"SYSTEM\\CurrentControlSet\\Services\\ShellHWDetection", L"Start",
     Off::kDwordEquals, 4, 2},
    {5, win::kHkeyCurrentUser, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers",
     L"DisableAutoPlay", Off::kDwordEquals, 1, 0},
    {6, win::kHkeyCurrentUser,
     L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers\\EventHandlersDefaultSelection\\"
     L"AutorunINFLegacyArrival",
     L"", Off::kHandlerString, 0, 0},
    {7, win::kHkeyCurrentUser,
     L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers\\UserChosenExecuteHandlers\\"
     L"AutorunINFLegacyArrival",
     L"", Off::kHandlerString, 0, 0},
};

std::vector<std::uint8_t> DwordBytes(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
          static_cast<std::uint8_t>(v >> 24)};
}

// A REG_SZ value's bytes: the text and its terminator.
std::vector<std::uint8_t> StringBytes(const std::wstring& s) {
  std::string bytes = ToUtf16LeBytes(s);
  bytes.append(2, '\0');
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

std::optional<std::uint32_t> ReadDword(IRegistry& reg, RegKey key, const wchar_t* name) {
  RegValueRead r = reg.RegQueryValueEx(key, name, 4);
  if (r.status != win::kErrorSuccess || r.type != win::kRegDword || r.data.size() < 4) return std::nullopt;
  return r.data[0] | (r.data[1] << 8) | (r.data[2] << 16) | (static_cast<std::uint32_t>(r.data[3]) << 24);
}

// Runs one check; `fall_back` is set (and no trace line written) when check 2
// finds no machine policy value and check 3 must answer instead.
int RunCheck(Machine& machine, const Setting& s, int repair, const RegistryAccessPair& masks, bool* fall_back) {
  IRegistry& reg = machine.registry;
  std::uint32_t sam = repair == 1 ? masks.write : masks.read;
  int result = repair == 1 ? 0 : 1;
  RegKey opened = 0;
  std::uint32_t disposition = 0;
  if (reg.RegCreateKeyEx(s.hive, s.key, win::kRegOptionNonVolatile, sam, &opened, &disposition) == win::kErrorSuccess) {
    UniqueKey key(reg, opened);
    bool off = false;
    std::vector<std::uint8_t> repaired;
    std::uint32_t type = win::kRegDword;
    if (s.off == Off::kHandlerString) {
      std::optional<RegString> v = ReadRegString(reg, key.get(), s.value);
      off = v && (v->text == L"MSTakeNoAction" || v->text == L"MSOpenFolder");
      type = win::kRegSz;
      repaired = StringBytes(L"MSAutoRun");
    } else {
      std::optional<std::uint32_t> v = ReadDword(reg, key.get(), s.value);
      if (!v && fall_back) {
        *fall_back = true;
        return 0;
      }
      if (v && s.off == Off::kDwordEquals) {
        off = *v == s.off_value;
        repaired = DwordBytes(s.repair_value);
      } else if (v) {
        off = (*v & s.off_value) != 0;
        repaired = DwordBytes(*v & ~s.off_value);
      }
    }
    if (off) {
      if (repair == 1) {
        reg.RegSetValueEx(key.get(), s.value, type, repaired);  // a failed write still counts: the user was told
        result = 1;
      } else {
        result = 0;
      }
    }
  }
  Trace(L"[WARM]CheckWindowAutoRun" + std::to_wstring(s.number) + (result ? L" returns TRUE (" : L" returns FALSE (") +
        s.key + L" > " + s.value + L")");
  return result;
}

}  // namespace

RegistryAccessPair MakeRegistryAccessPair(ISystemInfo& system) {
  if (IsWindows2000(system)) return {win::kKeyAllAccess, win::kKeyRead};
  constexpr std::uint32_t kBothViews = win::kKeyWow64_64Key | win::kKeyWow64_32Key;
  return {win::kKeyAllAccess | kBothViews, win::kKeyRead | kBothViews};
}

int CheckWindowAutoRun1(Machine& m, int r, const RegistryAccessPair& k) { return RunCheck(m, kSettings[0], r, k, nullptr); }
int CheckWindowAutoRun2(Machine& m, int r, const RegistryAccessPair& k) {
  bool fall_back = false;
  int result = RunCheck(m, kSettings[1], r, k, &fall_back);
  return fall_back ? CheckWindowAutoRun3(m, r, k) : result;
}
int CheckWindowAutoRun3(Machine& m, int r, const RegistryAccessPair& k) { return RunCheck(m, kSettings[2], r, k, nullptr); }
int CheckWindowAutoRun4(Machine& m, int r, const RegistryAccessPair& k) { return RunCheck(m, kSettings[3], r, k, nullptr); }
int CheckWindowAutoRun5(Machine& m, int r, const RegistryAccessPair& k) { return RunCheck(m, kSettings[4], r, k, nullptr); }
int CheckWindowAutoRun6(Machine& m, int r, const RegistryAccessPair& k) { return RunCheck(m, kSettings[5], r, k, nullptr); }
int CheckWindowAutoRun7(Machine& m, int r, const RegistryAccessPair& k) { return RunCheck(m, kSettings[6], r, k, nullptr); }

int IsWindowAutoRunEnabled(Machine& machine, const RegistryAccessPair& masks) {
  ISystemInfo& sys = machine.system;
  if (!CheckWindowAutoRun1(machine, 0, masks)) return 0;
  if (!CheckWindowAutoRun2(machine, 0, masks)) return 0;
  if (!IsWindows2000(sys) && !CheckWindowAutoRun4(machine, 0, masks)) return 0;
  if (IsMajorVersion6(sys)) {
    if (!CheckWindowAutoRun5(machine, 0, masks)) return 0;
    if (!CheckWindowAutoRun6(machine, 0, masks)) return 0;
    if (!CheckWindowAutoRun7(machine, 0, masks)) return 0;
  }
  return 1;
}

}  // namespace devstart

namespace devstart {

int IsRunWhenPhoneConnect(Machine& machine, const RegistryAccessPair& masks) {
  IRegistry& registry = machine.registry;
  RegKey opened = 0;
  std::uint32_t disposition = 0;
  if (registry.RegCreateKeyEx(win::kHkeyCurrentUser, L"Software\\Tavo Electronics\\Tavo PC Suite IV\\1.0\\Setting",
                              win::kRegOptionNonVolatile, masks.read, &opened, &disposition) != win::kErrorSuccess) {
    return 1;
  }
  UniqueKey key(registry, opened);
  RegValueRead r = registry.RegQueryValueEx(key.get(), L"RunWhenPhoneConnect", 4);
  bool off = r.status == win::kErrorSuccess && r.type == win::kRegDword && r.data.size() >= 4 &&
             (r.data[0] | r.data[1] | r.data[2] | r.data[3]) == 0;
  return off ? 0 : 1;
}

}  // namespace devstart
