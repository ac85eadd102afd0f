// The logic's copies of the SDK's constants (platform/win32_values.h) must
// never drift.
#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <wininet.h>
#include <setupapi.h>

#include "platform/win32_values.h"

namespace w = devstart::win;

static_assert(w::kGenericRead == GENERIC_READ);
static_assert(w::kGenericWrite == GENERIC_WRITE);
static_assert(w::kGenericAll == GENERIC_ALL);
static_assert(w::kFileShareRead == FILE_SHARE_READ);
static_assert(w::kFileShareWrite == FILE_SHARE_WRITE);
static_assert(w::kCreateAlways == CREATE_ALWAYS);
static_assert(w::kOpenExisting == OPEN_EXISTING);
static_assert(w::kFileAttributeNormal == FILE_ATTRIBUTE_NORMAL);
static_assert(w::kErrorSuccess == ERROR_SUCCESS);
static_assert(w::kErrorFileNotFound == ERROR_FILE_NOT_FOUND);
static_assert(w::kErrorAccessDenied == ERROR_ACCESS_DENIED);
static_assert(w::kErrorAlreadyExists == ERROR_ALREADY_EXISTS);
static_assert(w::kVerPlatformWin32Nt == VER_PLATFORM_WIN32_NT);
static_assert(w::kVerNtWorkstation == VER_NT_WORKSTATION);
static_assert(w::kVerNtDomainController == VER_NT_DOMAIN_CONTROLLER);
static_assert(w::kVerNtServer == VER_NT_SERVER);
static_assert(w::kMbOk == MB_OK);
static_assert(w::kMbIconHand == MB_ICONHAND);
static_assert(w::kIdOk == IDOK);
static_assert(w::kSwpNoSize == SWP_NOSIZE);
static_assert(w::kSwpNoMove == SWP_NOMOVE);
static_assert(w::kWmUser == WM_USER);
static_assert(w::kWmClose == WM_CLOSE);
static_assert(w::kKeyRead == KEY_READ);
static_assert(w::kKeyAllAccess == KEY_ALL_ACCESS);
static_assert(w::kKeyWow64_64Key == KEY_WOW64_64KEY);
static_assert(w::kKeyWow64_32Key == KEY_WOW64_32KEY);
static_assert(w::kRegOptionNonVolatile == REG_OPTION_NON_VOLATILE);
static_assert(w::kRegCreatedNewKey == REG_CREATED_NEW_KEY);
static_assert(w::kRegOpenedExistingKey == REG_OPENED_EXISTING_KEY);
static_assert(w::kRegNone == REG_NONE);
static_assert(w::kRegSz == REG_SZ);
static_assert(w::kRegExpandSz == REG_EXPAND_SZ);
static_assert(w::kRegBinary == REG_BINARY);
static_assert(w::kRegDword == REG_DWORD);
static_assert(w::kRegErrorMoreData == ERROR_MORE_DATA);
static_assert(w::kErrorInvalidHandle == ERROR_INVALID_HANDLE);
static_assert(w::kTh32csSnapProcess == TH32CS_SNAPPROCESS);
static_assert(w::kSeeMaskNoCloseProcess == SEE_MASK_NOCLOSEPROCESS);
static_assert(w::kFileShareDelete == FILE_SHARE_DELETE);
static_assert(w::kFileEnd == FILE_END);
static_assert(w::kInvalidSetFilePointer == INVALID_SET_FILE_POINTER);
static_assert(w::kErrorCancelled == ERROR_CANCELLED);
static_assert(w::kSeeMaskFlagNoUi == SEE_MASK_FLAG_NO_UI);
static_assert(w::kSwShow == SW_SHOW);
static_assert(w::kSeErrFnf == SE_ERR_FNF);
static_assert(w::kWaitObject0 == WAIT_OBJECT_0);
static_assert(w::kWaitTimeout == WAIT_TIMEOUT);
static_assert(w::kWaitFailed == WAIT_FAILED);
static_assert(w::kInfinite == INFINITE);
static_assert(w::kQsAllInput == QS_ALLINPUT);
static_assert(w::kProcessorArchitectureIntel == PROCESSOR_ARCHITECTURE_INTEL);
static_assert(w::kProcessorArchitectureIa64 == PROCESSOR_ARCHITECTURE_IA64);
static_assert(w::kProcessorArchitectureAmd64 == PROCESSOR_ARCHITECTURE_AMD64);
static_assert(w::kCsidlProgramFiles == CSIDL_PROGRAM_FILES);
static_assert(w::kMbOkCancel == MB_OKCANCEL);
static_assert(w::kMbIconQuestion == MB_ICONQUESTION);
static_assert(w::kMbIconWarning == MB_ICONWARNING);
static_assert(sizeof(PROCESSENTRY32W) == 556 || sizeof(void*) == 8, "the 32-bit record is 556 bytes");
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
static_assert(w::kSFalse == static_cast<std::uint32_t>(S_FALSE));
static_assert(w::kEFail == static_cast<std::uint32_t>(E_FAIL));
static_assert(w::kFileAttributeReadonly == FILE_ATTRIBUTE_READONLY);
static_assert(w::kFileAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY);
static_assert(w::kFileAttributeReparsePoint == FILE_ATTRIBUTE_REPARSE_POINT);
static_assert(w::kCsidlSystem == CSIDL_SYSTEM);
static_assert(w::kCsidlSystemX86 == CSIDL_SYSTEMX86);
static_assert(w::kInternetOpenTypePreconfig == INTERNET_OPEN_TYPE_PRECONFIG);
static_assert(w::kInternetFlagReload == INTERNET_FLAG_RELOAD);
static_assert(w::kInternetFlagTransferBinary == INTERNET_FLAG_TRANSFER_BINARY);
static_assert(w::kInternetFlagNoCacheWrite == INTERNET_FLAG_NO_CACHE_WRITE);
static_assert(w::kHttpQueryContentLength == HTTP_QUERY_CONTENT_LENGTH);
static_assert(w::kHttpQueryStatusCode == HTTP_QUERY_STATUS_CODE);
static_assert(w::kInternetOptionConnectTimeout == INTERNET_OPTION_CONNECT_TIMEOUT);
static_assert(w::kInternetOptionReceiveTimeout == INTERNET_OPTION_RECEIVE_TIMEOUT);
static_assert(w::kCpThreadAcp == CP_THREAD_ACP);
static_assert(w::kMoveFileReplaceExisting == MOVEFILE_REPLACE_EXISTING);
static_assert(w::kCsidlWindows == CSIDL_WINDOWS);
static_assert(w::kSwHide == SW_HIDE);
static_assert(w::kSpFileNotifyFileInCabinet == SPFILENOTIFY_FILEINCABINET);
static_assert(w::kSpFileNotifyFileExtracted == SPFILENOTIFY_FILEEXTRACTED);
static_assert(w::kFileOpSkip == FILEOP_SKIP);
static_assert(w::kFileOpDoIt == FILEOP_DOIT);
static_assert(w::kNoError == NO_ERROR);
static_assert(w::kInvalidFileAttributes == INVALID_FILE_ATTRIBUTES);
static_assert(w::kCsidlCommonAppData == CSIDL_COMMON_APPDATA);
static_assert(w::kSwShowNormal == SW_SHOWNORMAL);
static_assert(w::kCpUtf8 == CP_UTF8);
static_assert(w::kCpAcp == CP_ACP);
static_assert(w::kLocaleUserDefault == LOCALE_USER_DEFAULT);
static_assert(w::kLocaleSAbbrevCtryName == LOCALE_SABBREVCTRYNAME);
// HWND_TOPMOST and HWND_NOTOPMOST are pointer casts ((HWND)-1, (HWND)-2), not
// constants the compiler can compare; win32_values.h spells them as such.
