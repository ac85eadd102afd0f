// The device channel's copies of the SDK's constants must never drift.
#include <windows.h>
#include <shlobj.h>

#include "platform/win32_device_values.h"

namespace w = devstart::win;

static_assert(w::kScManagerConnect == SC_MANAGER_CONNECT);
static_assert(w::kScManagerCreateService == SC_MANAGER_CREATE_SERVICE);
static_assert(w::kServiceInterrogate == SERVICE_INTERROGATE);
static_assert(w::kServiceAllAccess == SERVICE_ALL_ACCESS);
static_assert(w::kServiceWin32OwnProcess == SERVICE_WIN32_OWN_PROCESS);
static_assert(w::kServiceAutoStart == SERVICE_AUTO_START);
static_assert(w::kServiceDemandStart == SERVICE_DEMAND_START);
static_assert(w::kServiceErrorNormal == SERVICE_ERROR_NORMAL);
static_assert(w::kServiceControlStop == SERVICE_CONTROL_STOP);
static_assert(w::kServiceControlInterrogate == SERVICE_CONTROL_INTERROGATE);
static_assert(w::kServiceStopped == SERVICE_STOPPED);
static_assert(w::kServiceStartPending == SERVICE_START_PENDING);
static_assert(w::kServiceStopPending == SERVICE_STOP_PENDING);
static_assert(w::kServiceRunning == SERVICE_RUNNING);
static_assert(w::kErrorPathNotFound == ERROR_PATH_NOT_FOUND);
static_assert(w::kErrorPipeBusy == ERROR_PIPE_BUSY);
static_assert(w::kErrorMoreData == ERROR_MORE_DATA);
static_assert(w::kErrorSemTimeout == ERROR_SEM_TIMEOUT);
static_assert(w::kErrorNoMoreFiles == ERROR_NO_MORE_FILES);
static_assert(w::kErrorServiceDoesNotExist == ERROR_SERVICE_DOES_NOT_EXIST);
static_assert(w::kErrorServiceCannotAcceptCtrl == ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
static_assert(w::kErrorServiceNotActive == ERROR_SERVICE_NOT_ACTIVE);
static_assert(w::kErrorServiceExists == ERROR_SERVICE_EXISTS);
static_assert(w::kErrorNoSuchLogonSession == ERROR_NO_SUCH_LOGON_SESSION);
static_assert(w::kErrorPrivilegeNotHeld == ERROR_PRIVILEGE_NOT_HELD);
static_assert(w::kErrorNoToken == ERROR_NO_TOKEN);
static_assert(w::kPipeReadmodeByte == PIPE_READMODE_BYTE);
static_assert(w::kPipeReadmodeMessage == PIPE_READMODE_MESSAGE);
static_assert(w::kTokenQuery == TOKEN_QUERY);
static_assert(w::kTokenAdjustPrivileges == TOKEN_ADJUST_PRIVILEGES);
static_assert(w::kSePrivilegeEnabled == SE_PRIVILEGE_ENABLED);
static_assert(w::kWinBuiltinAdministratorsSid == WinBuiltinAdministratorsSid);
static_assert(w::kSecurityMaxSidSize == SECURITY_MAX_SID_SIZE);
static_assert(w::kSOk == static_cast<std::uint32_t>(S_OK));
static_assert(w::kEFail == static_cast<std::uint32_t>(E_FAIL));
static_assert(w::kFileAttributeReadonly == FILE_ATTRIBUTE_READONLY);
static_assert(w::kFileAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY);
static_assert(w::kFileAttributeReparsePoint == FILE_ATTRIBUTE_REPARSE_POINT);
static_assert(w::kCsidlSystem == CSIDL_SYSTEM);
static_assert(w::kCsidlSystemX86 == CSIDL_SYSTEMX86);
