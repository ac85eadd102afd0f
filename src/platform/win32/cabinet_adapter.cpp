// Cabinets through the setup API.
#include "platform/win32/convert.h"

#include <setupapi.h>

#include <string>

#include "platform/win32/adapters.h"

namespace devstart {

namespace {

// The port's callback behind the setup API's: names pass through as the
// cabinet holds them. The target buffer has MAX_PATH characters; a target
// that would not fit is left in the cabinet rather than cut to another name.
// No exception may cross the setup API's frames.
UINT CALLBACK CabinetThunk(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR) {
  const auto& callback = *static_cast<const CabinetCallback*>(context);
  try {
    std::string target;
    if (notification == SPFILENOTIFY_FILEINCABINET) {
      auto* info = reinterpret_cast<FILE_IN_CABINET_INFO_A*>(param1);
      UINT r = callback(notification, info->NameInCabinet ? info->NameInCabinet : "", &target);
      if (r == FILEOP_DOIT) {
        if (target.size() >= MAX_PATH) return FILEOP_SKIP;
        ::lstrcpynA(info->FullTargetName, target.c_str(), MAX_PATH);
      }
      return r;
    }
    if (notification == SPFILENOTIFY_FILEEXTRACTED) {
      const auto* paths = reinterpret_cast<const FILEPATHS_A*>(param1);
      return callback(notification, paths->Target ? paths->Target : "", &target);
    }
    return callback(notification, "", &target);
  } catch (...) {
    return FILEOP_ABORT;
  }
}

}  // namespace

bool Win32Cabinets::SetupIterateCabinetA(const std::string& cabinet, const CabinetCallback& callback) {
  return ::SetupIterateCabinetA(cabinet.c_str(), 0, CabinetThunk, const_cast<CabinetCallback*>(&callback)) != FALSE;
}

}  // namespace devstart
