// The SDK for the adapters, and for every Windows-only file that also sees
// the ports: <windows.h> and the other headers the adapters call into, then
// without the A/W name macros that would rename the ports' methods
// (CreateFile -> CreateFileW, ...) in one translation unit and not in
// another. Include it before anything else; the W functions are called by
// their full names.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

// Files and folders.
#undef GetTempPath
#undef GetCurrentDirectory
#undef GetModuleFileName
#undef SHGetSpecialFolderPath
#undef CreateFile
#undef CreateDirectory
#undef RemoveDirectory
#undef DeleteFile
#undef SetFileAttributes
#undef CopyFile
#undef MoveFileEx
#undef FindFirstFile
#undef FindNextFile
#undef GetPrivateProfileString
// Version resources.
#undef GetFileVersionInfoSize
#undef GetFileVersionInfo
// Registry.
#undef RegCreateKeyEx
#undef RegQueryValueEx
#undef RegSetValueEx
// Kernel objects, processes, windows.
#undef CreateMutex
#undef Process32First
#undef Process32Next
#undef ShellExecuteEx
#undef ShellExecute
#undef FindWindow
#undef SendMessage
#undef PostMessage
#undef MessageBox
// Services, pipes, account.
#undef OpenSCManager
#undef OpenService
#undef CreateService
#undef StartService
#undef WaitNamedPipe
#undef LookupPrivilegeValue
// System facts and modules.
#undef OutputDebugString
#undef LoadString
#undef FormatMessage
