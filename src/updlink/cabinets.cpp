#include "updlink/cabinets.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "updlink/catalogue.h"
#include "updlink/registry_state.h"

namespace updlink {

using devstart::Machine;
namespace w = devstart::win;

namespace {
devstart::UniqueFile OpenForRead(Machine& m, const std::string& path) {
  return {m.kernel, m.files.CreateFileA(path, w::kGenericRead, w::kFileShareRead, w::kOpenExisting,
                                        w::kFileAttributeNormal).handle};
}
}  // namespace

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

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameLetters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

// Windows opens a device for these names in any folder and with any
// extension: "nul.txt" is the null device, not a file.
bool IsDeviceName(std::string_view part) {
  std::string_view base = part.substr(0, part.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  for (const char* device : {"con", "prn", "aux", "nul", "conin$", "conout$", "clock$"})
    if (SameLetters(base, device)) return true;
  if (base.size() != 4) return false;
  auto digit = static_cast<unsigned char>(base[3]);
  bool port = SameLetters(base.substr(0, 3), "com") || SameLetters(base.substr(0, 3), "lpt");
  // The superscript digits of the ANSI code page count as digits too.
  return port && ((digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3);
}

// One folder or file name: Windows drops trailing dots and spaces, so "x. "
// would be another file than the one checked.
bool IsSafePart(std::string_view part) {
  if (part.empty() || part == "." || part == "..") return false;
  if (part.back() == '.' || part.back() == ' ') return false;
  for (char ch : part) {
    auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || std::string_view("<>\"|?*").find(ch) != std::string_view::npos) return false;
  }
  return !IsDeviceName(part);
}

}  // namespace

bool IsSafeCabinetName(std::string_view name) {
  if (name.empty()) return false;
  if (name.front() == '\\' || name.front() == '/') return false;  // a root or a server share
  if (name.find(':') != std::string_view::npos) return false;       // drives and streams
  std::size_t start = 0;
  for (;;) {
    auto sep = name.find_first_of("\\/", start);
    if (!IsSafePart(name.substr(start, sep == std::string_view::npos ? std::string_view::npos : sep - start)))
      return false;
    if (sep == std::string_view::npos) return true;
    start = sep + 1;
  }
}

namespace {

// The cabinet is unpacked into this folder of the destination first and its
// files moved into place only when all of them came out; the old file of
// each name waits beside its new copy until every move succeeded.
constexpr const char* kStagingFolder = "~unpack";
constexpr const char* kKeptSuffix = ".kept";

std::string Join(const std::string& folder, const std::string& name) {
  return folder.empty() || folder.back() == '\\' ? folder + name : folder + "\\" + name;
}

std::wstring Wide(Machine& m, const std::string& path) {
  std::u16string text = m.system.MultiByteToWideChar(w::kCpAcp, path);
  return std::wstring(text.begin(), text.end());
}

bool Exists(Machine& m, const std::string& path) { return m.files.GetFileAttributesA(path) != w::kInvalidFileAttributes; }

bool Move(Machine& m, const std::string& from, const std::string& to) {
  return m.files.MoveFileEx(Wide(m, from), Wide(m, to), w::kMoveFileReplaceExisting).ok;
}

// The folders along `path` that did not exist, created and returned
// outermost first; "C:\" is never one of them.
std::vector<std::string> MakeFolders(Machine& m, const std::string& path) {
  std::vector<std::string> made;
  for (std::size_t sep = path.find_first_of("\\/", 3); sep != std::string::npos; sep = path.find_first_of("\\/", sep + 1)) {
    std::string folder = path.substr(0, sep);
    if (!Exists(m, folder) && m.files.CreateDirectoryA(folder).ok) made.push_back(folder);
  }
  return made;
}

void RemoveFolders(Machine& m, const std::vector<std::string>& outermostFirst) {
  for (auto f = outermostFirst.rbegin(); f != outermostFirst.rend(); ++f) m.files.RemoveDirectory(Wide(m, *f));
}

struct Placed {
  std::string target, kept;
  std::uint32_t attributes = w::kInvalidFileAttributes;  // of the old file; invalid: there was none
  bool moved = false;
};

// Moves every staged file into place; on any failure undoes every move, so
// the destination holds what it held before.
bool MoveIntoPlace(Machine& m, const std::string& staging, const std::string& destination,
                   const std::vector<std::string>& names) {
  std::vector<Placed> placed;
  std::vector<std::string> made;
  bool ok = true;
  for (const std::string& name : names) {
    Placed p{Join(destination, name), Join(staging, name) + kKeptSuffix};
    for (std::string& f : MakeFolders(m, p.target)) made.push_back(std::move(f));
    p.attributes = m.files.GetFileAttributesA(p.target);
    if (p.attributes != w::kInvalidFileAttributes) {
      m.files.SetFileAttributesA(p.target, w::kFileAttributeNormal);
      if (!Move(m, p.target, p.kept)) {
        m.files.SetFileAttributesA(p.target, p.attributes);
        ok = false;
        break;
      }
    }
    placed.push_back(p);
    if (!(placed.back().moved = Move(m, Join(staging, name), p.target))) {
      ok = false;
      break;
    }
  }
  for (auto p = placed.rbegin(); p != placed.rend(); ++p) {
    if (ok) {
      if (p->attributes != w::kInvalidFileAttributes) m.files.DeleteFileA(p->kept);
      continue;
    }
    if (p->moved) m.files.DeleteFileA(p->target);
    if (p->attributes != w::kInvalidFileAttributes && Move(m, p->kept, p->target))
      m.files.SetFileAttributesA(p->target, p->attributes);
  }
  if (!ok) RemoveFolders(m, made);
  return ok;
}

}  // namespace

bool ExtractCabinet(Machine& m, const std::string& cabinet, const std::string& destination) {
  int offered = 0;
  bool counted = m.cabinets.SetupIterateCabinetA(cabinet, [&](std::uint32_t note, const std::string&, std::string*) {
    if (note == w::kSpFileNotifyFileInCabinet) { ++offered; return w::kFileOpSkip; }
    return w::kNoError;
  });
  if (!counted) return false;
  const std::string staging = Join(destination, kStagingFolder);
  std::vector<std::string> names;      // as unpacked, each once
  std::vector<std::string> made;       // staging folders, outermost first
  auto extract = [&](std::uint32_t note, const std::string& name, std::string* target) {
    if (note == w::kSpFileNotifyFileInCabinet) {
      // Cabinet names reach us unchecked; one that climbs out of the
      // destination, names a drive, a device or a stream is left in the cabinet.
      if (!IsSafeCabinetName(name)) return w::kFileOpSkip;
      std::string full = Join(staging, name);
      *target = full;
      for (std::string& f : MakeFolders(m, full)) made.push_back(std::move(f));
      if (Exists(m, full)) {  // the same name twice: the last copy wins
        m.files.SetFileAttributesA(full, w::kFileAttributeNormal);
        m.files.DeleteFileA(full);
      }
      if (std::none_of(names.begin(), names.end(), [&](const std::string& n) { return SameLetters(n, name); }))
        names.push_back(name);
      return w::kFileOpDoIt;
    }
    if (note == w::kSpFileNotifyFileExtracted)
      return CanOpenForRead(m, name) ? w::kNoError : w::kErrorFileNotFound;
    return w::kNoError;
  };
  bool ok = m.cabinets.SetupIterateCabinetA(cabinet, extract) && MoveIntoPlace(m, staging, destination, names);
  // What is still staged is what did not go into place.
  for (const std::string& name : names) {
    m.files.SetFileAttributesA(Join(staging, name), w::kFileAttributeNormal);
    m.files.DeleteFileA(Join(staging, name));
  }
  RemoveFolders(m, made);
  return ok;
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

namespace {

// The two cabinets carry a library and a setup program of a few MiB; a
// download past these bounds is abandoned. A cabinet of the full size takes
// 512 s at 64 KiB/s.
constexpr std::uint64_t kCabinetBytes = 32u << 20;
constexpr std::uint32_t kCabinetDeadlineMs = 600000;

// A cabinet's head names it and gives its size (bytes 8 to 11).
bool IsCabinetHead(const std::string& head) {
  if (head.rfind("MSCF", 0) != 0) return false;
  if (head.size() < 12) return true;
  std::uint64_t size = 0;
  for (int i = 11; i >= 8; --i) size = size << 8 | static_cast<unsigned char>(head[static_cast<std::size_t>(i)]);
  return size <= kCabinetBytes;
}

}  // namespace

bool DownloadCabinet(Machine& m, const std::string& url, const std::string& path) {
  if (url.empty()) return false;
  // Downloaded under another name and renamed when whole: a failed download
  // leaves nothing under the cabinet's name.
  const std::string partial = path + ".part";
  bool whole = m.internet.URLDownloadToFileA(url, partial, {kCabinetDeadlineMs, kCabinetBytes}) ==
               static_cast<std::int32_t>(w::kSOk);
  auto head = whole ? ReadHead(m, partial, 12) : std::nullopt;
  // An error page some systems save under the cabinet's name is no cabinet either.
  if (!head || !IsCabinetHead(*head) || !Move(m, partial, path)) {
    m.files.DeleteFileA(partial);
    return false;
  }
  return true;
}

bool InstallCabinet(Machine& m, const std::string& url, const std::string& cabinet, const std::string& folder) {
  if (!DownloadCabinet(m, url, cabinet)) return false;
  ExtractCabinet(m, cabinet, folder);
  m.files.DeleteFileA(cabinet);
  return true;
}

void UpdatePhoneComponent(ExportCall& call, const std::string& localVersion) {
  Machine& m = call.machine();
  CatalogueEntry entry = ScanCatalogueEntry(call.Fetch(kCataloguePath), "name='PCSyncDLL'");
  if (!entry.found) return;
  if (entry.version == localVersion) return;
  std::string dir = m.files.GetCurrentDirectoryA();
  std::string local = dir + "\\PCSyncDLL.cab";
  if (!dir.empty() && dir.back() == '\\') local = dir + "PCSyncDLL.cab";
  InstallCabinet(m, entry.url, local, dir);
}

void RefreshPhoneComponent(ExportCall& call) {
  std::string cwd = call.machine().files.GetCurrentDirectoryA();
  std::string phonelink = cwd.empty() || cwd.back() == '\\' ? cwd + "Phonelink.dll" : cwd + "\\Phonelink.dll";
  UpdatePhoneComponent(call, GetFileVersionString(call.machine(), phonelink));
}

}  // namespace updlink
