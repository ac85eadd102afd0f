// The account.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/results.h"

namespace devstart {

// A locally unique identifier (LUID) of a privilege.
struct Luid {
  std::uint32_t low = 0;
  std::int32_t high = 0;
};

// Token membership and privileges of the current process.
class ISecurity {
 public:
  virtual ~ISecurity() = default;
  // GetCurrentProcess(): the pseudo handle (never closed).
  virtual Handle GetCurrentProcess() = 0;
  virtual HandleResult OpenProcessToken(Handle process, std::uint32_t access) = 0;
  // CreateWellKnownSid(type, NULL, ...) into a buffer of `buffer_size` bytes;
  // where Windows lacks it (2000), the Administrators SID is built instead.
  virtual std::optional<std::vector<std::uint8_t>> CreateWellKnownSid(std::uint32_t type, std::uint32_t buffer_size,
                                                                      std::uint32_t* error) = 0;
  // CheckTokenMembership; token kNullHandle means the caller's effective token.
  virtual CallResult CheckTokenMembership(Handle token, const std::vector<std::uint8_t>& sid, bool* is_member) = 0;
  // GetTokenInformation(TokenLinkedToken): the linked token's handle.
  virtual HandleResult GetLinkedToken(Handle token) = 0;
  // LookupPrivilegeValueW(NULL, name, ...).
  virtual CallResult LookupPrivilegeValue(const std::wstring& name, Luid* luid) = 0;
  // AdjustTokenPrivileges with one privilege and no previous state.
  virtual CallResult AdjustTokenPrivileges(Handle token, const Luid& luid, std::uint32_t attributes) = 0;
};

}  // namespace devstart
