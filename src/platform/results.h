// What every port's calls give back, and the plain values they pass: the
// records below carry Win32's own BOOL, handle and GetLastError() values.
#pragma once

#include <cstdint>

namespace devstart {

// Handle values as the system gives them: kInvalidHandle is
// INVALID_HANDLE_VALUE, kNullHandle is NULL.
using Handle = std::uintptr_t;
constexpr Handle kInvalidHandle = static_cast<Handle>(-1);
constexpr Handle kNullHandle = 0;
using RegKey = std::uintptr_t;        // an HKEY (win::kHkey... for the predefined roots)
using WindowHandle = std::uintptr_t;  // an HWND

// A BOOL call and its error.
struct CallResult {
  bool ok = false;
  std::uint32_t error = 0;
};
// A handle call: what Windows returned (NULL or INVALID_HANDLE_VALUE on
// failure, as the call has it) and the error.
struct HandleResult {
  Handle handle = kNullHandle;
  std::uint32_t error = 0;
};
// ReadFile or WriteFile: the BOOL, the error, the bytes moved.
struct IoResult {
  bool ok = false;
  std::uint32_t error = 0;
  std::uint32_t transferred = 0;
};

}  // namespace devstart
