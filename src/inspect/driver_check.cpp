#include "inspect/driver_check.h"

#include "core/trace_log.h"
#include "platform/handles.h"
#include "inspect/registry_query.h"
#include "inspect/version.h"

namespace devstart {

namespace {

std::wstring ProgramFiles(Machine& machine) {
  return machine.files.SHGetSpecialFolderPath(win::kCsidlProgramFiles, false).value_or(L"");
}

}  // namespace

int IsX86System(Machine& machine) {
  if (!machine.system.GetVersion()) return 1;
  std::optional<std::uint16_t> arch = machine.system.GetNativeSystemInfoByName();
  std::uint16_t a = arch ? *arch : machine.system.GetSystemInfo();
  return a != win::kProcessorArchitectureAmd64 ? 1 : 0;
}

DriverFileSet GetDriverFileSet(Machine& machine) {
  if (IsX86System(machine)) return {L"tavousbmodem.sys", L"tavousbbus.sys", L"tavousbdiag.sys"};
  return {L"tavox64modem.sys", L"tavox64bus.sys", L"tavox64diag.sys"};
}

std::wstring DriverFolderPrimary(Machine& machine) {
  return ProgramFiles(machine) + L"\\Tavo Electronics\\Tavo USB Modem Drivers\\";
}

std::wstring DriverFolderSecondary(Machine& machine) {
  return ProgramFiles(machine) + L"\\Tavo Electronics\\Tavo USB Modem Driver\\";
}

int Checker::ExistDriverFiles(Machine& machine, const std::wstring& folder) {
  DriverFileSet set = GetDriverFileSet(machine);
  int all = 1;
  for (const wchar_t* name : {set.modem, set.bus, set.diagnostic}) {
    // A search that finds an entry: the file is there.
    UniqueFind found(machine.files, machine.files.FindFirstFile(folder + name).handle);
    if (!found) all = 0;
  }
  Trace(all ? L"Checker::ExistDriverFiles() return TRUE" : L"Checker::ExistDriverFiles() return FALSE");
  return all;
}

int Checker::CheckDriverInstall_File(Machine& machine) {
  int primary = ExistDriverFiles(machine, DriverFolderPrimary(machine));
  int secondary = ExistDriverFiles(machine, DriverFolderSecondary(machine));
  int any = (primary || secondary) ? 1 : 0;
  Trace(any ? L"Checker::CheckDriverInstall_File() return TRUE" : L"Checker::CheckDriverInstall_File() return FALSE");
  return any;
}

std::wstring GetModemDriverFileVersion(Machine& machine, const std::wstring& folder) {
  FixedFileInfo info;
  if (!ReadFixedFileInfo(machine.versions, folder + GetDriverFileSet(machine).modem, &info)) return {};
  return FileVersionText(info);
}

}  // namespace devstart
