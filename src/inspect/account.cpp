#include "inspect/account.h"

#include <optional>
#include <vector>

namespace devstart {

namespace {

// Closes the handles opened on the way on every path out.
struct TokenHandles {
  explicit TokenHandles(ISecurity& s) : security(s) {}
  ~TokenHandles() {
    if (linked != kNullHandle) security.CloseHandle(linked);
    if (token != kNullHandle) security.CloseHandle(token);
  }
  ISecurity& security;
  Handle token = kNullHandle;
  Handle linked = kNullHandle;
};

}  // namespace

std::uint32_t HResultFromWin32(std::uint32_t error) {
  if (error == 0 || (error & 0x80000000u) != 0) return error;
  return 0x80070000u | (error & 0xFFFFu);
}

std::uint32_t IsUserInAdministrators(ISystem& system, ISecurity& security, int* is_admin) {
  *is_admin = 0;
  TokenHandles h(security);
  HandleResult token = security.OpenProcessToken(security.GetCurrentProcess(), win::kTokenQuery);
  if (token.handle == kNullHandle) return HResultFromWin32(token.error);
  h.token = token.handle;

  std::uint32_t error = 0;
  std::optional<std::vector<std::uint8_t>> sid =
      security.CreateWellKnownSid(win::kWinBuiltinAdministratorsSid, win::kSecurityMaxSidSize, &error);
  if (!sid) return HResultFromWin32(error);

  bool member = false;
  CallResult check = security.CheckTokenMembership(kNullHandle, *sid, &member);
  if (!check.ok) return HResultFromWin32(check.error);
  if (member) {
    *is_admin = 1;
    return win::kSOk;
  }

  // Before version 6 there is no filtered token: not a member means no.
  std::optional<OsVersion> v = system.GetVersion();
  if (!v) return win::kEFail;
  if (v->major <= 5) return win::kSOk;

  HandleResult linked = security.GetLinkedToken(h.token);
  if (linked.handle == kNullHandle) {
    if (linked.error == win::kErrorNoSuchLogonSession || linked.error == win::kErrorPrivilegeNotHeld) {
      return win::kSOk;
    }
    return HResultFromWin32(linked.error);
  }
  h.linked = linked.handle;

  member = false;
  check = security.CheckTokenMembership(h.linked, *sid, &member);
  if (!check.ok) return HResultFromWin32(check.error);
  *is_admin = member ? 1 : 0;
  return win::kSOk;
}

std::uint32_t EnableManageVolumePrivilege(ISecurity& security, Handle process) {
  HandleResult token = security.OpenProcessToken(process, win::kTokenAdjustPrivileges | win::kTokenQuery);
  if (token.handle == kNullHandle) return win::kEFail;
  Luid luid;
  if (!security.LookupPrivilegeValue(L"SeManageVolumePrivilege", &luid).ok) {
    security.CloseHandle(token.handle);
    return win::kEFail;
  }
  CallResult adjusted = security.AdjustTokenPrivileges(token.handle, luid, win::kSePrivilegeEnabled);
  security.CloseHandle(token.handle);
  return adjusted.ok ? win::kSOk : win::kEFail;
}

}  // namespace devstart
