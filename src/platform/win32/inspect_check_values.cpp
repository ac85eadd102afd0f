// The inspection constants of the logic must never drift from the SDK's.
#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include "platform/ports_inspect.h"

namespace w = devstart::win;

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
static_assert(w::kSeeMaskFlagNoUi == SEE_MASK_FLAG_NO_UI);
static_assert(w::kSwShow == SW_SHOW);
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
