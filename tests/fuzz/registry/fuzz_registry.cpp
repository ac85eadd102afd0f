// Registry values are anyone's to write: the product queries and the AutoRun
// checks must read any type, any size, with or without a terminator, and
// give back every key they opened.
#include "common/fuzz_world.h"
#include "inspect/autorun_check.h"
#include "inspect/registry_query.h"

#include <optional>
#include <utility>

using namespace devstart;

namespace {

struct Slot {
  const wchar_t* key;
  const wchar_t* name;
};
const Slot kSlots[] = {
    {L"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{34A0FF07-F11A-4157-84A3-92F8AD688CBF}",
     L"DisplayVersion"},
    {L"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{FA02ACAC-9E14-4878-A257-92A22A647C2C}",
     L"DisplayVersion"},
    {L"HKLM\\SOFTWARE\\Tavo Electronics\\Tavo USB Autorun", L"debug_mode"},
    {L"HKLM\\SYSTEM\\CurrentControlSet\\Services\\Cdrom", L"Autorun"},
    {L"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer", L"NoDriveTypeAutorun"},
    {L"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", L"NoDriveTypeAutorun"},
    {L"HKLM\\SYSTEM\\CurrentControlSet\\Services\\ShellHWDetection", L"Start"},
    {L"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers", L"DisableAutoPlay"},
    {L"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers\\"
     L"EventHandlersDefaultSelection\\AutorunINFLegacyArrival",
     L""},
    {L"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers\\"
     L"UserChosenExecuteHandlers\\AutorunINFLegacyArrival",
     L""},
    {L"HKCU\\Software\\Tavo Electronics\\Tavo PC Suite IV\\1.0\\Setting", L"RunWhenPhoneConnect"},
};
constexpr std::size_t kSlotCount = sizeof kSlots / sizeof kSlots[0];

const OsVersion kFamilies[] = {{5, 0, 2195, 2, 4, 1}, {5, 1, 2600, 2, 3, 1}, {6, 1, 7601, 2, 1, 1}};

bool IsBit(int v) { return v == 0 || v == 1; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static sim::SimPc pc;
  static Machine machine = pc.machine();
  fuzz::ForgetAfterInput forget{pc};
  pc.registry.os_64bit = false;  // one view: the values land where the queries look
  fuzz::Input in(data, size);
  pc.system.version = kFamilies[in.Byte() % 3];
  // The last value given for a slot is the one the registry holds.
  std::optional<std::pair<std::uint32_t, std::string>> values[kSlotCount];
  while (!in.empty()) {
    auto& value = values[in.Byte() % kSlotCount];
    std::uint32_t type = in.Byte() % 12;
    value.emplace(type, in.Bytes(in.Byte()));
  }
  for (std::size_t i = 0; i < kSlotCount; ++i) {
    if (!values[i]) continue;
    const std::string& bytes = values[i]->second;
    pc.registry.Put(kSlots[i].key, kSlots[i].name, values[i]->first,
                    std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  }

  RegManager reg(machine);
  for (const std::wstring& text : {reg.GetDisplayVersion(kVtpProductCode), reg.GetDisplayVersion(kDriverProductCodes[0]),
                                   reg.getDebugDownloadVersion()}) {
    fuzz::Require(text.size() <= 255 && text.find(L'\0') == std::wstring::npos);
  }
  RegistryAccessPair masks = MakeRegistryAccessPair(pc.system);
  fuzz::Require(IsBit(IsWindowAutoRunEnabled(machine, masks)));
  fuzz::Require(IsBit(IsRunWhenPhoneConnect(machine, masks)));
  for (auto check : {CheckWindowAutoRun1, CheckWindowAutoRun2, CheckWindowAutoRun3, CheckWindowAutoRun4,
                     CheckWindowAutoRun5, CheckWindowAutoRun6, CheckWindowAutoRun7}) {
    fuzz::Require(IsBit(check(machine, 1, masks)));
  }
  // A repaired PC reads as enabled, whatever was there before.
  fuzz::Require(IsWindowAutoRunEnabled(machine, masks) == 1);
  fuzz::Require(pc.registry.open_handles() == 0);
  pc.registry = sim::FakeRegistry{};
  return 0;
}
