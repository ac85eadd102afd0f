#include "update/http_answers.h"

#include "platform/win32_values.h"

namespace devstart {

namespace w = win;

namespace {
constexpr wchar_t kAgent[] = L"HTTP File Transfer";
// An address that never answers must not hold the window for minutes.
constexpr std::uint32_t kConnectTimeoutMs = 10000;
constexpr std::uint32_t kReceiveTimeoutMs = 30000;
}  // namespace

std::optional<std::uint64_t> QueryNumber(IInternet& net, Handle request, std::uint32_t level) {
  std::string text;
  if (!net.HttpQueryInfoA(request, level, 32, &text) || text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || value > (UINT64_MAX - 9) / 10) return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value;
}

bool AnsweredSuccess(IInternet& net, Handle request) {
  std::optional<std::uint64_t> status = QueryNumber(net, request, w::kHttpQueryStatusCode);
  return status && *status >= 200 && *status <= 299;
}

UniqueInternet OpenSession(IInternet& net) {
  UniqueInternet session(net, net.InternetOpenW(kAgent, w::kInternetOpenTypePreconfig, 0));
  if (session) {
    net.InternetSetOption(session.get(), w::kInternetOptionConnectTimeout, kConnectTimeoutMs);
    net.InternetSetOption(session.get(), w::kInternetOptionReceiveTimeout, kReceiveTimeoutMs);
  }
  return session;
}

}  // namespace devstart
