#include "updlink/updlink.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace updlink {

using devstart::Machine;
namespace w = devstart::win;

// ---- registry -------------------------------------------------------------
bool RegistryKey::Open(devstart::RegKey root, const std::string& subkey, std::uint32_t sam) {
  key_.reset();
  devstart::RegKey h = 0;
  if (reg_.RegOpenKeyExA(root, subkey, sam, &h) != w::kErrorSuccess) return false;
  key_.reset(reg_, h);
  return true;
}

bool RegistryKey::Create(devstart::RegKey root, const std::string& subkey) {
  key_.reset();
  devstart::RegKey h = 0;
  if (reg_.RegCreateKeyExA(root, subkey, w::kRegOptionNonVolatile, w::kKeyAllAccess, &h) != w::kErrorSuccess)
    return false;
  key_.reset(reg_, h);
  return true;
}

bool RegistryKey::ReadString(const std::string& name, std::string* out, std::uint32_t size) {
  out->clear();
  if (!key_) return false;
  std::string data;
  if (reg_.RegQueryValueExA(key_.get(), name, size, &data) != w::kErrorSuccess) return false;
  // The value is read into a zeroed buffer: it ends at its first NUL.
  auto nul = data.find('\0');
  if (nul != std::string::npos) data.resize(nul);
  *out = data;
  return true;
}

bool RegistryKey::WriteString(const std::string& name, const std::string& text) {
  if (!key_) return false;
  if (reg_.RegSetValueExA(key_.get(), name, w::kRegSz, text) != w::kErrorSuccess) return false;
  reg_.RegFlushKey(key_.get());
  return true;
}

std::string ServerBase(Machine& m) {
  RegistryKey key(m.registry);
  std::string base;
  if (key.Open(w::kHkeyCurrentUser, kSyncKey)) key.ReadString(kServerValue, &base);
  base = Trim(base);
  if (base.empty()) base = kDefaultServerBase;
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base;
}

// The sync key is opened (created when missing) for each value and closed
// again at once, so that no key stays open across a request to the server.
static std::string ReadSyncValue(Machine& m, const char* name) {
  RegistryKey key(m.registry);
  key.OpenOrCreate(w::kHkeyCurrentUser, kSyncKey);
  return key.Read(name);
}

static void WriteSyncValue(Machine& m, const char* name, const std::string& text) {
  RegistryKey key(m.registry);
  key.OpenOrCreate(w::kHkeyCurrentUser, kSyncKey);
  key.WriteString(name, text);
}

// ---- HTTP -----------------------------------------------------------------
std::string Utf8ToAnsi(Machine& m, const std::string& line) {
  if (line.empty()) return {};
  return m.system.WideCharToMultiByte(w::kCpAcp, m.system.MultiByteToWideChar(w::kCpUtf8, line));
}

std::string EncodeQueryValue(std::string_view value) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(value.size());
  for (char ch : value) {
    auto c = static_cast<unsigned char>(ch);
    if (c == ' ' || c == '&' || c == '#' || c == '%' || c >= 0x80) {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    } else {
      out.push_back(ch);
    }
  }
  return out;
}

int LeadingInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  long long v = 0;
  bool any = false;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    any = true;
    v = v * 10 + (text[i] - '0');
    if (v > 0x7fffffff) v = 0x7fffffff;  // a figure too large saturates, never wraps
  }
  return any ? static_cast<int>(v) : 0;
}

// The document is held for the query's life but never read: its absence
// (no MSXML 4.0 on the PC) changes nothing.
ServerQuery::ServerQuery(Machine& m)
    : m_(m),
      com_(m.com, m.com.CoInitialize() >= 0),
      document_(m.com, m.com.CreateDocument("Msxml2.DOMDocument.4.0")) {}

// The body of a 2xx answer, read whole. An error page, a failed read and an
// answer cut off before its announced length are all no answer. The handles
// are closed before the caller converts the text.
static std::optional<std::string> ReadAnswer(devstart::IInternet& net, const std::string& url) {
  devstart::UniqueInternet session(net, net.InternetOpenA("", w::kInternetOpenTypePreconfig, 0));
  if (!session) return std::nullopt;
  devstart::UniqueInternet file(
      net, net.InternetOpenUrlA(session.get(), url, w::kInternetFlagReload | w::kInternetFlagTransferBinary, 1));
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
  }
  std::string announced;
  if (net.HttpQueryInfoA(file.get(), w::kHttpQueryContentLength, 32, &announced) && !announced.empty() &&
      raw.size() < static_cast<std::size_t>(LeadingInt(announced)))
    return std::nullopt;
  return raw;
}

std::string ServerQuery::FetchUrlText(const std::string& url) {
  std::optional<std::string> raw = ReadAnswer(m_.internet, url);
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
  probeRequest_.reset(
      net, net.InternetOpenUrlA(probeSession_.get(), url, w::kInternetFlagReload | w::kInternetFlagNoCacheWrite, 0));
  if (!probeRequest_) return 0;
  std::string len;
  if (!net.HttpQueryInfoA(probeRequest_.get(), w::kHttpQueryContentLength, 32, &len)) return 0;
  return LeadingInt(len);
}

ServerQuery& ExportCall::Query() {
  if (!query_) query_.emplace(m_);
  return *query_;
}

// ---- phone identity -------------------------------------------------------
bool PhoneIdentity::FillTable(PhoneFunctionTable* table, std::initializer_list<int> required) {
  *table = PhoneFunctionTable{};
  devstart::Handle dll = m_.modules.LoadLibraryA("Phonelink.dll");
  if (!dll) return false;
  auto fill = reinterpret_cast<A123Fn>(m_.modules.GetProcAddress(dll, "_A123"));
  if (!fill || !fill(table)) return false;
  for (int slot : required)
    if (!table->slot[slot]) return false;
  return table->slot[0] && table->slot[12];
}

PhoneIdentity::Serial PhoneIdentity::ReadSerial() {
  Serial out;
  PhoneFunctionTable t;
  if (FillTable(&t, {5, 11})) {
    reinterpret_cast<void (*)(int, int)>(t.slot[12])(115200, 400);
    if (reinterpret_cast<int (*)()>(t.slot[0])() < 1) return out;  // no phone: no fallback either
    out.phoneFound = true;
    m_.system.Sleep(100);
    reinterpret_cast<void (*)()>(t.slot[11])();
    PhoneString s{};
    if (reinterpret_cast<int (*)(PhoneString*)>(t.slot[5])(&s)) {
      s.text[sizeof s.text - 1] = '\0';
      out.serial = s.text;
    }
  }
  if (out.serial.empty()) {
    devstart::Handle auth = m_.modules.LoadLibraryA("AuthDll");
    auto info = auth ? reinterpret_cast<GetPhoneInfoFn>(m_.modules.GetProcAddress(auth, "GetPhoneInfo")) : nullptr;
    if (info) {
      char first[256] = {}, second[256] = {};
      info(first, second);
      first[255] = '\0';
      out.serial = first;
    }
  }
  return out;
}

PhoneIdentity::Identity PhoneIdentity::ReadIdentity() {
  Identity out;
  PhoneFunctionTable t;
  if (!FillTable(&t, {1, 5, 8, 11})) return out;
  reinterpret_cast<void (*)(int, int)>(t.slot[12])(115200, 400);
  int count = reinterpret_cast<int (*)()>(t.slot[0])();
  if (count < 1) return out;
  out.phoneFound = true;
  m_.system.Sleep(100);
  reinterpret_cast<void (*)()>(t.slot[11])();
  PhoneString s{};
  if (reinterpret_cast<int (*)(PhoneString*)>(t.slot[5])(&s)) { s.text[255] = '\0'; out.serial = s.text; }
  PhoneString v{};
  if (reinterpret_cast<int (*)(PhoneString*)>(t.slot[8])(&v)) { v.text[255] = '\0'; out.software = v.text; }
  if (count == 1) {
    char model[256] = {};
    if (reinterpret_cast<int (*)(char*, int, int)>(t.slot[1])(model, 256, count)) {
      model[255] = '\0';
      for (const char* c = model; *c; ++c)
        if (*c != '-') out.model.push_back(*c);
    }
  }
  return out;
}

// ---- files, cabinets, setup ---------------------------------------------
static devstart::UniqueFile OpenForRead(Machine& m, const std::string& path) {
  return {m.kernel, m.files.CreateFileA(path, w::kGenericRead, w::kFileShareRead, w::kOpenExisting,
                                        w::kFileAttributeNormal).handle};
}

bool CanOpenForRead(Machine& m, const std::string& path) { return OpenForRead(m, path).valid(); }

std::optional<std::string> ReadHead(Machine& m, const std::string& path, std::uint32_t count) {
  devstart::UniqueFile file = OpenForRead(m, path);
  if (!file) return std::nullopt;
  std::string head(count, '\0');
  devstart::IoResult read = m.files.ReadFile(file.get(), head.data(), count);
  if (!read.ok) return std::nullopt;
  head.resize(read.transferred);
  return head;
}

std::optional<std::string> VersionValue(Machine& m, const std::string& path, const std::string& subBlock) {
  std::uint32_t handle = 0;
  std::uint32_t size = m.versions.GetFileVersionInfoSizeA(path, &handle);
  if (size == 0) return std::nullopt;
  std::vector<std::uint8_t> block;
  if (!m.versions.GetFileVersionInfoA(path, handle, size, &block)) return std::nullopt;
  return m.versions.VerQueryValueA(block, subBlock);
}

std::string GetCommonAppDataFolder(Machine& m) {
  std::string path = m.files.SHGetSpecialFolderPathA(w::kCsidlCommonAppData, false).value_or("");
  if (path.empty()) {
    RegistryKey key(m.registry);
    if (key.Open(w::kHkeyLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion", w::kKeyRead))
      key.ReadString("ProgramFilesDir", &path, 261);
  }
  if (path.empty() || path.back() != '\\') path += '\\';
  return path;
}

void CreateFolderPath(Machine& m, const std::string& path) {
  std::size_t pos = 3;
  while (pos < path.size()) {
    auto sep = path.find('\\', pos);
    if (sep == std::string::npos) sep = path.find('/', pos);
    if (sep == std::string::npos) break;
    m.files.CreateDirectoryA(path.substr(0, sep));  // an existing folder is fine
    pos = sep + 1;
  }
}

bool IsSafeCabinetName(std::string_view name) {
  if (name.empty()) return false;
  if (name.front() == '\\' || name.front() == '/') return false;
  if (name.find(':') != std::string_view::npos) return false;  // drives and streams
  std::size_t start = 0;
  while (start <= name.size()) {
    auto sep = name.find_first_of("\\/", start);
    std::string_view part = name.substr(start, sep == std::string_view::npos ? std::string_view::npos : sep - start);
    if (part == "..") return false;
    if (sep == std::string_view::npos) break;
    start = sep + 1;
  }
  return true;
}

bool ExtractCabinet(Machine& m, const std::string& cabinet, const std::string& destination) {
  int offered = 0;
  bool counted = m.cabinets.SetupIterateCabinetA(cabinet, [&](std::uint32_t note, const std::string&, std::string*) {
    if (note == w::kSpFileNotifyFileInCabinet) { ++offered; return w::kFileOpSkip; }
    return w::kNoError;
  });
  if (!counted) return false;
  auto extract = [&](std::uint32_t note, const std::string& name, std::string* target) {
    if (note == w::kSpFileNotifyFileInCabinet) {
      // Cabinet names reach us unchecked; one that climbs out of the
      // destination or names a drive is left in the cabinet.
      if (!IsSafeCabinetName(name)) return w::kFileOpSkip;
      std::string full = destination;
      if (full.empty() || full.back() != '\\') full += '\\';
      full += name;
      *target = full;
      CreateFolderPath(m, full);
      if (m.files.GetFileAttributesA(full) != w::kInvalidFileAttributes) {
        m.files.SetFileAttributesA(full, w::kFileAttributeNormal);
        m.files.DeleteFileA(full);
      }
      return w::kFileOpDoIt;
    }
    if (note == w::kSpFileNotifyFileExtracted)
      return CanOpenForRead(m, name) ? w::kNoError : w::kErrorFileNotFound;
    return w::kNoError;
  };
  return m.cabinets.SetupIterateCabinetA(cabinet, extract);
}

std::string GetFileVersionString(Machine& m, const std::string& path) {
  auto tr = VersionValue(m, path, "\\VarFileInfo\\Translation");
  if (!tr || tr->size() < 4) return {};
  auto u16 = [&](std::size_t i) {
    return static_cast<unsigned>(static_cast<unsigned char>((*tr)[i]) | (static_cast<unsigned char>((*tr)[i + 1]) << 8));
  };
  char sub[64];
  std::snprintf(sub, sizeof sub, "\\StringFileInfo\\%04x%04x\\FileVersion", u16(0), u16(2));
  auto v = VersionValue(m, path, sub);
  if (!v) return {};
  std::string out;
  for (char c : *v) {
    if (c == '\0') break;
    if (c == ' ') continue;
    out.push_back(c == ',' ? '.' : c);
  }
  return out;
}

bool DownloadCabinet(Machine& m, const std::string& url, const std::string& path) {
  if (url.empty()) return false;
  if (m.internet.URLDownloadToFileA(url, path) != static_cast<std::int32_t>(w::kSOk)) return false;
  auto head = ReadHead(m, path, 4);
  if (!head || *head != "MSCF") {
    m.files.DeleteFileA(path);  // an error page saved under the cabinet's name
    return false;
  }
  return true;
}

static const char* const kCataloguePath = "/client/app/live_update.jsp";

void UpdatePhoneComponent(ExportCall& call, const std::string& localVersion) {
  Machine& m = call.machine();
  CatalogueEntry entry = ScanCatalogueEntry(call.Fetch(kCataloguePath), "name='PCSyncDLL'");
  if (!entry.found) return;
  if (entry.version == localVersion) return;
  std::string dir = m.files.GetCurrentDirectoryA();
  std::string local = dir + "\\PCSyncDLL.cab";
  if (!dir.empty() && dir.back() == '\\') local = dir + "PCSyncDLL.cab";
  if (!DownloadCabinet(m, entry.url, local)) return;
  ExtractCabinet(m, local, dir);
  m.files.DeleteFileA(local);
}

// Both checks first bring the phone component in the current folder up to
// the catalogue's version.
static void RefreshPhoneComponent(ExportCall& call) {
  std::string cwd = call.machine().files.GetCurrentDirectoryA();
  std::string phonelink = cwd.empty() || cwd.back() == '\\' ? cwd + "Phonelink.dll" : cwd + "\\Phonelink.dll";
  UpdatePhoneComponent(call, GetFileVersionString(call.machine(), phonelink));
}

int StartUpdate(Machine& m) {
  ExportCall call(m);
  {
    RegistryKey key(m.registry);
    key.OpenOrCreate(w::kHkeyCurrentUser, kMobileAxKey);
    key.WriteString("SYNCUPDATE", "TRUE");
  }
  std::string folder = GetCommonAppDataFolder(m) + "TAVOMOBILEAX";
  CreateFolderPath(m, folder + "\\");
  std::string launcher = folder + "\\TavoMLauncher.exe";
  if (m.files.GetFileAttributesA(launcher) != w::kInvalidFileAttributes) {
    m.processes.ShellExecuteA("open", launcher, "", folder, w::kSwShowNormal);
    return 1;
  }
  std::string catalogue = call.Fetch(kCataloguePath);
  if (catalogue.empty()) return 0;
  CatalogueEntry entry = ScanCatalogueEntry(catalogue, "name='B2C_PCSynclink_setup'");
  if (!entry.found) return 0;
  std::string cab = folder + "\\B2CSetup.cab";
  if (!DownloadCabinet(m, entry.url, cab)) return 0;
  ExtractCabinet(m, cab, folder);
  m.files.DeleteFileA(cab);
  m.processes.ShellExecuteA("open", folder + "\\B2CAppSetup.exe", "", folder, w::kSwShowNormal);
  return 1;
}

// ---- history ids and reports --------------------------------------------
HistoryParts SplitHistoryId(std::string_view id) {
  HistoryParts p;
  auto piece = [&](std::size_t at, std::size_t n) {
    return at < id.size() ? std::string(id.substr(at, n)) : std::string();
  };
  p.letter = piece(0, 1);
  p.country = piece(1, 2);
  p.region = piece(3, 1);
  std::string rest = piece(4, std::string_view::npos);
  auto colon = rest.find(':');
  if (colon == std::string::npos) {
    p.stamp = rest;
  } else {
    p.model = rest.substr(0, colon);
    p.stamp = rest.substr(colon + 1);
  }
  return p;
}

std::string MirrorNameFromLetter(const std::string& letter) {
  if (letter == "K") return "KIC";
  if (letter == "A") return "AIC";
  if (letter == "C") return "CIC";
  if (letter == "E") return "EIC";
  if (letter == "G") return "GLOBAL";
  if (letter == "N") return "RUBA";
  return letter;
}

std::string HistoryLetter(const std::string& code) {
  if (code == "RUBA") return "N";
  if (code == "KIC") return "K";
  if (code == "AIC") return "A";
  if (code == "CIC") return "C";
  if (code == "EIC") return "E";
  return "G";
}

std::string FormatStamp(const devstart::LocalTime& t) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d%02d%02d%02d%02d%02d%03d", t.year % 100, t.month, t.day, t.hour, t.minute,
                t.second, t.milliseconds);
  return buf;
}

static long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

static long long Seconds(int y, int mo, int d, int h, int mi, int s) {
  return DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400LL + h * 3600LL + mi * 60LL + s;
}

long long StampElapsedSeconds(std::string_view stamp, const devstart::LocalTime& now) {
  if (stamp.size() < 12) return -1;
  int f[6];
  for (int i = 0; i < 6; ++i) {
    char a = stamp[2 * i], b = stamp[2 * i + 1];
    if (!std::isdigit(static_cast<unsigned char>(a)) || !std::isdigit(static_cast<unsigned char>(b))) return -1;
    f[i] = (a - '0') * 10 + (b - '0');
  }
  if (f[1] < 1 || f[1] > 12 || f[2] < 1 || f[2] > 31 || f[3] > 23 || f[4] > 59 || f[5] > 59) return -1;
  long long diff = Seconds(now.year, now.month, now.day, now.hour, now.minute, now.second) -
                   Seconds(2000 + f[0], f[1], f[2], f[3], f[4], f[5]);
  // Whole days are dropped; only the time of day of the span counts.
  return diff % 86400;
}

std::string DownloadTime(const std::string& status, std::string_view stamp, const devstart::LocalTime& now) {
  if (status == "FAIL") return "0.5";
  if (status != "OK") return "0.1";
  long long s = StampElapsedSeconds(stamp, now);
  if (s == -1) s = 0;
  return std::to_string(s);
}

bool ReportHistory(ExportCall& call, const std::string& historyId, const std::string& status) {
  Machine& m = call.machine();
  std::string serial;
  {
    // The key is created even when there is no id to report.
    RegistryKey key(m.registry);
    key.OpenOrCreate(w::kHkeyCurrentUser, kSyncKey);
    if (historyId.empty()) return false;
    serial = key.Read("S_NUM");
  }
  HistoryParts p = SplitHistoryId(historyId);
  std::string path = "/csmg/b2c/client/ric_hit_rate_pcsync_log.jsp?region=" + EncodeQueryValue(p.region) +
                     "&country=" + EncodeQueryValue(p.country) + "&status=" + EncodeQueryValue(status) +
                     "&ric=" + EncodeQueryValue(MirrorNameFromLetter(p.letter)) + "&client=SYNC_LU&model=" +
                     EncodeQueryValue(p.model) + "&esn=" + EncodeQueryValue(serial) + "&version=&history_id=" +
                     EncodeQueryValue(p.stamp) + "&userid=&filesize=0&download_time=" +
                     DownloadTime(status, p.stamp, m.system.GetLocalTime());
  AnswerParser answer;
  answer.Load(call.Fetch(path));
  return answer.Accepted("OK");
}

// S_KEY holds the id of the download last reported started and not yet
// reported finished.
std::string UpdateGBCforSync(Machine& m, const std::string& historyId, const std::string& status) {
  ExportCall call(m);
  std::string pending = ReadSyncValue(m, "S_KEY");
  m.system.Sleep(1000);
  bool ok = true;
  if (status == "START") {
    if (!pending.empty()) {
      // The download that was never finished is the one reported as failed.
      ok = ReportHistory(call, pending, "FAIL");
      m.system.Sleep(1000);
    }
    WriteSyncValue(m, "S_KEY", historyId);
    if (!ReportHistory(call, historyId, "START")) {
      WriteSyncValue(m, "S_KEY", "");
      ok = false;
    }
  } else if (status == "FAIL" || status == "OK") {
    if (ReportHistory(call, historyId, status)) WriteSyncValue(m, "S_KEY", "");
    else ok = false;
  }
  return ok ? kMsgSuccess : kMsgFail;
}

// ---- checks -------------------------------------------------------------
static std::string At(const std::vector<std::string>& list, std::size_t i) { return i < list.size() ? list[i] : std::string(); }

Country LookupCountry(ExportCall& call, bool phoneCheck) {
  std::string abbrev = call.machine().system.GetLocaleInfoA(w::kLocaleUserDefault, w::kLocaleSAbbrevCtryName, 7);
  if (abbrev == "SCG" || abbrev == "BIH") abbrev = "SRB";
  Country c;
  AnswerParser answer;
  std::string text = call.Fetch("/csmg/b2c/client/ftp_country_info.jsp");
  answer.Load(text);
  if (text.empty() || !answer.Accepted("OK")) {
    c.code = "KR";
    c.region = phoneCheck ? "" : "K";
    return c;
  }
  auto codes = FindAll(answer.Root(), "country_code");
  auto iso = FindAll(answer.Root(), "country_isocode");
  auto regions = FindAll(answer.Root(), "region_code");
  std::size_t rows = phoneCheck ? FindAll(answer.Root(), "country").size() : codes.size();
  std::size_t chosen = 0;
  for (std::size_t i = 0; i < rows; ++i)
    if (At(iso, i) == abbrev) chosen = i;  // the last match wins
  c.code = At(codes, chosen);
  std::string region = At(regions, chosen);
  c.region = phoneCheck ? region : region.substr(0, region.empty() ? 0 : 1);
  return c;
}

namespace {

struct Mirror { const char* code; const char* users; const char* cap; MirrorLoad LoadFigures::*load; };
constexpr Mirror kMirrors[] = {
    {"RUBA", "pcsync_ruba", "pcsync_ruba_control_cnt", &LoadFigures::ruba},
    {"KIC", "pcsync_kic", "pcsync_kic_control_cnt", &LoadFigures::kic},
    {"AIC", "pcsync_aic", "pcsync_aic_control_cnt", &LoadFigures::aic},
    {"CIC", "pcsync_cic", "pcsync_cic_control_cnt", &LoadFigures::cic},
    {"EIC", "pcsync_eic", "pcsync_eic_control_cnt", &LoadFigures::eic},
};

// A download that was started and never reported finished counts as failed;
// the report gets a second try, and once one is accepted nothing is pending.
void ReportPendingDownload(ExportCall& call) {
  std::string pending = ReadSyncValue(call.machine(), "S_KEY");
  if (pending.empty()) return;
  if (ReportHistory(call, pending, "FAIL") || ReportHistory(call, pending, "FAIL"))
    WriteSyncValue(call.machine(), "S_KEY", "");
}

// The serial is stored for this download's reports, empty when none was read.
PhoneIdentity::Serial ReadAndStoreSerial(Machine& m) {
  PhoneIdentity::Serial serial = PhoneIdentity(m).ReadSerial();
  WriteSyncValue(m, "S_NUM", serial.serial);
  return serial;
}

struct Model { std::string model, buyer; };
std::optional<Model> CheckModel(ExportCall& call, const std::string& serial) {
  AnswerParser answer;
  std::string text = call.Fetch("/svc/popup/model_check.jsp?esn=" + EncodeQueryValue(serial));
  answer.Load(text);
  if (text.empty() || !answer.Accepted("ok")) return std::nullopt;
  return Model{FindFirst(answer.Root(), "model"), FindFirst(answer.Root(), "buyer")};
}

Offer P4Row(const AnswerNode& root) {
  auto versions = FindAll(root, "sw_version");
  for (std::size_t i = 0; i < versions.size(); ++i)
    if (versions[i].compare(0, 3, "P4.") == 0)
      return Offer{At(FindAll(root, "sw_uri"), i),           At(FindAll(root, "sw_recommand_uri"), i),
                   At(FindAll(root, "sw_recommand_type"), i), At(FindAll(root, "sw_recommand_uri2"), i),
                   At(FindAll(root, "sw_recommand_type2"), i), At(FindAll(root, "sw_chk_uri"), i),
                   At(FindAll(root, "sw_chk_uri2"), i)};
  return Offer{};
}

// The offer list is asked ever more broadly: model and buyer, model alone,
// buyer alone, neither, and last the global list. An empty answer on any rung
// fails the check, but the ladder still climbs to the first accepted answer.
struct OfferSearch { bool accepted = false, answered = true; Offer offer; };
OfferSearch FindOffer(ExportCall& call, const Model& m, const Country& country, const std::string& version) {
  const bool testing = !version.empty();
  struct Rung { bool model, buyer, global; };
  constexpr Rung kLadder[] = {{true, true, false}, {true, false, false}, {false, true, false},
                              {false, false, false}, {false, false, true}};
  OfferSearch found;
  for (const Rung& r : kLadder) {
    std::string q = std::string(testing ? "/csmg/b2c/client/pcsync_ftp_upload_testing.jsp" : "/csmg/b2c/client/pcsync_ftp_upload_list.jsp") +
                    "?model=" + (r.model ? EncodeQueryValue(m.model) : "") + "&buyer=" + (r.buyer ? EncodeQueryValue(m.buyer) : "") +
                    "&region=" + EncodeQueryValue(country.region) + "&country=" + (r.global ? std::string("GO") : EncodeQueryValue(country.code));
    if (testing) q += "&version=" + EncodeQueryValue(version);
    AnswerParser list;
    std::string text = call.Fetch(q);
    list.Load(text);
    if (text.empty()) found.answered = false;
    if (list.Accepted("OK")) {
      found.accepted = true;
      found.offer = P4Row(list.Root());
      break;
    }
  }
  return found;
}

std::optional<LoadFigures> ReadLoadFigures(ExportCall& call) {
  AnswerParser answer;
  std::string text = call.Fetch("/csmg/b2c/client/ric_hit_rate_monitoring.jsp");
  answer.Load(text);
  if (text.empty() || !answer.Accepted("OK")) return std::nullopt;
  auto figure = [&](const char* field) { return LeadingInt(FindFirst(answer.Root(), field)); };
  LoadFigures f;
  f.global = figure("pcsync_global");
  for (const Mirror& m : kMirrors) f.*m.load = MirrorLoad{figure(m.users), figure(m.cap)};
  return f;
}

// The mirror's letter, the country and its region's first letter, the model
// and the moment of the check.
std::string HistoryId(const std::string& mirrorCode, const Country& country, const std::string& model,
                      const devstart::LocalTime& now) {
  return HistoryLetter(mirrorCode) + country.code + country.region.substr(0, country.region.empty() ? 0 : 1) + model + ":" +
         FormatStamp(now);
}

}  // namespace

MirrorChoice ChooseMirror(const Offer& offer, const std::optional<LoadFigures>& load, const SizeProbe& probe) {
  const LoadFigures f = load.value_or(LoadFigures{});
  std::string type = offer.type1, url = offer.uri1;
  // KIC takes the download while it is below its cap, RUBA otherwise.
  if (type == "KIC/GLOBAL" || offer.type2 == "RUBA/GLOBAL") {
    if (f.kic.cap != 0 && f.kic.users < f.kic.cap) { type = "KIC/GLOBAL"; url = offer.uri1; }
    else { type = "RUBA/GLOBAL"; url = offer.uri2; }
  }
  auto slash = type.find('/');
  MirrorChoice c;
  c.code = slash == std::string::npos ? std::string() : type.substr(0, slash);
  for (const Mirror& m : kMirrors) {
    const MirrorLoad& l = f.*m.load;
    if (c.code == m.code && (l.cap == 0 || l.users >= l.cap)) c.code = "GLOBAL";
  }
  // A mirror whose check file is missing or short has not got the files yet.
  if (c.code != "GLOBAL" && probe(c.code == "RUBA" ? offer.chk2 : offer.chk1) >= 1000) {
    c.url = url;
  } else {
    c.code = "GLOBAL";
    c.url = offer.uri;
  }
  if (!load) c.message = kMsgConnFail;
  else if (c.code == "GLOBAL" && f.global >= 100) c.message = kMsgMaxUser;
  if (!c.message.empty()) c.url.clear();
  return c;
}

CheckResult CheckLVUpdate(Machine& m, const std::string& version) {
  ExportCall call(m);
  RefreshPhoneComponent(call);
  ReportPendingDownload(call);
  CheckResult r;
  PhoneIdentity::Serial serial = ReadAndStoreSerial(m);
  if (serial.serial.empty()) {
    r.message = serial.phoneFound ? kMsgAuthFail : kMsgPhoneFail;
    return r;
  }
  std::optional<Model> model = CheckModel(call, serial.serial);
  if (!model) {
    r.message = kMsgAuthFail;
    return r;
  }
  Country country = LookupCountry(call, false);
  OfferSearch search = FindOffer(call, *model, country, version);
  if (search.accepted && search.offer.uri1.empty()) {
    r.message = kMsgNoUrlFail;
    return r;
  }
  if (!search.answered) {
    r.message = kMsgAuthFail;
    return r;
  }
  // With no list accepted the offer is empty: the choice falls to the main
  // server's (empty) address.
  std::optional<LoadFigures> load = ReadLoadFigures(call);
  MirrorChoice mirror =
      ChooseMirror(search.offer, load, [&](const std::string& url) { return call.Query().GetContentLength(url); });
  r.message = mirror.message.empty() ? kMsgReady : mirror.message;
  if (mirror.message.empty()) {
    r.url = mirror.url;
    r.history = HistoryId(mirror.code, country, model->model, m.system.GetLocalTime());
  }
  return r;
}

PhoneCheckResult CheckPhoneSWUpdate(Machine& m) {
  ExportCall call(m);
  RefreshPhoneComponent(call);
  Country country = LookupCountry(call, true);
  PhoneIdentity phone(m);
  PhoneIdentity::Identity id = phone.ReadIdentity();
  PhoneCheckResult r;
  if (!id.phoneFound) { r.message = kMsgConnectFail; return r; }
  AnswerParser answer;
  std::string text = call.Fetch("/csmg/b2c/client/auth_model_check.jsp?esn=" + EncodeQueryValue(id.serial) +
                                "&model=" + EncodeQueryValue(id.model) + "&country=" + EncodeQueryValue(country.code) +
                                "&region=" + EncodeQueryValue(country.region));
  answer.Load(text);
  if (text.empty() || !answer.Accepted("OK")) { r.message = kMsgAuthFail; return r; }
  std::string result = FindFirst(answer.Root(), "result");
  std::string server = FindFirst(answer.Root(), "sw_version");
  if (id.software.empty() || result != "OK") { r.message = kMsgNoNewVersion; return r; }
  auto norm = [](std::string s) {
    for (char& c : s) c = c == '+' ? '0' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  if (norm(id.software) == norm(server)) { r.message = kMsgNoNewVersion; return r; }
  r.result = 1;
  return r;
}

}  // namespace updlink
