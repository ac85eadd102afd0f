#include "update/http_answers.h"

#include "platform/win32_values.h"

namespace devstart {

namespace w = win;

namespace {
constexpr wchar_t kAgent[] = L"HTTP File Transfer";
// An address that never answers must not hold the window for minutes.
constexpr std::uint32_t kConnectTimeoutMs = 10000;
constexpr std::uint32_t kReceiveTimeoutMs = 30000;
constexpr int kMaxRedirects = 5;
constexpr std::uint32_t kInternetFlagNoAutoRedirect = 0x00200000u;
constexpr std::uint32_t kHttpQueryLocation = 33;
constexpr std::uint32_t kUrlChars = 2084;

bool IsWebAddress(const std::string& url) {
  std::string head = url.substr(0, 8);
  for (char& c : head) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return head.rfind("http://", 0) == 0 || head.rfind("https://", 0) == 0;
}

// Where a redirect leads from `url`; empty when it leaves the web.
std::wstring RedirectTarget(const std::wstring& url, const std::string& location) {
  if (IsWebAddress(location)) return std::wstring(location.begin(), location.end());
  if (location.empty() || location[0] != '/' || (location.size() > 1 && location[1] == '/')) return {};
  std::size_t scheme = url.find(L"://");
  std::size_t path = scheme == std::wstring::npos ? std::wstring::npos : url.find(L'/', scheme + 3);
  return url.substr(0, path) + std::wstring(location.begin(), location.end());
}
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

OpenedUrl OpenFollowingRedirects(IInternet& net, Handle session, const std::wstring& address, std::uint32_t flags) {
  OpenedUrl opened;
  std::wstring url = address;
  for (int hop = 0;; ++hop) {
    opened.request.reset(net, net.InternetOpenUrlW(session, url, flags | kInternetFlagNoAutoRedirect));
    if (!opened.request) {
      opened.outcome = OpenOutcome::kFailed;
      return opened;
    }
    std::optional<std::uint64_t> code = QueryNumber(net, opened.request.get(), w::kHttpQueryStatusCode);
    std::string location;
    if (!code || *code < 300 || *code > 399 ||
        !net.HttpQueryInfoA(opened.request.get(), kHttpQueryLocation, kUrlChars, &location)) {
      opened.outcome = OpenOutcome::kOpened;
      return opened;
    }
    url = hop < kMaxRedirects ? RedirectTarget(url, location) : std::wstring();
    if (url.empty()) {
      opened.request.reset();
      opened.outcome = OpenOutcome::kRedirectRefused;
      return opened;
    }
  }
}

}  // namespace devstart
