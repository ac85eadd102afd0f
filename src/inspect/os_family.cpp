#include "inspect/os_family.h"

namespace devstart {

bool IsWindows2000(ISystemInfo& system) {
  std::optional<OsVersion> v = system.GetVersion();
  return !v || (v->major == 5 && v->minor == 0);
}

bool IsWindowsNT6Workstation(ISystemInfo& system) {
  std::optional<OsVersion> v = system.GetVersion();
  return !v || (v->major == 6 && v->product_type == win::kVerNtWorkstation);
}

bool IsWindowsNT6Server(ISystemInfo& system) {
  std::optional<OsVersion> v = system.GetVersion();
  return !v || (v->major == 6 && v->product_type != win::kVerNtWorkstation);
}

bool IsMajorVersion6(ISystemInfo& system) { return IsWindowsNT6Workstation(system) || IsWindowsNT6Server(system); }

}  // namespace devstart
