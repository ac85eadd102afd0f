// <windows.h> for the device-channel adapters: also drops the A/W macros of
// the service, pipe, security and file calls that the ports name.
#pragma once

#include "platform/win32/win_api.h"

#include <shlobj.h>

#undef OpenSCManager
#undef OpenService
#undef CreateService
#undef StartService
#undef WaitNamedPipe
#undef LookupPrivilegeValue
#undef CreateDirectory
#undef RemoveDirectory
#undef DeleteFile
#undef SetFileAttributes
#undef CopyFile
#undef FindFirstFile
#undef FindNextFile
