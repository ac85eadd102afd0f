// What the program's own HTTP requests share: the session and the reading
// of an answer's status line and headers.
#pragma once
#include <cstdint>
#include <optional>

#include "platform/handles.h"
#include "platform/machine.h"

namespace devstart {

// A decimal header value; nullopt when absent or not a number.
std::optional<std::uint64_t> QueryNumber(IInternet& net, Handle request, std::uint32_t level);
// Whether the answer's status is 2xx.
bool AnsweredSuccess(IInternet& net, Handle request);
// A session whose connects and reads give up in bounded time.
UniqueInternet OpenSession(IInternet& net);

}  // namespace devstart
