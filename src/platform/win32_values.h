// Win32 constants the logic passes through the ports, with the SDK's values.
// platform/win32/check_values.cpp static_asserts each one against <windows.h>.
#pragma once

#include <cstdint>

namespace devstart::win {

constexpr std::uint32_t kGenericRead = 0x80000000u;
constexpr std::uint32_t kGenericWrite = 0x40000000u;
constexpr std::uint32_t kGenericAll = 0x10000000u;
constexpr std::uint32_t kFileShareRead = 0x1;
constexpr std::uint32_t kFileShareWrite = 0x2;
constexpr std::uint32_t kCreateAlways = 2;
constexpr std::uint32_t kOpenExisting = 3;
constexpr std::uint32_t kFileAttributeNormal = 0x80;

constexpr std::uint32_t kErrorSuccess = 0;
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorAlreadyExists = 183;

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

}  // namespace devstart::win
