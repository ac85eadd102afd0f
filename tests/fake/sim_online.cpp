#include "fake/sim_online.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

// The library calls the identity functions through its own pointer types:
// the fakes have exactly those types (their layouts start with the table and
// the text), so that a call is no call through a wrong function type.
namespace updlink {
struct PhoneFunctionTable;
struct PhoneString;
}  // namespace updlink

namespace devstart::sim {

namespace {

constexpr std::int32_t kInetResourceNotFound = static_cast<std::int32_t>(0x800C0005u);
constexpr std::int32_t kInetDownloadFailure = static_cast<std::int32_t>(0x800C0008u);
constexpr std::int32_t kInetRedirectFailed = static_cast<std::int32_t>(0x800C0014u);
constexpr std::int32_t kEAbort = static_cast<std::int32_t>(0x80004004u);
constexpr std::int32_t kSFalse = 1;
constexpr std::size_t kPiece = 65536;
constexpr int kMaxRedirects = 5;
constexpr std::uint32_t kHttpQueryLocation = 33;

std::string Scheme(const std::string& url) { return url.substr(0, url.find(':')); }

// The body's bytes [from, from + n): an endless body repeats.
std::string BodyPart(const HttpAnswer& a, std::size_t from, std::size_t n) {
  if (!a.endless) return a.body.substr(std::min(from, a.body.size()), n);
  const std::string unit = a.body.empty() ? std::string("x") : a.body;
  std::string out = unit.substr(from % unit.size());
  while (out.size() < n) out += unit;
  out.resize(n);
  return out;
}
constexpr Handle kPhonelinkModule = 0x10000000;
constexpr Handle kAuthModule = 0x20000000;

}  // namespace

// ---- internet ---------------------------------------------------------------------

Handle FakeInternet::InternetOpenA(const std::string& agent, std::uint32_t, std::uint32_t) {
  agents.push_back(agent);
  Handle h = next_;
  next_ += 4;
  handles_[h] = Open{true, {}, 0};
  return h;
}

Handle FakeInternet::InternetOpenUrlA(Handle session, const std::string& url, std::uint32_t, std::uintptr_t) {
  requests.push_back(url);
  auto s = handles_.find(session);
  if (s == handles_.end() || !s->second.session) return 0;
  auto a = answers.find(url);
  if (a == answers.end() || a->second.unreachable) return 0;
  Handle h = next_;
  next_ += 4;
  handles_[h] = Open{false, url, 0};
  return h;
}

Handle FakeInternet::InternetOpenW(const std::wstring& agent, std::uint32_t access_type, std::uint32_t flags) {
  if (session_fails) return 0;
  return InternetOpenA(Narrow(agent), access_type, flags);
}

Handle FakeInternet::InternetOpenUrlW(Handle session, const std::wstring& url, std::uint32_t flags) {
  open_flags.push_back(flags);
  return InternetOpenUrlA(session, Narrow(url), flags, 0);
}

bool FakeInternet::InternetSetOption(Handle h, std::uint32_t option, std::uint32_t value) {
  auto it = handles_.find(h);
  if (it == handles_.end()) return false;
  options.push_back(OptionSet{it->second.session, option, value});
  return true;
}

bool FakeInternet::InternetQueryDataAvailable(Handle file, std::uint32_t* available) {
  auto h = handles_.find(file);
  if (h == handles_.end() || h->second.session) return false;
  const HttpAnswer& a = answers.at(h->second.url);
  if (a.read_error_at >= 0 && h->second.position >= static_cast<std::size_t>(a.read_error_at)) return false;
  std::size_t left = a.endless ? available_chunk : a.body.size() - h->second.position;
  *available = static_cast<std::uint32_t>(std::min<std::size_t>(available_chunk, left));
  return true;
}

bool FakeInternet::InternetReadFile(Handle file, char* buffer, std::uint32_t size, std::uint32_t* read) {
  read_sizes.push_back(size);
  auto h = handles_.find(file);
  if (h == handles_.end() || h->second.session) return false;
  auto a = answers.find(h->second.url);
  if (a == answers.end()) return false;
  if (a->second.read_error_at >= 0 && h->second.position >= static_cast<std::size_t>(a->second.read_error_at)) {
    return false;
  }
  if (clock) *clock += a->second.ms_per_read;
  std::size_t left = a->second.endless ? size : a->second.body.size() - h->second.position;
  std::size_t n = std::min<std::size_t>(size, left);
  std::string part = BodyPart(a->second, h->second.position, n);
  std::memcpy(buffer, part.data(), n);
  h->second.position += n;
  *read = static_cast<std::uint32_t>(n);
  return true;
}

bool FakeInternet::HttpQueryInfoA(Handle request, std::uint32_t level, std::uint32_t buffer_size, std::string* out) {
  auto h = handles_.find(request);
  if (h == handles_.end() || h->second.session) return false;
  auto a = answers.find(h->second.url);
  if (a == answers.end()) return false;
  std::string text;
  const bool redirects = !a->second.redirect.empty();
  if (level == win::kHttpQueryStatusCode) {
    text = std::to_string(redirects && a->second.status == 200 ? 302 : a->second.status);
  } else if (level == kHttpQueryLocation) {
    if (!redirects) return false;
    text = a->second.redirect;
  } else if (level == win::kHttpQueryContentLength) {
    if (a->second.no_length) return false;  // ERROR_HTTP_HEADER_NOT_FOUND
    long announced = a->second.content_length;
    text = std::to_string(announced >= 0 ? static_cast<std::size_t>(announced) : a->second.body.size());
  } else {
    return false;
  }
  if (text.size() + 1 > buffer_size) return false;  // ERROR_INSUFFICIENT_BUFFER
  *out = text;
  return true;
}

std::int32_t FakeInternet::URLDownloadToFileA(const std::string& url, const std::string& path,
                                              const DownloadLimits& limits) {
  requests.push_back(url);
  download_limits.push_back(limits);
  std::string at = url;
  for (int hops = 0;; ++hops) {
    auto a = answers.find(at);
    if (a == answers.end() || a->second.unreachable) return kInetResourceNotFound;
    if (a->second.redirect.empty()) break;
    if (Scheme(a->second.redirect) != Scheme(url)) return kEAbort;
    if (hops == kMaxRedirects) return kInetRedirectFailed;
    at = a->second.redirect;
  }
  const HttpAnswer& a = answers.at(at);
  if (a.status != 200) return kEAbort;
  const std::uint64_t announced =
      a.content_length >= 0 ? static_cast<std::uint64_t>(a.content_length) : (a.endless ? 0 : a.body.size());
  if (announced > limits.max_bytes) return kEAbort;
  std::string kept;
  std::uint64_t received = 0;
  std::uint32_t elapsed = 0;
  const std::uint64_t ends = a.endless ? UINT64_MAX : std::min<std::uint64_t>(a.body.size(), a.content_length >= 0 ? announced : UINT64_MAX);
  while (received < ends) {
    if (a.read_error_at >= 0 && received >= static_cast<std::uint64_t>(a.read_error_at)) break;
    elapsed += a.ms_per_read;
    if (clock) *clock += a.ms_per_read;
    std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, ends - received));
    if (kept.size() < kPiece) kept += BodyPart(a, static_cast<std::size_t>(received), n);
    received += n;
    if (!WithinLimits(limits, received, elapsed)) {
      files_.Store(Widen(path), kept);
      return kEAbort;
    }
  }
  if (received < announced || (a.read_error_at >= 0 && received < a.body.size())) {
    files_.Store(Widen(path), kept);
    return kInetDownloadFailure;
  }
  if (files_.Store(Widen(path), BodyPart(a, 0, static_cast<std::size_t>(received))) != 0)
    return static_cast<std::int32_t>(win::kEFail);
  return static_cast<std::int32_t>(win::kSOk);
}

// ---- cabinets ---------------------------------------------------------------------

bool FakeCabinets::SetupIterateCabinetA(const std::string& cabinet, const CabinetCallback& callback) {
  std::optional<std::string> content = files_.Get(Widen(cabinet));
  if (!content) return false;
  auto c = by_content.find(*content);
  if (c == by_content.end()) return false;
  for (const auto& [name, bytes] : c->second) {
    std::string target;
    std::uint32_t r = callback(win::kSpFileNotifyFileInCabinet, name, &target);
    if (r == win::kFileOpSkip) continue;
    if (r != win::kFileOpDoIt) return false;
    if (target.size() >= 260) continue;  // no room with its terminator in MAX_PATH: left in the cabinet
    if (bytes.size() > disk_room) {      // the disk is full: what was written of it stays
      files_.Store(Widen(target), bytes.substr(0, static_cast<std::size_t>(disk_room)));
      return false;
    }
    if (files_.Store(Widen(target), bytes) != 0) return false;  // e.g. a folder that does not exist
    disk_room -= bytes.size();
    std::string ignored;
    if (callback(win::kSpFileNotifyFileExtracted, target, &ignored) != win::kNoError) return false;
  }
  return true;
}

// ---- COM --------------------------------------------------------------------------

std::int32_t FakeCom::CoInitialize() {
  bool already = initialized > uninitialized;
  ++initialized;
  return already ? kSFalse : static_cast<std::int32_t>(win::kSOk);
}

void* FakeCom::CreateDocument(const std::string& prog_id) {
  if (!msxml_present || prog_id != "Msxml2.DOMDocument.4.0") return nullptr;
  ++documents_created;
  return &document_;
}

// ---- the phone identity DLLs ----------------------------------------------------

namespace {

IdentityPhone* g_phone = nullptr;

int PhoneCount() {
  g_phone->calls.push_back("0");
  return g_phone->count;
}
int PhoneModel(char* buffer, int size, int count) {
  g_phone->calls.push_back("1:" + std::to_string(size) + "," + std::to_string(count));
  std::snprintf(buffer, static_cast<std::size_t>(size), "%s", g_phone->model.c_str());
  return 1;
}
// The phone string objects of slots 5 and 8 are 256 characters.
int PhoneSerial(updlink::PhoneString* object) {
  char* text = reinterpret_cast<char*>(object);
  g_phone->calls.push_back("5");
  if (!g_phone->serial_ok) return 0;
  std::snprintf(text, 256, "%s", g_phone->serial.c_str());
  return 1;
}
int PhoneSoftware(updlink::PhoneString* object) {
  char* text = reinterpret_cast<char*>(object);
  g_phone->calls.push_back("8");
  std::snprintf(text, 256, "%s", g_phone->software.c_str());
  return 1;
}
void PhonePrepare() { g_phone->calls.push_back("11"); }
void PhoneOpen(int a, int b) { g_phone->calls.push_back("12:" + std::to_string(a) + "," + std::to_string(b)); }
int A123(updlink::PhoneFunctionTable* functions) {
  void** table = reinterpret_cast<void**>(functions);
  g_phone->calls.push_back("A123");
  if (!g_phone->fill_ok) return 0;
  void* slots[13] = {};
  slots[0] = reinterpret_cast<void*>(&PhoneCount);
  slots[1] = reinterpret_cast<void*>(&PhoneModel);
  slots[5] = reinterpret_cast<void*>(&PhoneSerial);
  slots[8] = reinterpret_cast<void*>(&PhoneSoftware);
  slots[11] = reinterpret_cast<void*>(&PhonePrepare);
  slots[12] = reinterpret_cast<void*>(&PhoneOpen);
  for (int i = 0; i < 13; ++i) {
    if (g_phone->missing_slots.count(i) == 0) table[i] = slots[i];
  }
  return 1;
}
int GetPhoneInfo(char* first, char*) {
  g_phone->calls.push_back("GetPhoneInfo");
  std::snprintf(first, 256, "%s", g_phone->auth_serial.c_str());
  return 1;
}

// As LoadLibrary looks a name up: without regard to case, ".dll" implied.
std::string ModuleName(const std::string& name) {
  std::string n = Narrow(Fold(Widen(name)));
  if (n.find('.') == std::string::npos) n += ".dll";
  return n;
}

}  // namespace

IdentityPhone::~IdentityPhone() {
  if (g_phone == this) g_phone = nullptr;
}

Handle IdentityPhone::Load(const std::string& name) const {
  // A name with a folder finds the DLLs only in the folder they are in.
  std::size_t slash = name.rfind('\\');
  if (slash != std::string::npos && Fold(Widen(name.substr(0, slash))) != Fold(Widen(folder))) return 0;
  std::string n = ModuleName(slash == std::string::npos ? name : name.substr(slash + 1));
  if (n == "phonelink.dll" && phonelink_present) return kPhonelinkModule;
  if (n == "authdll.dll" && auth_present) return kAuthModule;
  return 0;
}

void* IdentityPhone::Proc(Handle module, const std::string& name) {
  void* f = nullptr;
  if (module == kPhonelinkModule && name == "_A123") f = reinterpret_cast<void*>(&A123);
  if (module == kAuthModule && name == "GetPhoneInfo") f = reinterpret_cast<void*>(&GetPhoneInfo);
  if (f != nullptr) g_phone = this;
  return f;
}

}  // namespace devstart::sim
