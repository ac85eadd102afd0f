// Win32 constants the logic passes through the ports, with the SDK's values.
// platform/win32/check_values.cpp static_asserts each one against <windows.h>.
#pragma once

#include <cstdint>

namespace devstart::win {

constexpr std::uint32_t GENERIC_READ = 0x80000000u;
constexpr std::uint32_t GENERIC_WRITE = 0x40000000u;
constexpr std::uint32_t GENERIC_ALL = 0x10000000u;
constexpr std::uint32_t FILE_SHARE_READ = 0x1;
constexpr std::uint32_t FILE_SHARE_WRITE = 0x2;
constexpr std::uint32_t CREATE_ALWAYS = 2;
constexpr std::uint32_t OPEN_EXISTING = 3;
constexpr std::uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;

constexpr std::uint32_t ERROR_SUCCESS = 0;
constexpr std::uint32_t ERROR_FILE_NOT_FOUND = 2;
constexpr std::uint32_t ERROR_ACCESS_DENIED = 5;
constexpr std::uint32_t ERROR_ALREADY_EXISTS = 183;

constexpr std::uint32_t VER_PLATFORM_WIN32_NT = 2;
constexpr std::uint8_t VER_NT_WORKSTATION = 1;
constexpr std::uint8_t VER_NT_DOMAIN_CONTROLLER = 2;
constexpr std::uint8_t VER_NT_SERVER = 3;

constexpr std::uint32_t MB_OK = 0x0;
constexpr std::uint32_t MB_ICONHAND = 0x10;
constexpr int IDOK = 1;

constexpr std::uintptr_t HWND_TOPMOST = static_cast<std::uintptr_t>(-1);
constexpr std::uintptr_t HWND_NOTOPMOST = static_cast<std::uintptr_t>(-2);
constexpr std::uint32_t SWP_NOSIZE = 0x1;
constexpr std::uint32_t SWP_NOMOVE = 0x2;

constexpr std::uint32_t WM_USER = 0x400;

}  // namespace devstart::win
