// Cabinets.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/results.h"

namespace devstart {

// SetupIterateCabinetA; the callback sees the notification and the name
// inside the cabinet (FILEINCABINET) or the extracted target (FILEEXTRACTED),
// and may set the full target name. Names reach it unchanged. A target that
// does not fit MAX_PATH characters with its terminator is skipped.
using CabinetCallback =
    std::function<std::uint32_t(std::uint32_t notification, const std::string& name, std::string* target)>;
class ICabinets {
 public:
  virtual ~ICabinets() = default;
  virtual bool SetupIterateCabinetA(const std::string& cabinet, const CabinetCallback& callback) = 0;
};

}  // namespace devstart
