#include "fake/sim_pc.h"

#include <cwctype>

namespace devstart::sim {

namespace {

struct TextEntry {
  std::uint16_t lang;
  std::uint32_t id;
  const wchar_t* text;
};
const TextEntry kTexts[] = {
#include "texts_table.inc"
};

std::wstring Trim(const std::wstring& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && (s[b] == L' ' || s[b] == L'\t')) ++b;
  while (e > b && (s[e - 1] == L' ' || s[e - 1] == L'\t' || s[e - 1] == L'\r')) --e;
  return s.substr(b, e - b);
}

std::wstring Decode(const std::string& bytes) {
  std::wstring out;
  auto u8 = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (bytes.size() >= 2 && u8(0) == 0xFF && u8(1) == 0xFE) {
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) out.push_back(static_cast<wchar_t>(u8(i) | (u8(i + 1) << 8)));
    return out;
  }
  std::size_t i = 0;
  bool utf8 = bytes.size() >= 3 && u8(0) == 0xEF && u8(1) == 0xBB && u8(2) == 0xBF;
  if (utf8) {
    for (i = 3; i < bytes.size();) {
      unsigned c = u8(i);
      int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
      unsigned cp = extra == 0 ? c : c & (0x3F >> extra);
      for (int k = 1; k <= extra && i + k < bytes.size(); ++k) cp = (cp << 6) | (u8(i + k) & 0x3F);
      out.push_back(static_cast<wchar_t>(cp));
      i += 1 + extra;
    }
    return out;
  }
  // No mark: the ANSI code page; the tests use ASCII only.
  for (char c : bytes) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

std::string Utf8(const std::wstring& s) {
  std::string out;
  for (wchar_t wc : s) {
    auto c = static_cast<std::uint32_t>(wc);
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::wstring Fold(const std::wstring& s) {
  std::wstring out;
  for (wchar_t c : s) out.push_back(static_cast<wchar_t>(std::towlower(c)));
  return out;
}

std::wstring FakeFileSystem::Absolute(const std::wstring& path) const {
  if (path.size() >= 2 && path[1] == L':') return path;
  std::wstring rest = path;
  if (rest.rfind(L".\\", 0) == 0) rest = rest.substr(2);
  std::wstring dir = current_directory;
  if (!dir.empty() && dir.back() != L'\\') dir += L'\\';
  return dir + rest;
}

void FakeFileSystem::Put(const std::wstring& path, const std::string& bytes) {
  std::wstring p = Absolute(path);
  std::size_t slash = p.rfind(L'\\');
  if (slash != std::wstring::npos) MakeFolder(p.substr(0, slash));
  files_[Fold(p)] = bytes;
}

void FakeFileSystem::MakeFolder(const std::wstring& path) {
  std::wstring p = Fold(Absolute(path));
  while (!p.empty() && p.back() == L'\\') p.pop_back();
  for (std::size_t at = p.find(L'\\'); ; at = p.find(L'\\', at + 1)) {
    folders_.insert(p.substr(0, at));
    if (at == std::wstring::npos) break;
  }
}

bool FakeFileSystem::FolderExists(const std::wstring& path) const {
  std::wstring p = Fold(Absolute(path));
  while (!p.empty() && p.back() == L'\\') p.pop_back();
  return p.size() == 2 || folders_.count(p) > 0;
}

std::optional<std::string> FakeFileSystem::Get(const std::wstring& path) const {
  auto it = files_.find(Fold(Absolute(path)));
  if (it == files_.end()) return std::nullopt;
  return it->second;
}

bool FakeFileSystem::IsWritable(const std::wstring& path) const {
  std::wstring p = Fold(Absolute(path));
  for (const auto& folder : read_only_folders) {
    if (p.rfind(Fold(folder), 0) == 0) return false;
  }
  return true;
}

std::optional<std::uint16_t> FakeSystem::SetThreadUILanguageByName(std::uint16_t lang) {
  if (!has_set_thread_ui_language) return std::nullopt;
  thread_ui_language_calls.push_back(lang);
  return lang;
}

bool FakeSystem::SetThreadLocale(std::uint32_t lcid) {
  thread_locale_calls.push_back(lcid);
  return true;
}

Handle FakeFiles::CreateFile(const std::wstring& path, std::uint32_t, std::uint32_t, std::uint32_t disposition,
                             std::uint32_t) {
  if (disposition == win::kCreateAlways) {
    std::wstring abs = fs_.Absolute(path);
    std::size_t slash = abs.rfind(L'\\');
    if (!fs_.IsWritable(path) || slash == std::wstring::npos || !fs_.FolderExists(abs.substr(0, slash))) {
      return kInvalidHandle;
    }
    fs_.Put(path, {});
  } else if (!fs_.Exists(path)) {
    return kInvalidHandle;
  }
  Handle h = next_++;
  open_[h] = Open{fs_.Absolute(path), 0};
  return h;
}

bool FakeFiles::WriteFile(Handle file, const void* bytes, std::uint32_t size) {
  auto it = open_.find(file);
  if (it == open_.end()) return false;
  std::string content = fs_.Get(it->second.path).value_or("");
  content.resize(std::max(content.size(), it->second.position + size));
  content.replace(it->second.position, size, static_cast<const char*>(bytes), size);
  it->second.position += size;
  fs_.Put(it->second.path, content);
  return true;
}

bool FakeFiles::CloseHandle(Handle h) { return open_.erase(h) == 1; }

ProfileRead FakeProfile::GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                                 const std::wstring& default_value, std::uint32_t size,
                                                 const std::wstring& file) {
  sizes_asked.push_back(size);
  std::wstring value = default_value;
  if (std::optional<std::string> bytes = fs_.Get(file)) {
    std::wstring text = Decode(*bytes);
    std::wstring current;
    bool in_section = false;
    bool found = false;
    std::size_t start = 0;
    while (start <= text.size() && !found) {
      std::size_t end = text.find(L'\n', start);
      if (end == std::wstring::npos) end = text.size();
      std::wstring line = Trim(text.substr(start, end - start));
      start = end + 1;
      if (line.empty() || line[0] == L';') continue;
      if (line[0] == L'[') {
        std::size_t close = line.find(L']');
        current = Trim(line.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1));
        in_section = Fold(current) == Fold(section);
        continue;
      }
      if (!in_section) continue;
      std::size_t eq = line.find(L'=');
      std::wstring k = Trim(line.substr(0, eq));
      if (Fold(k) != Fold(key)) continue;
      value = eq == std::wstring::npos ? L"" : Trim(line.substr(eq + 1));
      found = true;
    }
    if (found && value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
        value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
  }
  if (size == 0) return {};
  if (value.size() > size - 1) value.resize(size - 1);
  return ProfileRead{value, static_cast<std::uint32_t>(value.size())};
}

MutexResult FakeSync::CreateMutex(bool, const std::wstring& name) {
  Handle h = next_++;
  open.insert(h);
  names_[h] = name;
  created.push_back(name);
  bool existed = !existing.insert(name).second;
  return MutexResult{h, existed ? win::kErrorAlreadyExists : 0u};
}

bool FakeSync::CloseHandle(Handle h) { return open.erase(h) == 1; }

WindowHandle FakeWindows::FindWindow(const std::wstring& class_name, const std::wstring& title) {
  for (const auto& w : windows) {
    if ((class_name.empty() || w.class_name == class_name) && (title.empty() || w.title == title)) return w.handle;
  }
  return 0;
}

bool FakeWindows::SetWindowPos(WindowHandle w, WindowHandle insert_after, int, int, int, int, std::uint32_t flags) {
  calls.push_back(Call{L"SetWindowPos", w, insert_after, flags, {}, {}});
  return w != 0;
}

std::intptr_t FakeWindows::SendMessage(WindowHandle w, std::uint32_t msg, std::uintptr_t wparam, std::intptr_t lparam) {
  calls.push_back(Call{L"SendMessage", w, msg, wparam + static_cast<std::uintptr_t>(lparam), {}, {}});
  return 0;
}

int FakeWindows::MessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
                            std::uint32_t type) {
  calls.push_back(Call{L"MessageBox", owner, type, 0, text, caption});
  return message_box_answer;
}

std::vector<FakeWindows::Call> FakeWindows::MessageBoxes() const {
  std::vector<Call> out;
  for (const auto& c : calls) {
    if (c.what == L"MessageBox") out.push_back(c);
  }
  return out;
}

std::optional<std::wstring> FakeStringResources::LoadString(std::uint32_t id, std::uint16_t lang) {
  for (const auto& e : kTexts) {
    if (e.lang == lang && e.id == id) return std::wstring(e.text);
  }
  return std::nullopt;
}

std::vector<std::uint16_t> FakeStringResources::Languages() {
  std::vector<std::uint16_t> out;
  for (const auto& e : kTexts) {
    if (out.empty() || out.back() != e.lang) out.push_back(e.lang);
  }
  return out;
}

std::vector<std::uint32_t> FakeStringResources::Ids(std::uint16_t lang) {
  std::vector<std::uint32_t> out;
  for (const auto& e : kTexts) {
    if (e.lang == lang) out.push_back(e.id);
  }
  return out;
}

Machine SimPc::machine() {
  Machine m;
  m.system = &system;
  m.files = &files;
  m.profile = &profile;
  m.sync = &sync;
  m.windows = &windows;
  m.strings = &strings;
  m.registry = &inspect.registry;
  m.version_info = &inspect.versions;
  m.processes = &inspect.processes;
  m.window_search = &inspect.window_search;
  m.native_system = &inspect.native;
  m.scsi = &device.phone;
  m.services = &device.services;
  m.pipes = &device.pipes;
  m.security = &device.security;
  m.file_system = &device.folders;
  m.clock = &device.clock;
  return m;
}

std::wstring SimPc::ReadUtf16(const std::wstring& path) const {
  std::string bytes = fs.Get(path).value_or("");
  std::wstring out;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                       (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  }
  return out;
}

std::vector<std::wstring> SimPc::TraceLines() const {
  std::wstring text = ReadUtf16(const_cast<FakeSystem&>(system).temp_path + L"Devstart.Log");
  std::vector<std::wstring> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(L"\r\n", start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(start, end - start);
    std::size_t close = line.find(L']');
    lines.push_back(line.rfind(L"[", 0) == 0 && close != std::wstring::npos ? line.substr(close + 1) : line);
    start = end + 2;
  }
  return lines;
}

}  // namespace devstart::sim
