// The USB modem driver: are its files installed, and which version is it.
#pragma once

#include <string>

#include "platform/machine.h"

namespace devstart {

// TRUE unless the native processor architecture is AMD64.
int IsX86System(Machine& machine);

struct DriverFileSet {
  const wchar_t* modem;
  const wchar_t* bus;
  const wchar_t* diagnostic;
};
DriverFileSet GetDriverFileSet(Machine& machine);

// The driver's two install folders, each ending in a backslash: the one
// looked in first ("...Drivers"), then the other ("...Driver").
std::wstring DriverFolderPrimary(Machine& machine);
std::wstring DriverFolderSecondary(Machine& machine);

class Checker {
 public:
  int CheckDriverInstall_File(Machine& machine);
  int ExistDriverFiles(Machine& machine, const std::wstring& folder);
};

// "%d.%d.%d.%d" of the modem file's version resource in a folder, or "".
std::wstring GetModemDriverFileVersion(Machine& machine, const std::wstring& folder);

}  // namespace devstart
