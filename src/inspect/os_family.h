// The three Windows families the installer tells apart. A version that cannot
// be read counts as every family at once, as the installer always did.
#pragma once

#include "platform/ports.h"

namespace devstart {

bool IsWindows2000(ISystemInfo& system);
bool IsWindowsNT6Workstation(ISystemInfo& system);
bool IsWindowsNT6Server(ISystemInfo& system);
// Either family of version 6: where the phone is reached directly, the
// service is not needed and the AutoPlay settings exist. An unreadable
// version counts as one.
bool IsMajorVersion6(ISystemInfo& system);

}  // namespace devstart
