// Win32 constants of the device channel, the account checks and the staging
// folder, with the SDK's values. platform/win32/check_device_values.cpp
// static_asserts each one against <windows.h>.
#pragma once

#include <cstdint>

namespace devstart::win {

// Service control manager.
constexpr std::uint32_t kScManagerConnect = 0x0001;
constexpr std::uint32_t kScManagerCreateService = 0x0002;
constexpr std::uint32_t kServiceInterrogate = 0x0080;
constexpr std::uint32_t kServiceAllAccess = 0xF01FF;
constexpr std::uint32_t kServiceWin32OwnProcess = 0x10;
constexpr std::uint32_t kServiceAutoStart = 2;
constexpr std::uint32_t kServiceDemandStart = 3;
constexpr std::uint32_t kServiceErrorNormal = 1;
constexpr std::uint32_t kServiceControlStop = 1;
constexpr std::uint32_t kServiceControlInterrogate = 4;
constexpr std::uint32_t kServiceStopped = 1;
constexpr std::uint32_t kServiceStartPending = 2;
constexpr std::uint32_t kServiceStopPending = 3;
constexpr std::uint32_t kServiceRunning = 4;

// Errors.
constexpr std::uint32_t kErrorPathNotFound = 3;
constexpr std::uint32_t kErrorPipeBusy = 231;
constexpr std::uint32_t kErrorMoreData = 234;
constexpr std::uint32_t kErrorSemTimeout = 121;
constexpr std::uint32_t kErrorNoMoreFiles = 18;
constexpr std::uint32_t kErrorServiceDoesNotExist = 1060;
constexpr std::uint32_t kErrorServiceCannotAcceptCtrl = 1061;
constexpr std::uint32_t kErrorServiceNotActive = 1062;
constexpr std::uint32_t kErrorServiceExists = 1073;
constexpr std::uint32_t kErrorNoSuchLogonSession = 1312;
constexpr std::uint32_t kErrorPrivilegeNotHeld = 1314;
constexpr std::uint32_t kErrorNoToken = 1008;

// Pipes.
constexpr std::uint32_t kPipeReadmodeByte = 0;
constexpr std::uint32_t kPipeReadmodeMessage = 2;

// Tokens and privileges.
constexpr std::uint32_t kTokenQuery = 0x0008;
constexpr std::uint32_t kTokenAdjustPrivileges = 0x0020;
constexpr std::uint32_t kSePrivilegeEnabled = 0x2;
constexpr std::uint32_t kWinBuiltinAdministratorsSid = 26;
constexpr std::uint32_t kSecurityMaxSidSize = 68;
constexpr std::uint32_t kTokenLinkedToken = 19;

// HRESULTs.
constexpr std::uint32_t kSOk = 0;
constexpr std::uint32_t kEFail = 0x80004005u;

// Files and folders.
constexpr std::uint32_t kFileAttributeReadonly = 0x1;
constexpr std::uint32_t kFileAttributeDirectory = 0x10;
constexpr std::uint32_t kFileAttributeReparsePoint = 0x400;
constexpr int kCsidlSystem = 0x25;
constexpr int kCsidlSystemX86 = 0x29;

}  // namespace devstart::win
