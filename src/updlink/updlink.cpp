#include "updlink/updlink.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace updlink {

namespace w = win;

// ---- registry -------------------------------------------------------------
bool RegKey::Open(Handle root, const std::string& subkey) {
  Close();
  Handle h = 0;
  if (reg_.OpenKey(root, subkey, w::kKeyAllAccess, &h) != w::kErrorSuccess) { key_ = 0; return false; }
  key_ = h;
  return true;
}

bool RegKey::Create(Handle root, const std::string& subkey) {
  Close();
  Handle h = 0;
  if (reg_.CreateKey(root, subkey, w::kRegOptionNonVolatile, w::kKeyAllAccess, &h) != w::kErrorSuccess) {
    key_ = 0;
    return false;
  }
  key_ = h;
  return true;
}

bool RegKey::ReadString(const std::string& name, std::string* out) {
  out->clear();
  if (!key_) return false;
  std::string data;
  if (reg_.QueryValue(key_, name, 256, &data) != w::kErrorSuccess) return false;
  // The value is read into a zeroed buffer: it ends at its first NUL.
  auto nul = data.find('\0');
  if (nul != std::string::npos) data.resize(nul);
  *out = data;
  return true;
}

bool RegKey::WriteString(const std::string& name, const std::string& text) {
  if (!key_) return false;
  if (reg_.SetValue(key_, name, w::kRegSz, text) != w::kErrorSuccess) return false;
  reg_.Flush(key_);
  return true;
}

void RegKey::Close() {
  if (key_) reg_.Close(key_);
  key_ = 0;
}

std::string ServerBase(UpdEnv& env) {
  RegKey key(env.reg);
  std::string base;
  if (key.Open(w::kHkeyCurrentUser, kSyncKey)) key.ReadString(kServerValue, &base);
  base = Trim(base);
  if (base.empty()) base = kDefaultServerBase;
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base;
}

// ---- HTTP -----------------------------------------------------------------
std::string Utf8ToAnsi(UpdEnv& env, const std::string& line) {
  if (line.empty()) return {};
  return env.sys.WideToMultiByte(w::kCpAcp, env.sys.MultiByteToWide(w::kCpUtf8, line));
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

ServerQuery::ServerQuery(UpdEnv& env) : env_(env) {
  comResult_ = env_.com.Initialize();
  // The document is held for the query's life but never read: its absence
  // (no MSXML 4.0 on the PC) changes nothing.
  document_ = env_.com.CreateDocument("Msxml2.DOMDocument.4.0");
}

ServerQuery::~ServerQuery() {
  CloseProbe();
  if (document_) env_.com.Release(document_);
  if (comResult_ >= 0) env_.com.Uninitialize();
}

void ServerQuery::CloseProbe() {
  if (probeRequest_) env_.net.CloseHandle(probeRequest_);
  if (probeSession_) env_.net.CloseHandle(probeSession_);
  probeRequest_ = probeSession_ = 0;
}

std::string ServerQuery::FetchUrlText(const std::string& url) {
  Handle session = env_.net.Open("", w::kInternetOpenTypePreconfig, 0);
  if (!session) return {};
  Handle file = env_.net.OpenUrl(session, url, w::kInternetFlagReload | w::kInternetFlagTransferBinary, 1);
  if (!file) { env_.net.CloseHandle(session); return {}; }
  std::string raw;
  bool ok = true;
  std::string status;
  // An error page is no answer: only a 2xx status yields text.
  if (env_.net.QueryInfo(file, w::kHttpQueryStatusCode, 32, &status)) {
    int code = LeadingInt(status);
    if (code < 200 || code > 299) ok = false;
  }
  if (ok) {
    std::string chunk(65536, '\0');
    for (;;) {
      std::uint32_t got = 0;
      if (!env_.net.Read(file, chunk.data(), static_cast<std::uint32_t>(chunk.size()), &got)) { ok = false; break; }
      if (got == 0) break;
      raw.append(chunk.data(), got);
    }
  }
  // An answer cut off before its announced length is no answer either.
  std::string announced;
  if (ok && env_.net.QueryInfo(file, w::kHttpQueryContentLength, 32, &announced) && !announced.empty() &&
      raw.size() < static_cast<std::size_t>(LeadingInt(announced)))
    ok = false;
  env_.net.CloseHandle(file);
  env_.net.CloseHandle(session);
  if (!ok) return {};
  // Line by line, each converted, joined without line ends.
  std::string text;
  text.reserve(raw.size());
  std::size_t pos = 0;
  while (pos < raw.size()) {
    auto nl = raw.find('\n', pos);
    std::size_t end = nl == std::string::npos ? raw.size() : nl;
    std::size_t lineEnd = end;
    if (lineEnd > pos && raw[lineEnd - 1] == '\r') --lineEnd;
    text += Utf8ToAnsi(env_, raw.substr(pos, lineEnd - pos));
    pos = nl == std::string::npos ? raw.size() : nl + 1;
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  auto lt = text.find('<');
  if (lt != std::string::npos) text.erase(0, lt);
  return text;
}

int ServerQuery::GetContentLength(const std::string& url) {
  if (url.empty()) return 0;
  CloseProbe();
  probeSession_ = env_.net.Open("Tavoe-ActiveDP/0.9", w::kInternetOpenTypePreconfig, 0);
  if (!probeSession_) return 0;
  probeRequest_ = env_.net.OpenUrl(probeSession_, url, w::kInternetFlagReload | w::kInternetFlagNoCacheWrite, 0);
  if (!probeRequest_) return 0;
  std::string len;
  if (!env_.net.QueryInfo(probeRequest_, w::kHttpQueryContentLength, 32, &len)) return 0;
  return LeadingInt(len);
}

// ---- phone identity -------------------------------------------------------
bool PhoneIdentity::FillTable(PhoneFunctionTable* table, std::initializer_list<int> required) {
  *table = PhoneFunctionTable{};
  Handle dll = env_.modules.Load("Phonelink.dll");
  if (!dll) return false;
  auto fill = reinterpret_cast<A123Fn>(env_.modules.Proc(dll, "_A123"));
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
    env_.sys.Sleep(100);
    reinterpret_cast<void (*)()>(t.slot[11])();
    PhoneString s{};
    if (reinterpret_cast<int (*)(PhoneString*)>(t.slot[5])(&s)) {
      s.text[sizeof s.text - 1] = '\0';
      out.serial = s.text;
    }
  }
  if (out.serial.empty()) {
    Handle auth = env_.modules.Load("AuthDll");
    auto info = auth ? reinterpret_cast<GetPhoneInfoFn>(env_.modules.Proc(auth, "GetPhoneInfo")) : nullptr;
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
  env_.sys.Sleep(100);
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
std::string GetCommonAppDataFolder(UpdEnv& env) {
  std::string path;
  if (!env.shell.SpecialFolder(w::kCsidlCommonAppData, false, &path) || path.empty()) {
    path.clear();
    RegKey key(env.reg);
    Handle h = 0;
    if (env.reg.OpenKey(w::kHkeyLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion", w::kKeyRead, &h) ==
        w::kErrorSuccess) {
      std::string data;
      if (env.reg.QueryValue(h, "ProgramFilesDir", 261, &data) == w::kErrorSuccess) {
        auto nul = data.find('\0');
        if (nul != std::string::npos) data.resize(nul);
        path = data;
      }
      env.reg.Close(h);
    }
  }
  if (path.empty() || path.back() != '\\') path += '\\';
  return path;
}

void CreateFolderPath(UpdEnv& env, const std::string& path) {
  std::size_t pos = 3;
  while (pos < path.size()) {
    auto sep = path.find('\\', pos);
    if (sep == std::string::npos) sep = path.find('/', pos);
    if (sep == std::string::npos) break;
    env.files.CreateDirectory(path.substr(0, sep));  // an existing folder is fine
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

bool ExtractCabinet(UpdEnv& env, const std::string& cabinet, const std::string& destination) {
  int offered = 0;
  bool counted = env.cabinet.Iterate(cabinet, [&](std::uint32_t note, const std::string&, std::string*) {
    if (note == w::kSpFileNotifyFileInCabinet) { ++offered; return w::kFileOpSkip; }
    return w::kNoError;
  });
  if (!counted) return false;
  return env.cabinet.Iterate(cabinet, [&](std::uint32_t note, const std::string& name, std::string* target) {
    if (note == w::kSpFileNotifyFileInCabinet) {
      // Cabinet names reach us unchecked; one that climbs out of the
      // destination or names a drive is left in the cabinet.
      if (!IsSafeCabinetName(name)) return w::kFileOpSkip;
      std::string full = destination;
      if (full.empty() || full.back() != '\\') full += '\\';
      full += name;
      *target = full;
      CreateFolderPath(env, full);
      if (env.files.GetAttributes(full) != w::kInvalidFileAttributes) {
        env.files.SetAttributes(full, w::kFileAttributeNormal);
        env.files.DeleteFile(full);
      }
      return w::kFileOpDoIt;
    }
    if (note == w::kSpFileNotifyFileExtracted)
      return env.files.CanOpenForRead(name) ? w::kNoError : w::kErrorFileNotFound;
    return w::kNoError;
  });
}

std::string GetFileVersionString(UpdEnv& env, const std::string& path) {
  auto tr = env.files.VersionValue(path, "\\VarFileInfo\\Translation");
  if (!tr || tr->size() < 4) return {};
  auto u16 = [&](std::size_t i) {
    return static_cast<unsigned>(static_cast<unsigned char>((*tr)[i]) | (static_cast<unsigned char>((*tr)[i + 1]) << 8));
  };
  char sub[64];
  std::snprintf(sub, sizeof sub, "\\StringFileInfo\\%04x%04x\\FileVersion", u16(0), u16(2));
  auto v = env.files.VersionValue(path, sub);
  if (!v) return {};
  std::string out;
  for (char c : *v) {
    if (c == '\0') break;
    if (c == ' ') continue;
    out.push_back(c == ',' ? '.' : c);
  }
  return out;
}

bool DownloadCabinet(UpdEnv& env, const std::string& url, const std::string& path) {
  if (url.empty()) return false;
  if (env.download.DownloadToFile(url, path) != w::kSOk) return false;
  auto head = env.files.ReadHead(path, 4);
  if (!head || *head != "MSCF") {
    env.files.DeleteFile(path);  // an error page saved under the cabinet's name
    return false;
  }
  return true;
}

static bool EndsWithNoCase(const std::string& s, std::string_view tail) {
  if (s.size() < tail.size()) return false;
  for (std::size_t i = 0; i < tail.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[s.size() - tail.size() + i])) != std::tolower(static_cast<unsigned char>(tail[i])))
      return false;
  return true;
}

static std::string CatalogueUrl(UpdEnv& env) { return ServerBase(env) + "/client/app/live_update.jsp"; }

void UpdatePhoneComponent(UpdEnv& env, ServerQuery& query, const std::string& localVersion) {
  std::string catalogue = query.FetchUrlText(CatalogueUrl(env));
  CatalogueEntry entry = ScanCatalogueEntry(catalogue, "name='PCSyncDLL'");
  if (!entry.found) return;
  if (entry.version == localVersion) return;
  std::string dir = env.files.CurrentDirectory();
  std::string local = dir + "\\PCSyncDLL.cab";
  if (!dir.empty() && dir.back() == '\\') local = dir + "PCSyncDLL.cab";
  if (!DownloadCabinet(env, entry.url, local)) return;
  if (EndsWithNoCase(local, "cab")) {
    ExtractCabinet(env, local, dir);
    env.files.DeleteFile(local);
  }
}

int StartUpdate(UpdEnv& env) {
  {
    RegKey key(env.reg);
    key.OpenOrCreate(w::kHkeyCurrentUser, kMobileAxKey);
    key.WriteString("SYNCUPDATE", "TRUE");
  }
  std::string folder = GetCommonAppDataFolder(env) + "TAVOMOBILEAX";
  CreateFolderPath(env, folder + "\\");
  std::string launcher = folder + "\\TavoMLauncher.exe";
  if (env.files.GetAttributes(launcher) != w::kInvalidFileAttributes) {
    env.shell.Execute("open", launcher, "", folder, w::kSwShowNormal);
    return 1;
  }
  ServerQuery query(env);
  std::string catalogue = query.FetchUrlText(CatalogueUrl(env));
  if (catalogue.empty()) return 0;
  CatalogueEntry entry = ScanCatalogueEntry(catalogue, "name='B2C_PCSynclink_setup'");
  if (!entry.found) return 0;
  std::string cab = folder + "\\B2CSetup.cab";
  if (!DownloadCabinet(env, entry.url, cab)) return 0;
  ExtractCabinet(env, cab, folder);
  env.files.DeleteFile(cab);
  env.shell.Execute("open", folder + "\\B2CAppSetup.exe", "", folder, w::kSwShowNormal);
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

std::string FormatStamp(const LocalTime& t) {
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

long long StampElapsedSeconds(std::string_view stamp, const LocalTime& now) {
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

std::string DownloadTime(const std::string& status, std::string_view stamp, const LocalTime& now) {
  if (status == "FAIL") return "0.5";
  if (status != "OK") return "0.1";
  long long s = StampElapsedSeconds(stamp, now);
  if (s == -1) s = 0;
  return std::to_string(s);
}

bool ReportHistory(UpdEnv& env, const std::string& historyId, const std::string& status) {
  RegKey key(env.reg);
  key.OpenOrCreate(w::kHkeyCurrentUser, kSyncKey);
  if (historyId.empty()) return false;
  std::string serial = key.Read("S_NUM");
  key.Close();
  HistoryParts p = SplitHistoryId(historyId);
  std::string url = ServerBase(env) + "/csmg/b2c/client/ric_hit_rate_pcsync_log.jsp?region=" +
                    EncodeQueryValue(p.region) + "&country=" + EncodeQueryValue(p.country) +
                    "&status=" + EncodeQueryValue(status) + "&ric=" + EncodeQueryValue(MirrorNameFromLetter(p.letter)) +
                    "&client=SYNC_LU&model=" + EncodeQueryValue(p.model) + "&esn=" + EncodeQueryValue(serial) +
                    "&version=&history_id=" + EncodeQueryValue(p.stamp) + "&userid=&filesize=0&download_time=" +
                    DownloadTime(status, p.stamp, env.sys.Now());
  ServerQuery query(env);
  AnswerParser answer;
  answer.Load(query.FetchUrlText(url));
  return answer.Accepted("OK");
}

std::string UpdateGBCforSync(UpdEnv& env, const std::string& historyId, const std::string& status) {
  std::string pending;
  {
    RegKey key(env.reg);
    key.OpenOrCreate(w::kHkeyCurrentUser, kSyncKey);
    pending = key.Read("S_KEY");
  }
  auto setPending = [&](const std::string& v) {
    RegKey key(env.reg);
    key.OpenOrCreate(w::kHkeyCurrentUser, kSyncKey);
    key.WriteString("S_KEY", v);
  };
  env.sys.Sleep(1000);
  bool ok = true;
  if (status == "START") {
    if (!pending.empty()) {
      // The download that was never finished is the one reported as failed.
      ok = ReportHistory(env, pending, "FAIL");
      env.sys.Sleep(1000);
    }
    setPending(historyId);
    if (!ReportHistory(env, historyId, "START")) {
      setPending("");
      ok = false;
    }
  } else if (status == "FAIL") {
    if (ReportHistory(env, historyId, "FAIL")) setPending("");
    else ok = false;
  } else if (status == "OK") {
    if (ReportHistory(env, historyId, "OK")) setPending("");
    else ok = false;
  }
  return ok ? kMsgSuccess : kMsgFail;
}

// ---- checks -------------------------------------------------------------
static std::string At(const std::vector<std::string>& list, std::size_t i) { return i < list.size() ? list[i] : std::string(); }

Country LookupCountry(UpdEnv& env, ServerQuery& query, bool phoneCheck) {
  std::string abbrev = env.sys.LocaleInfo(w::kLocaleUserDefault, w::kLocaleSAbbrevCtryName, 7);
  if (abbrev == "SCG" || abbrev == "BIH") abbrev = "SRB";
  Country c;
  AnswerParser answer;
  std::string text = query.FetchUrlText(ServerBase(env) + "/csmg/b2c/client/ftp_country_info.jsp");
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
struct Mirror { const char* code; const char* users; const char* cap; };
constexpr Mirror kMirrors[] = {
    {"RUBA", "pcsync_ruba", "pcsync_ruba_control_cnt"}, {"KIC", "pcsync_kic", "pcsync_kic_control_cnt"},
    {"AIC", "pcsync_aic", "pcsync_aic_control_cnt"},    {"CIC", "pcsync_cic", "pcsync_cic_control_cnt"},
    {"EIC", "pcsync_eic", "pcsync_eic_control_cnt"},
};
}  // namespace

CheckResult CheckLVUpdate(UpdEnv& env, const std::string& version) {
  const std::string base = ServerBase(env);
  ServerQuery query(env);
  std::string cwd = env.files.CurrentDirectory();
  std::string phonelink = cwd.empty() || cwd.back() == '\\' ? cwd + "Phonelink.dll" : cwd + "\\Phonelink.dll";
  UpdatePhoneComponent(env, query, GetFileVersionString(env, phonelink));

  {
    RegKey key(env.reg);
    key.OpenOrCreate(w::kHkeyCurrentUser, kSyncKey);
    std::string pending = key.Read("S_KEY");
    key.Close();
    if (!pending.empty()) {
      if (ReportHistory(env, pending, "FAIL") || ReportHistory(env, pending, "FAIL")) {
        key.OpenOrCreate(w::kHkeyCurrentUser, kSyncKey);
        key.WriteString("S_KEY", "");
      }
    }
  }

  std::string model, buyer, message, url;
  Country country;
  int state = 0;
  PhoneIdentity phone(env);
  PhoneIdentity::Serial serial = phone.ReadSerial();
  {
    RegKey key(env.reg);
    key.OpenOrCreate(w::kHkeyCurrentUser, kSyncKey);
    key.WriteString("S_NUM", serial.serial);
  }
  std::string mirrorCode;
  if (!serial.serial.empty()) state = 1;
  if (serial.serial.empty()) {
    message = serial.phoneFound ? kMsgAuthFail : kMsgPhoneFail;
    state = 0;
  } else {
    AnswerParser answer;
    std::string text = query.FetchUrlText(base + "/svc/popup/model_check.jsp?esn=" + EncodeQueryValue(serial.serial));
    answer.Load(text);
    if (text.empty() || !answer.Accepted("ok")) {
      message = kMsgAuthFail;
      state = 0;
    } else {
      model = FindFirst(answer.Root(), "model");
      buyer = FindFirst(answer.Root(), "buyer");
    }
  }
  if (state == 1) {
    country = LookupCountry(env, query, false);
    const bool testing = !version.empty();
    struct Rung { bool model, buyer, global; };
    constexpr Rung kLadder[] = {{true, true, false}, {true, false, false}, {false, true, false},
                                {false, false, false}, {false, false, true}};
    AnswerParser list;
    bool accepted = false;
    for (const Rung& r : kLadder) {
      std::string q = base + (testing ? "/csmg/b2c/client/pcsync_ftp_upload_testing.jsp" : "/csmg/b2c/client/pcsync_ftp_upload_list.jsp") +
                      "?model=" + (r.model ? EncodeQueryValue(model) : "") + "&buyer=" + (r.buyer ? EncodeQueryValue(buyer) : "") +
                      "&region=" + EncodeQueryValue(country.region) + "&country=" + (r.global ? std::string("GO") : EncodeQueryValue(country.code));
      if (testing) q += "&version=" + EncodeQueryValue(version);
      std::string text = query.FetchUrlText(q);
      list.Load(text);
      if (text.empty()) { message = kMsgAuthFail; state = 0; }
      if (list.Accepted("OK")) { accepted = true; break; }
    }
    std::string swUri, uri1, type1, uri2, type2, chk1, chk2, chosenType;
    if (accepted) {
      const AnswerNode& root = list.Root();
      auto versions = FindAll(root, "sw_version");
      for (std::size_t i = 0; i < versions.size(); ++i) {
        if (versions[i].compare(0, 3, "P4.") == 0) {
          swUri = At(FindAll(root, "sw_uri"), i);
          uri1 = At(FindAll(root, "sw_recommand_uri"), i);
          type1 = At(FindAll(root, "sw_recommand_type"), i);
          uri2 = At(FindAll(root, "sw_recommand_uri2"), i);
          type2 = At(FindAll(root, "sw_recommand_type2"), i);
          chk1 = At(FindAll(root, "sw_chk_uri"), i);
          chk2 = At(FindAll(root, "sw_chk_uri2"), i);
          break;
        }
      }
      chosenType = type1;
      url = uri1;
      if (url.empty()) { message = kMsgNoUrlFail; state = 0; }
    }
    if (state == 1) {
      AnswerParser load;
      std::string text = query.FetchUrlText(base + "/csmg/b2c/client/ric_hit_rate_monitoring.jsp");
      load.Load(text);
      bool readable = !text.empty() && load.Accepted("OK");
      if (!readable) { message = kMsgConnFail; state = 0; }
      auto figure = [&](const char* field) { return readable ? LeadingInt(FindFirst(load.Root(), field)) : 0; };
      int globalUsers = figure("pcsync_global");
      if (chosenType == "KIC/GLOBAL" || type2 == "RUBA/GLOBAL") {
        int cap = figure("pcsync_kic_control_cnt");
        if (cap != 0 && figure("pcsync_kic") < cap) { chosenType = "KIC/GLOBAL"; url = uri1; }
        else { chosenType = "RUBA/GLOBAL"; url = uri2; }
      }
      auto slash = chosenType.find('/');
      mirrorCode = slash == std::string::npos ? std::string() : chosenType.substr(0, slash);
      for (const Mirror& m : kMirrors) {
        if (mirrorCode == m.code) {
          int cap = figure(m.cap);
          if (cap == 0 || figure(m.users) >= cap) mirrorCode = "GLOBAL";
        }
      }
      if (mirrorCode != "GLOBAL") {
        if (query.GetContentLength(mirrorCode == "RUBA" ? chk2 : chk1) < 1000) { mirrorCode = "GLOBAL"; url = swUri; }
      } else {
        url = swUri;
      }
      if (mirrorCode == "GLOBAL" && globalUsers >= 100) { state = 0; url.clear(); message = kMsgMaxUser; }
    }
  }
  CheckResult r;
  r.history = HistoryLetter(mirrorCode) + country.code + country.region.substr(0, country.region.empty() ? 0 : 1) + model + ":" + FormatStamp(env.sys.Now());
  if (state == 1) {
    message = kMsgReady;
    r.url = url;
  } else {
    r.history.clear();
  }
  r.message = message;
  return r;
}

PhoneCheckResult CheckPhoneSWUpdate(UpdEnv& env) {
  const std::string base = ServerBase(env);
  ServerQuery query(env);
  std::string cwd = env.files.CurrentDirectory();
  std::string phonelink = cwd.empty() || cwd.back() == '\\' ? cwd + "Phonelink.dll" : cwd + "\\Phonelink.dll";
  UpdatePhoneComponent(env, query, GetFileVersionString(env, phonelink));
  Country country = LookupCountry(env, query, true);
  PhoneIdentity phone(env);
  PhoneIdentity::Identity id = phone.ReadIdentity();
  PhoneCheckResult r;
  if (!id.phoneFound) { r.message = kMsgConnectFail; return r; }
  AnswerParser answer;
  std::string text = query.FetchUrlText(base + "/csmg/b2c/client/auth_model_check.jsp?esn=" + EncodeQueryValue(id.serial) +
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
