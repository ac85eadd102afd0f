#include "updlink/cabinets.h"

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
