#include "updlink/server_query.h"

#include <cctype>
#include <cstdint>

#include "updlink/encoding.h"

namespace updlink {

using devstart::Machine;
namespace w = devstart::win;

std::string Utf8ToAnsi(Machine& m, const std::string& line) {
  if (line.empty()) return {};
  return m.system.WideCharToMultiByte(w::kCpAcp, m.system.MultiByteToWideChar(w::kCpUtf8, line));
}

// The document is held for the query's life but never read: its absence
// (no MSXML 4.0 on the PC) changes nothing.
ServerQuery::ServerQuery(Machine& m)
    : m_(m),
      com_(m.com, m.com.CoInitialize() >= 0),
      document_(m.com, m.com.CreateDocument("Msxml2.DOMDocument.4.0")) {}

namespace {

// An answer is a page of XML: the largest the server writes is under 10 MiB.
// Past these an answer is no answer, however slowly or endlessly it comes.
constexpr std::size_t kAnswerBytes = 16u << 20;
constexpr std::uint32_t kAnswerDeadlineMs = 60000;
// A server that accepts and then says nothing ends a request here, not
// after the system's default of minutes; a trickle is ended by the deadline.
constexpr std::uint32_t kConnectTimeoutMs = 10000;
constexpr std::uint32_t kReceiveTimeoutMs = 30000;

// WinINet follows a redirect loop without end: redirects are followed here
// instead, this many at most and only to http: and https: addresses.
constexpr int kMaxRedirects = 5;
constexpr std::uint32_t kInternetFlagNoAutoRedirect = 0x00200000u;
constexpr std::uint32_t kHttpQueryLocation = 33;
constexpr std::uint32_t kUrlChars = 2084;

bool StartsWith(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  return true;
}

// Where a redirect leads from `url`; empty when it leaves the web.
std::string RedirectTarget(const std::string& url, const std::string& location) {
  if (StartsWith(location, "http://") || StartsWith(location, "https://")) return location;
  if (location.empty() || location[0] != '/' || (location.size() > 1 && location[1] == '/')) return {};
  std::size_t scheme = url.find("://");
  std::size_t path = scheme == std::string::npos ? std::string::npos : url.find('/', scheme + 3);
  return url.substr(0, path) + location;
}

devstart::Handle OpenFollowing(devstart::IInternet& net, devstart::Handle session, std::string url,
                               std::uint32_t flags, std::uintptr_t context) {
  for (int hop = 0; hop <= kMaxRedirects; ++hop) {
    devstart::Handle h = net.InternetOpenUrlA(session, url, flags | kInternetFlagNoAutoRedirect, context);
    if (h == 0) return 0;
    std::string status, location;
    int code = net.HttpQueryInfoA(h, w::kHttpQueryStatusCode, 32, &status) ? LeadingInt(status) : 0;
    if (code < 300 || code > 399 || !net.HttpQueryInfoA(h, kHttpQueryLocation, kUrlChars, &location)) return h;
    net.InternetCloseHandle(h);
    url = RedirectTarget(url, location);
    if (url.empty()) return 0;
  }
  return 0;
}

void Bound(devstart::IInternet& net, devstart::Handle session) {
  net.InternetSetOption(session, w::kInternetOptionConnectTimeout, kConnectTimeoutMs);
  net.InternetSetOption(session, w::kInternetOptionReceiveTimeout, kReceiveTimeoutMs);
}

// The body of a 2xx answer, read whole. An error page, a failed read and an
// answer cut off before its announced length are all no answer. The handles
// are closed before the caller converts the text.
std::optional<std::string> ReadAnswer(devstart::Machine& m, const std::string& url) {
  devstart::IInternet& net = m.internet;
  const std::uint32_t began = m.system.GetTickCount();
  devstart::UniqueInternet session(net, net.InternetOpenA("", w::kInternetOpenTypePreconfig, 0));
  if (!session) return std::nullopt;
  Bound(net, session.get());
  devstart::UniqueInternet file(
      net, OpenFollowing(net, session.get(), url, w::kInternetFlagReload | w::kInternetFlagTransferBinary, 1));
  if (!file) return std::nullopt;
  std::string status;
  if (net.HttpQueryInfoA(file.get(), w::kHttpQueryStatusCode, 32, &status)) {
    int code = LeadingInt(status);
    if (code < 200 || code > 299) return std::nullopt;
  }
  std::string raw;
  std::string chunk(65536, '\0');
  for (;;) {
    std::uint32_t got = 0;
    if (!net.InternetReadFile(file.get(), chunk.data(), static_cast<std::uint32_t>(chunk.size()), &got))
      return std::nullopt;
    if (got == 0) break;
    raw.append(chunk.data(), got);
    if (raw.size() > kAnswerBytes || m.system.GetTickCount() - began > kAnswerDeadlineMs) return std::nullopt;
  }
  std::string announced;
  if (net.HttpQueryInfoA(file.get(), w::kHttpQueryContentLength, 32, &announced) && !announced.empty() &&
      raw.size() < static_cast<std::size_t>(LeadingInt(announced)))
    return std::nullopt;
  return raw;
}

}  // namespace

std::string ServerQuery::FetchUrlText(const std::string& url) {
  std::optional<std::string> raw = ReadAnswer(m_, url);
  if (!raw) return {};
  // Line by line, each converted, joined without line ends.
  std::string text;
  text.reserve(raw->size());
  std::size_t pos = 0;
  while (pos < raw->size()) {
    auto nl = raw->find('\n', pos);
    std::size_t end = nl == std::string::npos ? raw->size() : nl;
    std::size_t lineEnd = end;
    if (lineEnd > pos && (*raw)[lineEnd - 1] == '\r') --lineEnd;
    text += Utf8ToAnsi(m_, raw->substr(pos, lineEnd - pos));
    pos = nl == std::string::npos ? raw->size() : nl + 1;
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  auto lt = text.find('<');
  if (lt != std::string::npos) text.erase(0, lt);
  return text;
}

int ServerQuery::GetContentLength(const std::string& url) {
  if (url.empty()) return 0;
  // Only the last probe's handles are kept; they stay open until the next
  // probe or the end of the conversation, the old ones closed first.
  probeRequest_.reset();
  probeSession_.reset();
  devstart::IInternet& net = m_.internet;
  probeSession_.reset(net, net.InternetOpenA("Tavoe-ActiveDP/0.9", w::kInternetOpenTypePreconfig, 0));
  if (!probeSession_) return 0;
  Bound(net, probeSession_.get());
  probeRequest_.reset(
      net, OpenFollowing(net, probeSession_.get(), url, w::kInternetFlagReload | w::kInternetFlagNoCacheWrite, 0));
  if (!probeRequest_) return 0;
  std::string len;
  if (!net.HttpQueryInfoA(probeRequest_.get(), w::kHttpQueryContentLength, 32, &len)) return 0;
  return LeadingInt(len);
}

ServerQuery& ExportCall::Query() {
  if (!query_) query_.emplace(m_);
  return *query_;
}

Reply FetchAnswer(ExportCall& call, const std::string& pathAndQuery, AnswerParser& answer, std::string_view word) {
  std::string text = call.Fetch(pathAndQuery);
  answer.Load(text);
  if (text.empty()) return Reply::kNone;
  return answer.Accepted(word) ? Reply::kAccepted : Reply::kRefused;
}

}  // namespace updlink
