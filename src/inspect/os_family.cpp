#include "inspect/os_family.h"

namespace devstart {

bool IsWindows2000(ISystem& system) {
  std::optional<OsVersion> v = system.GetVersion();
  return !v || (v->major == 5 && v->minor == 0);
}

bool IsWindowsNT6Workstation(ISystem& system) {
  std::optional<OsVersion> v = system.GetVersion();
  return !v || (v->major == 6 && v->product_type == win::kVerNtWorkstation);
}

bool IsWindowsNT6Server(ISystem& system) {
  std::optional<OsVersion> v = system.GetVersion();
  return !v || (v->major == 6 && v->product_type != win::kVerNtWorkstation);
}

bool IsMajorVersion6(ISystem& system) { return IsWindowsNT6Workstation(system) || IsWindowsNT6Server(system); }

}  // namespace devstart
