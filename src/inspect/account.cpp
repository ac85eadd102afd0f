#include "inspect/account.h"

#include <optional>
#include <vector>

#include "platform/handles.h"

namespace devstart {

std::uint32_t HResultFromWin32(std::uint32_t error) {
  if (error == 0 || (error & 0x80000000u) != 0) return error;
  return 0x80070000u | (error & 0xFFFFu);
}

std::uint32_t IsUserInAdministrators(Machine& machine, int* is_admin) {
  ISecurity& security = machine.security;
  *is_admin = 0;
  HandleResult opened = security.OpenProcessToken(security.GetCurrentProcess(), win::kTokenQuery);
  if (opened.handle == kNullHandle) return HResultFromWin32(opened.error);
  UniqueHandle token(machine.kernel, opened.handle);

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
  std::optional<OsVersion> v = machine.system.GetVersion();
  if (!v) return win::kEFail;
  if (v->major <= 5) return win::kSOk;

  HandleResult got = security.GetLinkedToken(token.get());
  if (got.handle == kNullHandle) {
    if (got.error == win::kErrorNoSuchLogonSession || got.error == win::kErrorPrivilegeNotHeld) {
      return win::kSOk;
    }
    return HResultFromWin32(got.error);
  }
  UniqueHandle linked(machine.kernel, got.handle);

  member = false;
  check = security.CheckTokenMembership(linked.get(), *sid, &member);
  if (!check.ok) return HResultFromWin32(check.error);
  *is_admin = member ? 1 : 0;
  return win::kSOk;
}

std::uint32_t EnableManageVolumePrivilege(Machine& machine, Handle process) {
  ISecurity& security = machine.security;
  HandleResult opened = security.OpenProcessToken(process, win::kTokenAdjustPrivileges | win::kTokenQuery);
  if (opened.handle == kNullHandle) return win::kEFail;
  UniqueHandle token(machine.kernel, opened.handle);
  Luid luid;
  if (!security.LookupPrivilegeValue(L"SeManageVolumePrivilege", &luid).ok) return win::kEFail;
  return security.AdjustTokenPrivileges(token.get(), luid, win::kSePrivilegeEnabled).ok ? win::kSOk : win::kEFail;
}

}  // namespace devstart
