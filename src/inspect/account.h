// Account and privilege tests (the Windows families are in os_family.h). Several decisions hang on
// them: which path reaches the phone, whether the SCSI command service is
// looked at during start-up, which registry view is used.
#pragma once

#include <cstdint>

#include "platform/machine.h"

namespace devstart {

// HRESULT of a Windows error code (HRESULT_FROM_WIN32).
std::uint32_t HResultFromWin32(std::uint32_t error);

// Membership of the built-in Administrators group, directly or, from
// version 6 on, through the linked (elevated) token of a filtered one.
// Returns an HRESULT; *is_admin is 1 for an administrator, else 0.
std::uint32_t IsUserInAdministrators(Machine& machine, int* is_admin);

// Switches SeManageVolumePrivilege on for a process: S_OK or E_FAIL.
std::uint32_t EnableManageVolumePrivilege(Machine& machine, Handle process);

}  // namespace devstart
