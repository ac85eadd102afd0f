// What the workflow object needs to know of the inspection code to hold its
// state: the registry masks and the query helper object.
#pragma once

#include <cstdint>

#include "platform/machine.h"

namespace devstart {

class RegManager;

// The process-wide pair of registry access masks of the AutoRun settings.
struct RegistryAccessPair {
  std::uint32_t write = 0;
  std::uint32_t read = 0;
};

// The manager's product-query mask for the current OS, or 0 while the
// configuration's DEBUG_OPTION is non-zero.
std::uint32_t ManagerRegistryMask(Machine& machine, int debug_option);

}  // namespace devstart
