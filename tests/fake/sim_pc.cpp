#include "fake/sim_pc.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "phone/service_protocol.h"

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

const wchar_t kServiceName[] = L"TavoScsiCommandService";

}  // namespace

std::optional<std::uint16_t> FakeSystemInfo::SetThreadUILanguageByName(std::uint16_t lang) {
  if (!has_set_thread_ui_language) return std::nullopt;
  thread_ui_language_calls.push_back(lang);
  return lang;
}

bool FakeSystemInfo::SetThreadLocale(std::uint32_t lcid) {
  thread_locale_calls.push_back(lcid);
  return true;
}

void FakeSystemInfo::Sleep(std::uint32_t ms) {
  if (++sleeps > 1000000) throw std::runtime_error("the loop would never end");
  sleep_calls.push_back(ms);
  slept_ms += ms;
  tick += ms;
  processes_.Advance();
}

std::string FakeSystemInfo::GetLocaleInfoA(std::uint32_t locale, std::uint32_t type, int buffer_chars) {
  if (locale != win::kLocaleUserDefault) return "";
  auto it = user_locale.find(type);
  if (it == user_locale.end() || static_cast<int>(it->second.size()) + 1 > buffer_chars) return "";
  return it->second;
}

std::u16string FakeSystemInfo::MultiByteToWideChar(std::uint32_t code_page, const std::string& text) {
  std::u16string out;
  if (code_page == win::kCpAcp || code_page == win::kCpThreadAcp) {
    for (char c : text) out.push_back(static_cast<unsigned char>(c));
    return out;
  }
  if (code_page != win::kCpUtf8) return out;
  // Each byte that does not start a whole sequence becomes U+FFFD.
  for (std::size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (extra < 0 || i + extra >= text.size()) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    char32_t cp = extra == 0 ? c : (c & (0x3F >> extra));
    bool bad = false;
    for (int k = 1; k <= extra; ++k) {
      auto d = static_cast<unsigned char>(text[i + k]);
      if ((d & 0xC0) != 0x80) {
        bad = true;
        break;
      }
      cp = (cp << 6) | (d & 0x3F);
    }
    if (bad) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
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

std::string FakeSystemInfo::WideCharToMultiByte(std::uint32_t code_page, const std::u16string& text) {
  std::string out;
  if (code_page == win::kCpAcp || code_page == win::kCpThreadAcp) {
    for (char16_t c : text) {
      if (c < 0x100) {
        out.push_back(static_cast<char>(c));
      } else if (double_byte_ansi) {
        out.push_back(static_cast<char>(0x80 | ((c >> 8) & 0x7F)));
        out.push_back(static_cast<char>(c & 0xFF));
      } else {
        out.push_back('?');
      }
    }
  }
  return out;
}

std::optional<std::wstring> FakeSystemInfo::FormatMessage(std::uint32_t code) {
  auto it = messages.find(code);
  if (it == messages.end()) return std::nullopt;
  return it->second;
}

WindowHandle FakeWindows::FindWindow(const std::wstring& class_name, const std::wstring& title) {
  for (const Window& w : windows) {
    // Window classes compare without regard to case, titles exactly.
    if (!class_name.empty() && Fold(w.class_name) != Fold(class_name)) continue;
    if (!title.empty() && w.title != title) continue;
    return w.handle;
  }
  return 0;
}

bool FakeWindows::SetWindowPos(WindowHandle w, WindowHandle insert_after, int, int, int, int, std::uint32_t flags) {
  calls.push_back(Call{L"SetWindowPos", w, insert_after, flags, {}, {}, kSystemCaption});
  return w != 0;
}

std::intptr_t FakeWindows::SendMessage(WindowHandle w, std::uint32_t msg, std::uintptr_t wparam, std::intptr_t lparam) {
  calls.push_back(Call{L"SendMessage", w, msg, wparam + static_cast<std::uintptr_t>(lparam), {}, {}, kSystemCaption});
  return 0;
}

bool FakeWindows::PostMessage(WindowHandle w, std::uint32_t msg, std::uintptr_t wparam, std::intptr_t lparam) {
  for (const Window& window : windows) {
    if (window.handle == w) {
      posts.push_back(Post{w, msg, wparam, lparam});
      return true;
    }
  }
  return false;
}

int FakeWindows::MessageBox(WindowHandle owner, const std::wstring& text, const BoxCaption& caption,
                            std::uint32_t type) {
  calls.push_back(Call{L"MessageBox", owner, type, 0, text, caption.value_or(L""), caption});
  return message_box_answer;
}

std::vector<FakeWindows::Call> FakeWindows::MessageBoxes() const {
  std::vector<Call> out;
  for (const auto& c : calls) {
    if (c.what == L"MessageBox") out.push_back(c);
  }
  return out;
}

std::optional<std::wstring> FakeModules::LoadString(std::uint32_t id, std::uint16_t lang) {
  for (const auto& e : kTexts) {
    if (e.lang == lang && e.id == id) return std::wstring(e.text);
  }
  return std::nullopt;
}

std::vector<std::uint16_t> FakeModules::Languages() {
  std::vector<std::uint16_t> out;
  for (const auto& e : kTexts) {
    if (out.empty() || out.back() != e.lang) out.push_back(e.lang);
  }
  return out;
}

std::vector<std::uint32_t> FakeModules::Ids(std::uint16_t lang) {
  std::vector<std::uint32_t> out;
  for (const auto& e : kTexts) {
    if (e.lang == lang) out.push_back(e.id);
  }
  return out;
}

SimPc::SimPc() {
  modules.files = &files;
  files.MakeFolder(files.temp_path);
  for (const auto& [csidl, folder] : files.special_folders) files.MakeFolder(folder);
  pipes.server = [this](const std::wstring& name, const std::string& request) -> std::optional<std::string> {
    if (Fold(name) != Fold(std::wstring(L"\\\\.\\pipe\\") + kServiceName) || !ServiceRuns()) return std::nullopt;
    return simphone::AnswerRequest(request, [this](int drive, int sub, int type, std::uint8_t* data, int length) {
      return phone.SendScsiCmd(drive, sub, type, data, length);
    });
  };
}

// ---- libraries the program loads from its own folder ---------------------------

namespace {

FakeModules* g_handing_out = nullptr;  // whose function GetProcAddress handed out last

int DEVSTART_STDCALL FakeCheckUpdlink(char* a1, char* a2, char* a3, char* a4, char* a5, char* a6, char* a7, char* a8,
                                      char* a9, char* a10, char* a11, char* a12) {
  CheckLibrary& lib = g_handing_out->check;
  char* out[] = {a1, a2, a3, a4, a5, a6, a7, a8, a9, a10};
  lib.calls.push_back({std::string(a11, strnlen(a11, kArgumentBytes)), std::string(a12, strnlen(a12, kArgumentBytes))});
  for (std::size_t i = 0; i < 10 && i < lib.answers.size(); ++i) {
    std::memcpy(out[i], lib.answers[i].data(), std::min(lib.answers[i].size(), kAnswerBytes));
  }
  if (lib.raises) throw RaisedException{*lib.raises, lib.com_hresult};
  return lib.result;
}

int FakeStartUpdate() {
  g_handing_out->update_runs.push_back(g_handing_out->running_tag + L" " + g_handing_out->files->current_directory);
  return 1;
}

}  // namespace

Handle FakeModules::LoadLibraryW(const std::wstring& path) {
  loads.push_back(path);
  std::optional<std::string> bytes = files ? files->Get(path) : std::nullopt;
  if (!bytes) return 0;
  Handle h = next_library_;
  next_library_ += 0x10000;
  libraries_[h] = *bytes;
  return h;
}

GuardedLoad FakeModules::LoadLibraryGuarded(const std::wstring& path) {
  GuardedLoad out;
  std::optional<std::string> bytes = files ? files->Get(path) : std::nullopt;
  if (bytes == kRaisingLibraryContent) {
    loads.push_back(path);
    out.raised = true;
    out.code = 0xC0000005u;
  } else if (bytes == kFailingLibraryContent || bytes == kLoaderCaughtLibraryContent) {
    loads.push_back(path);
    out.error = bytes == kFailingLibraryContent ? win::kErrorDllInitFailed : 0xC0000005u;
  } else {
    out.module = LoadLibraryW(path);
    if (!out.module) out.error = win::kErrorModNotFound;
  }
  return out;
}

bool FakeModules::FreeLibrary(Handle module) { return libraries_.erase(module) == 1; }

void* FakeModules::GetProcAddress(Handle module, const std::string& name) {
  auto it = libraries_.find(module);
  if (it == libraries_.end()) return identity.Proc(module, name);
  g_handing_out = this;
  const std::string& content = it->second;
  if (content == kCheckLibraryContent && name == "CheckUPDLINK") return reinterpret_cast<void*>(&FakeCheckUpdlink);
  if (content.rfind("StartUpdate:", 0) == 0 && name == "StartUpdate") {
    running_tag = Widen(content.substr(12));
    return reinterpret_cast<void*>(&FakeStartUpdate);
  }
  return nullptr;
}

GuardedCall FakeModules::CallGuarded(const std::function<int()>& call) {
  GuardedCall out;
  try {
    out.result = call();
  } catch (const RaisedException& e) {
    out.raised = true;
    out.code = e.code;
    out.com_hresult = e.com_hresult;
  }
  return out;
}

Machine SimPc::machine() {
  return Machine{system, files, versions, registry, kernel, processes, windows,
                 services, security, phone, modules, internet, cabinets, com};
}

FakeServices::Service& SimPc::InstallService(std::uint32_t state) {
  FakeServices::Service& s = services.Add(kServiceName, state);
  s.config.display_name = L"Tavo SCSI command service";
  s.config.binary_path =
      files.SHGetSpecialFolderPath(win::kCsidlSystemX86, false).value_or(L"") + L"\\ScsiCmdService.exe";
  return s;
}

bool SimPc::ServiceRuns() {
  FakeServices::Service* s = services.Find(kServiceName);
  return s != nullptr && s->state == win::kServiceRunning;
}

std::wstring SimPc::ReadUtf16(const std::wstring& path) const {
  std::string bytes = files.Get(path).value_or("");
  std::wstring out;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                       (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  }
  return out;
}

std::vector<std::wstring> SimPc::TraceLines() const {
  std::wstring text = ReadUtf16(files.temp_path + L"Devstart.Log");
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
