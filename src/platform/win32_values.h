// Win32 constants the logic passes through the ports, with the SDK's values,
// in one place. platform/win32/check_values.cpp static_asserts each one
// against <windows.h>.
#pragma once

#include <cstdint>

namespace devstart::win {

// ---- general -------------------------------------------------------------
constexpr std::uint32_t kGenericRead = 0x80000000u;
constexpr std::uint32_t kGenericWrite = 0x40000000u;
constexpr std::uint32_t kGenericAll = 0x10000000u;
constexpr std::uint32_t kFileShareRead = 0x1;
constexpr std::uint32_t kFileShareWrite = 0x2;
constexpr std::uint32_t kFileShareDelete = 0x4;
constexpr std::uint32_t kFileEnd = 2;
constexpr std::uint32_t kInvalidSetFilePointer = 0xFFFFFFFFu;
constexpr std::uint32_t kCreateAlways = 2;
constexpr std::uint32_t kOpenExisting = 3;
constexpr std::uint32_t kFileAttributeNormal = 0x80;

constexpr std::uint32_t kErrorSuccess = 0;
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorAlreadyExists = 183;
constexpr std::uint32_t kErrorCancelled = 1223;

constexpr std::uint32_t kVerPlatformWin32Nt = 2;
constexpr std::uint8_t kVerNtWorkstation = 1;
constexpr std::uint8_t kVerNtDomainController = 2;
constexpr std::uint8_t kVerNtServer = 3;

constexpr std::uint32_t kMbOk = 0x0;
constexpr std::uint32_t kMbIconHand = 0x10;
constexpr int kIdOk = 1;

constexpr std::uintptr_t kHwndTopmost = static_cast<std::uintptr_t>(-1);
constexpr std::uintptr_t kHwndNoTopmost = static_cast<std::uintptr_t>(-2);
constexpr std::uint32_t kSwpNoSize = 0x1;
constexpr std::uint32_t kSwpNoMove = 0x2;

constexpr std::uint32_t kWmUser = 0x400;
constexpr std::uint32_t kWmClose = 0x0010;

// ---- registry, processes, shell --------------------------------------------
// Predefined registry keys: the HKEY values, which are sign-extended 32-bit
// numbers (so they differ between 32- and 64-bit builds).
constexpr std::uintptr_t kHkeyCurrentUser = static_cast<std::uintptr_t>(static_cast<std::intptr_t>(-0x7FFFFFFF));
constexpr std::uintptr_t kHkeyLocalMachine = static_cast<std::uintptr_t>(static_cast<std::intptr_t>(-0x7FFFFFFE));

constexpr std::uint32_t kKeyRead = 0x20019;
constexpr std::uint32_t kKeyAllAccess = 0xF003F;
constexpr std::uint32_t kKeyWow64_64Key = 0x0100;
constexpr std::uint32_t kKeyWow64_32Key = 0x0200;
constexpr std::uint32_t kRegOptionNonVolatile = 0;
constexpr std::uint32_t kRegCreatedNewKey = 1;
constexpr std::uint32_t kRegOpenedExistingKey = 2;

constexpr std::uint32_t kRegNone = 0;
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;

// ERROR_MORE_DATA as a registry status (LSTATUS is signed).
constexpr std::int32_t kRegErrorMoreData = 234;
constexpr std::int32_t kErrorInvalidHandle = 6;

constexpr std::uint32_t kTh32csSnapProcess = 0x2;
constexpr std::uint32_t kSeeMaskNoCloseProcess = 0x40;
constexpr std::uint32_t kSeeMaskFlagNoUi = 0x400;
constexpr int kSwShow = 5;
constexpr std::intptr_t kSeErrFnf = 2;  // ShellExecute's result for a missing file

constexpr std::uint32_t kWaitObject0 = 0;
constexpr std::uint32_t kWaitTimeout = 258;
constexpr std::uint32_t kWaitFailed = 0xFFFFFFFFu;
constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;
constexpr std::uint32_t kQsAllInput = 0x04FF;

constexpr std::uint16_t kProcessorArchitectureIntel = 0;
constexpr std::uint16_t kProcessorArchitectureIa64 = 6;
constexpr std::uint16_t kProcessorArchitectureAmd64 = 9;
constexpr int kCsidlProgramFiles = 0x26;

constexpr std::uint32_t kMbOkCancel = 0x1;
constexpr std::uint32_t kMbIconQuestion = 0x20;
constexpr std::uint32_t kMbIconWarning = 0x30;

// ---- services, pipes, tokens, folders --------------------------------------
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
constexpr std::uint32_t kErrorModNotFound = 126;
constexpr std::uint32_t kErrorDllInitFailed = 1114;

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
constexpr std::uint32_t kSFalse = 1;
constexpr std::uint32_t kEFail = 0x80004005u;

// Files and folders.
constexpr std::uint32_t kFileAttributeReadonly = 0x1;
constexpr std::uint32_t kFileAttributeDirectory = 0x10;
constexpr std::uint32_t kFileAttributeReparsePoint = 0x400;
constexpr int kCsidlSystem = 0x25;
constexpr int kCsidlSystemX86 = 0x29;

// ---- internet, cabinets, shell, text (the live-update library) --------------
constexpr std::uint32_t kInternetOpenTypePreconfig = 0;
constexpr std::uint32_t kInternetFlagReload = 0x80000000u;
constexpr std::uint32_t kInternetFlagTransferBinary = 0x2;
constexpr std::uint32_t kInternetFlagNoCacheWrite = 0x04000000u;
constexpr std::uint32_t kHttpQueryContentLength = 5;
constexpr std::uint32_t kHttpQueryStatusCode = 19;
constexpr std::uint32_t kSpFileNotifyFileInCabinet = 0x11;
constexpr std::uint32_t kSpFileNotifyFileExtracted = 0x13;
constexpr std::uint32_t kFileOpSkip = 2;
constexpr std::uint32_t kFileOpDoIt = 1;
constexpr std::uint32_t kNoError = 0;
constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
constexpr int kCsidlCommonAppData = 0x23;
constexpr int kSwShowNormal = 1;
constexpr std::uint32_t kCpUtf8 = 65001;
constexpr std::uint32_t kCpAcp = 0;
constexpr std::uint32_t kLocaleUserDefault = 0x400;
constexpr std::uint32_t kLocaleSAbbrevCtryName = 0x7;

// ---- the update client in the program ---------------------------------------
constexpr std::uint32_t kInternetOptionConnectTimeout = 2;
constexpr std::uint32_t kInternetOptionReceiveTimeout = 6;
constexpr std::uint32_t kCpThreadAcp = 3;
constexpr std::uint32_t kMoveFileReplaceExisting = 0x1;
constexpr int kCsidlWindows = 0x24;
constexpr int kSwHide = 0;
// The code Microsoft's C++ compiler raises a thrown object with.
constexpr std::uint32_t kMsvcCppException = 0xE06D7363u;

}  // namespace devstart::win
