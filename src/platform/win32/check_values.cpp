// The logic uses its own copies of the SDK's constants; they must never drift.
#include <windows.h>

#include "platform/win32_values.h"

namespace w = devstart::win;

static_assert(w::GENERIC_READ == GENERIC_READ);
static_assert(w::GENERIC_WRITE == GENERIC_WRITE);
static_assert(w::GENERIC_ALL == GENERIC_ALL);
static_assert(w::FILE_SHARE_READ == FILE_SHARE_READ);
static_assert(w::FILE_SHARE_WRITE == FILE_SHARE_WRITE);
static_assert(w::CREATE_ALWAYS == CREATE_ALWAYS);
static_assert(w::OPEN_EXISTING == OPEN_EXISTING);
static_assert(w::FILE_ATTRIBUTE_NORMAL == FILE_ATTRIBUTE_NORMAL);
static_assert(w::ERROR_SUCCESS == ERROR_SUCCESS);
static_assert(w::ERROR_FILE_NOT_FOUND == ERROR_FILE_NOT_FOUND);
static_assert(w::ERROR_ACCESS_DENIED == ERROR_ACCESS_DENIED);
static_assert(w::ERROR_ALREADY_EXISTS == ERROR_ALREADY_EXISTS);
static_assert(w::VER_PLATFORM_WIN32_NT == VER_PLATFORM_WIN32_NT);
static_assert(w::VER_NT_WORKSTATION == VER_NT_WORKSTATION);
static_assert(w::VER_NT_DOMAIN_CONTROLLER == VER_NT_DOMAIN_CONTROLLER);
static_assert(w::VER_NT_SERVER == VER_NT_SERVER);
static_assert(w::MB_OK == MB_OK);
static_assert(w::MB_ICONHAND == MB_ICONHAND);
static_assert(w::IDOK == IDOK);
static_assert(w::HWND_TOPMOST == reinterpret_cast<std::uintptr_t>(HWND_TOPMOST));
static_assert(w::HWND_NOTOPMOST == reinterpret_cast<std::uintptr_t>(HWND_NOTOPMOST));
static_assert(w::SWP_NOSIZE == SWP_NOSIZE);
static_assert(w::SWP_NOMOVE == SWP_NOMOVE);
static_assert(w::WM_USER == WM_USER);
