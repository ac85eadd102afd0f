// <windows.h> for the adapters, without the A/W name macros that would
// rename the ports' methods (GetTempPath, CreateFile, MessageBox, ...). The
// adapters call the W functions by their full names.
#pragma once

#include <windows.h>

#undef GetTempPath
#undef GetCurrentDirectory
#undef GetModuleFileName
#undef OutputDebugString
#undef CreateFile
#undef GetPrivateProfileString
#undef CreateMutex
#undef FindWindow
#undef SendMessage
#undef MessageBox
#undef LoadString
#undef SetThreadLocale
