#include "fake/sim_registry.h"

#include "fake/sim_kernel.h"

namespace devstart::sim {

namespace {

constexpr std::uint32_t kKeyQueryValue = 0x1;
constexpr std::uint32_t kKeySetValue = 0x2;
constexpr std::uint32_t kRegMultiSz = 7;

bool StartsWithFolded(const std::wstring& s, const std::wstring& prefix) {
  return Fold(s.substr(0, prefix.size())) == Fold(prefix);
}

bool IsString(std::uint32_t type) { return type == win::kRegSz || type == win::kRegExpandSz || type == kRegMultiSz; }

std::wstring Trimmed(std::wstring p) {
  while (!p.empty() && p.back() == L'\\') p.pop_back();
  return p;
}

}  // namespace

std::wstring FakeRegistry::Physical(RegKey parent, const std::wstring& sub_key, std::uint32_t sam) const {
  std::wstring base;
  if (parent == win::kHkeyLocalMachine) {
    base = L"HKLM";
  } else if (parent == win::kHkeyCurrentUser) {
    base = L"HKCU";
  } else {
    auto it = handles_.find(parent);
    if (it == handles_.end()) return {};
    base = keys_.at(it->second.folded).path;
  }
  std::wstring path = Trimmed(sub_key.empty() ? base : base + L"\\" + sub_key);
  // The 32-bit program's own view is the 32-bit one; KEY_WOW64_64KEY asks for
  // the other. With both flags the 32-bit view wins, as Wine does it.
  bool view32 = (sam & win::kKeyWow64_32Key) || !(sam & win::kKeyWow64_64Key);
  if (os_64bit && view32 && StartsWithFolded(path, L"HKLM\\SOFTWARE\\") &&
      !StartsWithFolded(path, L"HKLM\\SOFTWARE\\Wow6432Node")) {
    path = L"HKLM\\SOFTWARE\\Wow6432Node\\" + path.substr(14);
  } else if (os_64bit && view32 && Fold(path) == L"hklm\\software") {
    path = L"HKLM\\SOFTWARE\\Wow6432Node";
  }
  return path;
}

void FakeRegistry::PutKey(const std::wstring& path) {
  std::wstring p = Trimmed(path);
  std::wstring folded = Fold(p);
  // Deepest first: once a key is there, so are its parents, and nothing is
  // allocated for a key that exists.
  for (std::size_t end = p.size(); end != std::wstring::npos && end > 0; end = p.rfind(L'\\', end - 1)) {
    std::wstring_view key(folded.data(), end);
    if (keys_.find(key) != keys_.end()) break;
    keys_.emplace(std::wstring(key), Key{p.substr(0, end), {}});
  }
}

void FakeRegistry::Put(const std::wstring& path, const std::wstring& name, std::uint32_t type,
                       std::vector<std::uint8_t> bytes) {
  PutKey(path);
  keys_[Fold(Trimmed(path))].values[Fold(name)] = Value{type, std::move(bytes)};
}

void FakeRegistry::PutString(const std::wstring& path, const std::wstring& name, const std::wstring& text,
                             std::uint32_t type) {
  std::vector<std::uint8_t> bytes;
  for (wchar_t c : text) {
    bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
  }
  bytes.push_back(0);
  bytes.push_back(0);
  Put(path, name, type, std::move(bytes));
}

void FakeRegistry::PutDword(const std::wstring& path, const std::wstring& name, std::uint32_t value) {
  std::vector<std::uint8_t> bytes(4);
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
  Put(path, name, win::kRegDword, std::move(bytes));
}

bool FakeRegistry::HasKey(const std::wstring& path) const { return keys_.count(Fold(Trimmed(path))) > 0; }

void FakeRegistry::DeleteTree(const std::wstring& path) {
  std::wstring p = Fold(Trimmed(path));
  for (auto it = keys_.begin(); it != keys_.end();) {
    bool inside = it->first == p || it->first.rfind(p + L"\\", 0) == 0;
    it = inside ? keys_.erase(it) : std::next(it);
  }
}

const FakeRegistry::Value* FakeRegistry::Get(const std::wstring& path, const std::wstring& name) const {
  auto k = keys_.find(Fold(Trimmed(path)));
  if (k == keys_.end()) return nullptr;
  auto v = k->second.values.find(Fold(name));
  return v == k->second.values.end() ? nullptr : &v->second;
}

std::optional<std::uint32_t> FakeRegistry::GetDword(const std::wstring& path, const std::wstring& name) const {
  const Value* v = Get(path, name);
  if (!v || v->type != win::kRegDword || v->bytes.size() != 4) return std::nullopt;
  return v->bytes[0] | (v->bytes[1] << 8) | (v->bytes[2] << 16) | (static_cast<std::uint32_t>(v->bytes[3]) << 24);
}

std::optional<std::wstring> FakeRegistry::GetString(const std::wstring& path, const std::wstring& name) const {
  const Value* v = Get(path, name);
  if (!v || (v->type != win::kRegSz && v->type != win::kRegExpandSz)) return std::nullopt;
  std::wstring s;
  for (std::size_t i = 0; i + 1 < v->bytes.size(); i += 2) {
    wchar_t c = static_cast<wchar_t>(v->bytes[i] | (v->bytes[i + 1] << 8));
    if (c == 0) break;
    s.push_back(c);
  }
  return s;
}

std::int32_t FakeRegistry::OpenOrCreate(RegKey parent, const std::wstring& sub_key, std::uint32_t sam, bool create,
                                        RegKey* key, std::uint32_t* disposition) {
  std::wstring path = Physical(parent, sub_key, sam);
  if (path.empty()) return win::kErrorInvalidHandle;
  if (denied.count(Fold(path))) return win::kErrorAccessDenied;
  bool existed = HasKey(path);
  if (!existed && !create) return win::kErrorFileNotFound;
  if (!existed && !elevated && StartsWithFolded(path, L"HKLM")) return win::kErrorAccessDenied;
  PutKey(path);
  if (disposition) *disposition = existed ? win::kRegOpenedExistingKey : win::kRegCreatedNewKey;
  RegKey h = next_;
  next_ += 4;
  handles_[h] = OpenKey{Fold(path), sam};
  if (key) *key = h;
  return win::kErrorSuccess;
}

std::int32_t FakeRegistry::RegCreateKeyEx(RegKey parent, const std::wstring& sub_key, std::uint32_t, std::uint32_t sam,
                                          RegKey* key, std::uint32_t* disposition) {
  std::int32_t status = OpenOrCreate(parent, sub_key, sam, true, key, disposition);
  opens.push_back(Open{parent, sub_key, sam, status});
  return status;
}

RegValueRead FakeRegistry::RegQueryValueEx(RegKey key, const std::wstring& name, std::uint32_t buffer_bytes) {
  reads.push_back(name);
  RegValueRead r;
  auto h = handles_.find(key);
  if (h == handles_.end()) {
    r.status = win::kErrorInvalidHandle;
    return r;
  }
  if (!(h->second.sam & kKeyQueryValue)) {
    r.status = win::kErrorAccessDenied;
    return r;
  }
  const auto& values = keys_.at(h->second.folded).values;
  auto v = values.find(Fold(name));
  if (v == values.end()) {
    r.status = win::kErrorFileNotFound;
    return r;
  }
  r.type = v->second.type;
  r.size = static_cast<std::uint32_t>(v->second.bytes.size());
  if (r.size > buffer_bytes) {
    r.status = win::kRegErrorMoreData;
    return r;
  }
  r.status = win::kErrorSuccess;
  r.data = v->second.bytes;
  return r;
}

std::int32_t FakeRegistry::RegSetValueEx(RegKey key, const std::wstring& name, std::uint32_t type,
                                         const std::vector<std::uint8_t>& data) {
  auto h = handles_.find(key);
  if (h == handles_.end()) return win::kErrorInvalidHandle;
  if (!(h->second.sam & kKeySetValue)) return win::kErrorAccessDenied;
  keys_.at(h->second.folded).values[Fold(name)] = Value{type, data};
  return win::kErrorSuccess;
}

std::int32_t FakeRegistry::RegCloseKey(RegKey key) {
  return handles_.erase(key) ? win::kErrorSuccess : win::kErrorInvalidHandle;
}

std::int32_t FakeRegistry::RegOpenKeyExA(RegKey parent, const std::string& sub_key, std::uint32_t sam, RegKey* key) {
  return OpenOrCreate(parent, Widen(sub_key), sam, false, key, nullptr);
}

std::int32_t FakeRegistry::RegCreateKeyExA(RegKey parent, const std::string& sub_key, std::uint32_t, std::uint32_t sam,
                                           RegKey* key) {
  return OpenOrCreate(parent, Widen(sub_key), sam, true, key, nullptr);
}

std::int32_t FakeRegistry::RegQueryValueExA(RegKey key, const std::string& name, std::uint32_t size,
                                            std::string* data) {
  RegValueRead wide = RegQueryValueEx(key, Widen(name), 0xFFFFFFFFu);
  if (wide.status != win::kErrorSuccess) return wide.status;
  std::string bytes(wide.data.begin(), wide.data.end());
  if (IsString(wide.type)) {
    std::wstring text;
    for (std::size_t i = 0; i + 1 < wide.data.size(); i += 2) {
      text.push_back(static_cast<wchar_t>(wide.data[i] | (wide.data[i + 1] << 8)));
    }
    bytes = Narrow(text);
  }
  if (bytes.size() > size) return win::kRegErrorMoreData;
  *data = bytes;
  return win::kErrorSuccess;
}

std::int32_t FakeRegistry::RegSetValueExA(RegKey key, const std::string& name, std::uint32_t type,
                                          const std::string& data) {
  std::vector<std::uint8_t> bytes(data.begin(), data.end());
  if (IsString(type)) {
    // The caller's buffer ends in a NUL it did not count; Windows counts it.
    std::wstring text = Widen(data);
    if (!text.empty() && text.back() != L'\0') text.push_back(L'\0');
    bytes.clear();
    for (wchar_t c : text) {
      bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
      bytes.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
    }
  }
  return RegSetValueEx(key, Widen(name), type, bytes);
}

std::int32_t FakeRegistry::RegFlushKey(RegKey key) {
  bool known = key == win::kHkeyCurrentUser || key == win::kHkeyLocalMachine || handles_.count(key) != 0;
  return known ? win::kErrorSuccess : win::kErrorInvalidHandle;
}

}  // namespace devstart::sim
