// The logic uses its own copies of the SDK's constants; they must never drift.
#include <windows.h>

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
// HWND_TOPMOST and HWND_NOTOPMOST are pointer casts ((HWND)-1, (HWND)-2), not
// constants the compiler can compare; win32_values.h spells them as such.
