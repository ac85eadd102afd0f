#include "fake/sim_updlink.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "updlink/updlink.h"

namespace updsim {

namespace w = updlink::win;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

namespace {

SimUpdlink* g_sim = nullptr;  // the phone DLLs' functions answer from this PC

std::string Norm(const std::string& path) {
  std::string p = Lower(path);
  std::replace(p.begin(), p.end(), '/', '\\');
  while (p.size() > 2 && p.back() == '\\') p.pop_back();
  return p;
}
std::string Parent(const std::string& norm) {
  auto s = norm.rfind('\\');
  return s == std::string::npos ? std::string() : norm.substr(0, s);
}
std::string RootName(Handle root) {
  if (root == w::kHkeyCurrentUser) return "hkcu";
  if (root == w::kHkeyLocalMachine) return "hklm";
  return "";
}

bool Missing(int slot) { return g_sim->phone.missingSlots.count(slot) != 0; }
int PhoneCount() { g_sim->phone.calls.push_back("0"); return g_sim->phone.count; }
int PhoneModel(char* buf, int size, int count) {
  g_sim->phone.calls.push_back("1:" + std::to_string(size) + "," + std::to_string(count));
  std::snprintf(buf, static_cast<std::size_t>(size), "%s", g_sim->phone.model.c_str());
  return 1;
}
int PhoneSerial(updlink::PhoneString* s) {
  g_sim->phone.calls.push_back("5");
  if (!g_sim->phone.serialOk) return 0;
  std::snprintf(s->text, sizeof s->text, "%s", g_sim->phone.serial.c_str());
  return 1;
}
int PhoneSoftware(updlink::PhoneString* s) {
  g_sim->phone.calls.push_back("8");
  std::snprintf(s->text, sizeof s->text, "%s", g_sim->phone.software.c_str());
  return 1;
}
void PhonePrepare() { g_sim->phone.calls.push_back("11"); }
void PhoneOpen(int a, int b) { g_sim->phone.calls.push_back("12:" + std::to_string(a) + "," + std::to_string(b)); }
int A123(updlink::PhoneFunctionTable* t) {
  g_sim->phone.calls.push_back("A123");
  if (!g_sim->phone.fillOk) return 0;
  void* slots[13] = {};
  slots[0] = reinterpret_cast<void*>(&PhoneCount);
  slots[1] = reinterpret_cast<void*>(&PhoneModel);
  slots[5] = reinterpret_cast<void*>(&PhoneSerial);
  slots[8] = reinterpret_cast<void*>(&PhoneSoftware);
  slots[11] = reinterpret_cast<void*>(&PhonePrepare);
  slots[12] = reinterpret_cast<void*>(&PhoneOpen);
  for (int i = 0; i < 13; ++i)
    if (!Missing(i)) t->slot[i] = slots[i];
  return 1;
}
int GetPhoneInfo(char* first, char*) {
  g_sim->phone.calls.push_back("GetPhoneInfo");
  std::snprintf(first, 256, "%s", g_sim->phone.authSerial.c_str());
  return 1;
}

}  // namespace

SimUpdlink::SimUpdlink() {
  g_sim = this;
  AddFolder("C:\\Sync");
  AddFolder("C:\\ProgramData");
}
SimUpdlink::~SimUpdlink() {
  if (g_sim == this) g_sim = nullptr;
}

// ---- registry ---------------------------------------------------------------
std::string SimUpdlink::Value(const std::string& key, const std::string& name) {
  auto k = keys.find("hkcu\\" + Lower(key));
  if (k == keys.end()) return "<no key>";
  auto v = k->second.find(name);
  return v == k->second.end() ? "<none>" : v->second;
}
long SimUpdlink::OpenKey(Handle root, const std::string& subkey, std::uint32_t, Handle* out) {
  *out = 0;
  std::string path = RootName(root) + "\\" + Lower(subkey);
  if (registryBroken) return 5;
  if (!keys.count(path)) return 2;
  *out = ++next_;
  handles_[*out] = {path, "", 0, false};
  return 0;
}
long SimUpdlink::CreateKey(Handle root, const std::string& subkey, std::uint32_t, std::uint32_t, Handle* out) {
  *out = 0;
  if (registryBroken) return 5;
  std::string path = RootName(root) + "\\" + Lower(subkey);
  keys[path];
  *out = ++next_;
  handles_[*out] = {path, "", 0, false};
  return 0;
}
long SimUpdlink::QueryValue(Handle key, const std::string& name, std::uint32_t size, std::string* data) {
  data->clear();
  ++valueReads[name];
  auto h = handles_.find(key);
  if (h == handles_.end()) return 6;
  auto& values = keys[h->second.key];
  auto v = values.find(name);
  if (v == values.end()) return 2;
  if (v->second.size() + 1 > size) return 234;  // ERROR_MORE_DATA
  *data = v->second + '\0';
  return 0;
}
long SimUpdlink::SetValue(Handle key, const std::string& name, std::uint32_t, const std::string& data) {
  auto h = handles_.find(key);
  if (h == handles_.end()) return 6;
  keys[h->second.key][name] = data;
  return 0;
}
long SimUpdlink::Close(Handle key) {
  handles_.erase(key);
  return 0;
}

// ---- internet ---------------------------------------------------------------
Handle SimUpdlink::Open(const std::string& agent, std::uint32_t, std::uint32_t) {
  agents.push_back(agent);
  Handle h = ++next_;
  handles_[h] = {"", "", 0, true};
  return h;
}
Handle SimUpdlink::OpenUrl(Handle session, const std::string& url, std::uint32_t, std::uintptr_t) {
  requests.push_back(url);
  if (!handles_.count(session)) return 0;
  auto a = answers.find(url);
  if (a == answers.end() || a->second.unreachable) return 0;
  Handle h = ++next_;
  handles_[h] = {"", url, 0, false};
  return h;
}
bool SimUpdlink::Read(Handle file, char* buffer, std::uint32_t size, std::uint32_t* read) {
  auto h = handles_.find(file);
  if (h == handles_.end()) return false;
  const std::string& body = answers[h->second.url].body;
  std::size_t n = std::min<std::size_t>(size, body.size() - h->second.pos);
  std::memcpy(buffer, body.data() + h->second.pos, n);
  h->second.pos += n;
  *read = static_cast<std::uint32_t>(n);
  return true;
}
bool SimUpdlink::QueryInfo(Handle request, std::uint32_t level, std::uint32_t, std::string* out) {
  auto h = handles_.find(request);
  if (h == handles_.end()) return false;
  const HttpAnswer& a = answers[h->second.url];
  if (level == w::kHttpQueryStatusCode) { *out = std::to_string(a.status); return true; }
  if (level == w::kHttpQueryContentLength) {
    *out = std::to_string(a.contentLength >= 0 ? static_cast<std::size_t>(a.contentLength) : a.body.size());
    return true;
  }
  return false;
}

// ---- download and cabinets -------------------------------------------------
long SimUpdlink::DownloadToFile(const std::string& url, const std::string& path) {
  requests.push_back(url);
  auto a = answers.find(url);
  if (a == answers.end() || a->second.unreachable) return static_cast<long>(0x800C0005u);
  if (!folders.count(Parent(Norm(path)))) return static_cast<long>(0x80004005u);
  // Like some systems, an HTTP error page is saved and reported as success.
  files[Norm(path)] = File{a->second.body, 0x80, ""};
  return 0;
}

bool SimUpdlink::Iterate(const std::string& cabinet, const CabinetCallback& cb) {
  auto f = files.find(Norm(cabinet));
  if (f == files.end()) return false;
  auto c = cabinets.find(f->second.content);
  if (c == cabinets.end()) return false;
  for (const auto& [name, content] : c->second) {
    std::string target;
    std::uint32_t r = cb(w::kSpFileNotifyFileInCabinet, name, &target);
    if (r == w::kFileOpSkip) continue;
    if (r != w::kFileOpDoIt) return false;
    std::string t = Norm(target);
    if (!folders.count(Parent(t))) return false;  // a missing folder fails the extraction
    files[t] = File{content, 0x80, ""};
    std::string ignored;
    if (cb(w::kSpFileNotifyFileExtracted, target, &ignored) != w::kNoError) return false;
  }
  return true;
}

// ---- files ------------------------------------------------------------------
void SimUpdlink::AddFolder(const std::string& path) {
  std::string p = Norm(path);
  while (p.size() > 2) {
    folders.insert(p);
    p = Parent(p);
  }
}
void SimUpdlink::AddFile(const std::string& path, const std::string& content, const std::string& version) {
  AddFolder(Parent(Norm(path)));
  files[Norm(path)] = File{content, 0x80, version};
}
bool SimUpdlink::HasFile(const std::string& path) const { return files.count(Norm(path)) != 0; }
std::string SimUpdlink::Content(const std::string& path) const {
  auto f = files.find(Norm(path));
  return f == files.end() ? "<none>" : f->second.content;
}
bool SimUpdlink::CreateDirectory(const std::string& path) {
  std::string p = Norm(path);
  if (folders.count(p) || files.count(p)) return false;
  std::string parent = Parent(p);
  if (parent.size() > 2 && !folders.count(parent)) return false;
  folders.insert(p);
  return true;
}
std::uint32_t SimUpdlink::GetAttributes(const std::string& path) {
  std::string p = Norm(path);
  if (folders.count(p)) return w::kFileAttributeDirectory;
  auto f = files.find(p);
  return f == files.end() ? w::kInvalidFileAttributes : f->second.attributes;
}
bool SimUpdlink::SetAttributes(const std::string& path, std::uint32_t attributes) {
  auto f = files.find(Norm(path));
  if (f == files.end()) return false;
  f->second.attributes = attributes;
  return true;
}
bool SimUpdlink::DeleteFile(const std::string& path) {
  auto f = files.find(Norm(path));
  if (f == files.end() || (f->second.attributes & 1)) return false;  // read-only files stay
  files.erase(f);
  return true;
}
std::optional<std::string> SimUpdlink::ReadHead(const std::string& path, std::uint32_t count) {
  auto f = files.find(Norm(path));
  if (f == files.end()) return std::nullopt;
  return f->second.content.substr(0, count);
}
std::optional<std::string> SimUpdlink::VersionValue(const std::string& path, const std::string& subBlock) {
  auto f = files.find(Norm(path));
  if (f == files.end() || f->second.version.empty()) return std::nullopt;
  if (subBlock == "\\VarFileInfo\\Translation") return std::string("\x09\x04\xb0\x04", 4);
  if (Lower(subBlock) == "\\stringfileinfo\\040904b0\\fileversion") return f->second.version;
  return std::nullopt;
}

// ---- shell, modules, COM, system ------------------------------------------
bool SimUpdlink::SpecialFolder(int csidl, bool, std::string* path) {
  if (specialFolderFails || csidl != w::kCsidlCommonAppData) return false;
  *path = commonAppData;
  return true;
}
std::intptr_t SimUpdlink::Execute(const std::string& verb, const std::string& file, const std::string& params,
                                  const std::string& dir, int show) {
  launches.push_back({verb, file, params, dir, show});
  return HasFile(file) ? 42 : 2;
}
Handle SimUpdlink::Load(const std::string& name) {
  std::string n = Lower(name);
  if (n == "phonelink.dll" && phone.phonelinkPresent) return 1;
  if (n == "authdll" && phone.authPresent) return 2;
  return 0;
}
void* SimUpdlink::Proc(Handle module, const std::string& name) {
  if (module == 1 && name == "_A123") return reinterpret_cast<void*>(&A123);
  if (module == 2 && name == "GetPhoneInfo") return reinterpret_cast<void*>(&GetPhoneInfo);
  return nullptr;
}
void* SimUpdlink::CreateDocument(const std::string& progId) {
  if (!msxmlPresent || progId != "Msxml2.DOMDocument.4.0") return nullptr;
  ++documentsCreated;
  return &document_;
}
std::string SimUpdlink::LocaleInfo(std::uint32_t, std::uint32_t type, int bufferChars) {
  if (type != w::kLocaleSAbbrevCtryName) return "";
  return countryAbbrev.substr(0, static_cast<std::size_t>(bufferChars - 1));
}
std::u16string SimUpdlink::MultiByteToWide(std::uint32_t, const std::string& text) {
  std::u16string out;
  for (std::size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (extra < 0 || i + extra >= text.size()) { out.push_back(0xFFFD); ++i; continue; }
    char32_t cp = extra == 0 ? c : (c & (0x3F >> extra));
    bool bad = false;
    for (int k = 1; k <= extra; ++k) {
      auto d = static_cast<unsigned char>(text[i + k]);
      if ((d & 0xC0) != 0x80) { bad = true; break; }
      cp = (cp << 6) | (d & 0x3F);
    }
    if (bad) { out.push_back(0xFFFD); ++i; continue; }
    i += extra + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}
std::string SimUpdlink::WideToMultiByte(std::uint32_t, const std::u16string& text) {
  // A Latin-1 code page: what has no single-byte form becomes "?".
  std::string out;
  for (char16_t c : text) out.push_back(c < 0x100 ? static_cast<char>(c) : '?');
  return out;
}

}  // namespace updsim
