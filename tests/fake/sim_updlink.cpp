#include "fake/sim_updlink.h"

#include <algorithm>

namespace updsim {

namespace w = devstart::win;
using devstart::sim::Fold;
using devstart::sim::Narrow;
using devstart::sim::Widen;

SimUpdlink::SimUpdlink() {
  pc.files.current_directory = L"C:\\Sync";
  pc.files.MakeFolder(L"C:\\Sync");
  SetCommonAppData("C:\\ProgramData");
  countryAbbrev = "KOR";
  pc.internet.clock = &pc.system.tick;
}

std::string SimUpdlink::Listing(const std::string& folder) {
  std::string out;
  devstart::FindResult found = pc.files.FindFirstFile(Widen(folder) + L"\\*");
  if (found.handle == devstart::kInvalidHandle) return out;
  std::vector<std::string> names;
  for (std::optional<devstart::FindData> d = found.data; d; d = pc.files.FindNextFile(found.handle)) {
    std::string name = Narrow(d->name);
    if (name == "." || name == "..") continue;
    if (d->attributes & w::kFileAttributeDirectory) {
      std::string inner = Listing(folder + "\\" + name);
      names.push_back(name + "\\" + (inner.empty() ? "" : "{" + inner + "}"));
    } else {
      names.push_back(name + "=" + Content(folder + "\\" + name));
    }
  }
  pc.files.FindClose(found.handle);
  std::sort(names.begin(), names.end());
  for (const std::string& n : names) out += (out.empty() ? "" : " ") + n;
  return out;
}

std::string SimUpdlink::Value(const std::string& key, const std::string& name) const {
  std::wstring path = L"HKCU\\" + Widen(key);
  if (!pc.registry.HasKey(path)) return "<no key>";
  std::optional<std::wstring> text = pc.registry.GetString(path, Widen(name));
  return text ? Narrow(*text) : "<none>";
}

void SimUpdlink::SetValue(const std::string& key, const std::string& name, const std::string& text,
                          devstart::RegKey root) {
  devstart::RegKey h = 0;
  if (pc.registry.RegCreateKeyExA(root, key, w::kRegOptionNonVolatile, w::kKeyAllAccess, &h) != w::kErrorSuccess)
    return;
  pc.registry.RegSetValueExA(h, name, w::kRegSz, text);
  pc.registry.RegCloseKey(h);
}

void SimUpdlink::DenyKey(const std::string& key) { pc.registry.denied.insert(Fold(L"HKCU\\" + Widen(key))); }

int SimUpdlink::ValueReads(const std::string& name) const {
  const std::wstring folded = Fold(Widen(name));
  return static_cast<int>(std::count_if(pc.registry.reads.begin(), pc.registry.reads.end(),
                                        [&](const std::wstring& r) { return Fold(r) == folded; }));
}

void SimUpdlink::AddFolder(const std::string& path) { pc.files.MakeFolder(Widen(path)); }

void SimUpdlink::AddFile(const std::string& path, const std::string& content, const std::string& version) {
  pc.files.Put(Widen(path), content);
  if (!version.empty()) pc.versions.PutStrings(Widen(path), 0x0409, 0x04b0, {{"FileVersion", version}});
}

bool SimUpdlink::HasFile(const std::string& path) const { return pc.files.Exists(Widen(path)); }

std::string SimUpdlink::Content(const std::string& path) const {
  return pc.files.Get(Widen(path)).value_or("<none>");
}

void SimUpdlink::SetCommonAppData(const std::optional<std::string>& path) {
  if (!path) {
    pc.files.special_folders.erase(w::kCsidlCommonAppData);
    return;
  }
  pc.files.special_folders[w::kCsidlCommonAppData] = Widen(*path);
  pc.files.MakeFolder(Widen(*path));
}

int SimUpdlink::OpenHandles() const {
  return pc.registry.open_handles() + pc.internet.open_handles() + static_cast<int>(pc.files.open_files.size());
}

}  // namespace updsim
