// What the program's own HTTP requests share: the session and the reading
// of an answer's status line and headers.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "platform/handles.h"
#include "platform/machine.h"

namespace devstart {

// A decimal header value; nullopt when absent or not a number.
std::optional<std::uint64_t> QueryNumber(IInternet& net, Handle request, std::uint32_t level);
// Whether the answer's status is 2xx.
bool AnsweredSuccess(IInternet& net, Handle request);
// A session whose connects and reads give up in bounded time.
UniqueInternet OpenSession(IInternet& net);

// WinINet follows a redirect loop without end, so requests follow redirects
// themselves: a few at most, and only to http: and https: addresses.
enum class OpenOutcome { kOpened, kFailed, kRedirectRefused };
struct OpenedUrl {
  UniqueInternet request;
  OpenOutcome outcome = OpenOutcome::kFailed;
};
OpenedUrl OpenFollowingRedirects(IInternet& net, Handle session, const std::wstring& address, std::uint32_t flags);

}  // namespace devstart
