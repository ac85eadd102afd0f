// Running applications that conflict with an installation, and the PC suite
// notification.
#pragma once

#include <cstdint>
#include <string>

#include "platform/machine.h"

namespace devstart {

constexpr std::uint32_t kMsgPCSuiteNotify = 0xAB8;

int IsPCSuiteRunning(Machine& machine);
int NotifyPCSuite(Machine& machine);
int IsInternetKitRunning(Machine& machine);
int IsVTPRunning(Machine& machine);
// Identifier of the first process with this executable name (any case); -1
// when none or the snapshot cannot be walked, 0 when none can be taken.
std::int32_t FindProcess(Machine& machine, const std::wstring& exe_name);
int IsProcessAlive(Machine& machine, std::int32_t pid);

}  // namespace devstart
