#include "fake/sim_inspect.h"

#include <cstring>
#include <stdexcept>

#include "fake/sim_pc.h"

namespace devstart::sim {

namespace {

constexpr std::uint32_t kKeyQueryValue = 0x1;
constexpr std::uint32_t kKeySetValue = 0x2;
constexpr std::uint32_t kVersionMagic = 0xFEEF04BD;

bool StartsWithFolded(const std::wstring& s, const std::wstring& prefix) {
  return Fold(s.substr(0, prefix.size())) == Fold(prefix);
}

std::wstring Trimmed(std::wstring p) {
  while (!p.empty() && p.back() == L'\\') p.pop_back();
  return p;
}

}  // namespace

// ---- registry -------------------------------------------------------------

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
  for (std::size_t at = p.find(L'\\'); ; at = p.find(L'\\', at + 1)) {
    std::wstring part = p.substr(0, at);
    auto& k = keys_[Fold(part)];
    if (k.path.empty()) k.path = part;
    if (at == std::wstring::npos) break;
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

std::int32_t FakeRegistry::RegCreateKeyEx(RegKey parent, const std::wstring& sub_key, std::uint32_t, std::uint32_t sam,
                                          RegKey* key, std::uint32_t* disposition) {
  std::wstring path = Physical(parent, sub_key, sam);
  std::int32_t status = win::kErrorSuccess;
  if (path.empty()) {
    status = win::kErrorInvalidHandle;
  } else if (denied.count(Fold(path))) {
    status = win::kErrorAccessDenied;
  } else if (!HasKey(path) && !elevated && StartsWithFolded(path, L"HKLM")) {
    status = win::kErrorAccessDenied;
  }
  opens.push_back(Open{parent, sub_key, sam, status});
  if (status != win::kErrorSuccess) return status;
  bool existed = HasKey(path);
  PutKey(path);
  if (disposition) *disposition = existed ? win::kRegOpenedExistingKey : win::kRegCreatedNewKey;
  RegKey h = next_;
  next_ += 4;
  handles_[h] = OpenKey{Fold(path), sam};
  if (key) *key = h;
  return win::kErrorSuccess;
}

RegValueRead FakeRegistry::RegQueryValueEx(RegKey key, const std::wstring& name, std::uint32_t buffer_bytes) {
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

// ---- version resources ----------------------------------------------------

void FakeVersionInfo::Put(const std::wstring& path, std::uint16_t a, std::uint16_t b, std::uint16_t c,
                          std::uint16_t d) {
  FixedFileInfo info;
  info.signature = kVersionMagic;
  info.struc_version = 0x10000;
  info.file_version_ms = (static_cast<std::uint32_t>(a) << 16) | b;
  info.file_version_ls = (static_cast<std::uint32_t>(c) << 16) | d;
  info.product_version_ms = 0x00630063;  // differs on purpose from the file version
  info.product_version_ls = 0x00630063;
  files[Fold(path)] = info;
}

std::uint32_t FakeVersionInfo::GetFileVersionInfoSize(const std::wstring& path, std::uint32_t* handle) {
  if (handle) *handle = 0;
  return files.count(Fold(path)) ? 4 + sizeof(FixedFileInfo) : 0;
}

bool FakeVersionInfo::GetFileVersionInfo(const std::wstring& path, std::uint32_t, std::uint32_t size,
                                         std::vector<std::uint8_t>* block) {
  auto it = files.find(Fold(path));
  if (it == files.end() || size < 4 + sizeof(FixedFileInfo)) return false;
  block->assign(size, 0);
  std::memcpy(block->data(), &kVersionMagic, 4);
  std::memcpy(block->data() + 4, &it->second, sizeof(FixedFileInfo));
  return true;
}

std::optional<FixedFileInfo> FakeVersionInfo::VerQueryRoot(const std::vector<std::uint8_t>& block) {
  std::uint32_t magic = 0;
  if (block.size() < 4 + sizeof(FixedFileInfo)) return std::nullopt;
  std::memcpy(&magic, block.data(), 4);
  if (magic != kVersionMagic) return std::nullopt;
  FixedFileInfo info;
  std::memcpy(&info, block.data() + 4, sizeof(info));
  return info;
}

// ---- processes ------------------------------------------------------------

void FakeProcesses::Advance() {
  ++tick;
  EndDue();
}

void FakeProcesses::EndDue() {
  for (std::size_t i = 0; i < processes.size(); ++i) {
    Process& p = processes[i];
    if (p.alive && p.ends_at >= 0 && p.ends_at <= tick) {
      p.alive = false;
      for (auto& s : successors_) {
        if (s.first == i) {
          for (Process n : s.second) {
            n.alive = true;
            processes.push_back(n);
          }
          s.second.clear();
        }
      }
    }
  }
}

int FakeProcesses::open_handles() const { return static_cast<int>(process_handles_.size() + snapshots_.size()); }

Handle FakeProcesses::CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t) {
  if (snapshot_fails || !(flags & win::kTh32csSnapProcess)) return kInvalidHandle;
  Snapshot s;
  for (const Process& p : processes) {
    if (p.alive) s.entries.push_back(ProcessEntry{p.pid, p.exe});
  }
  Handle h = next_handle_;
  next_handle_ += 4;
  snapshots_[h] = s;
  return h;
}

std::optional<ProcessEntry> FakeProcesses::Process32First(Handle snapshot) {
  auto it = snapshots_.find(snapshot);
  if (first_fails || it == snapshots_.end() || it->second.entries.empty()) return std::nullopt;
  it->second.next = 1;
  return it->second.entries[0];
}

std::optional<ProcessEntry> FakeProcesses::Process32Next(Handle snapshot) {
  auto it = snapshots_.find(snapshot);
  if (it == snapshots_.end() || it->second.next >= it->second.entries.size()) return std::nullopt;
  return it->second.entries[it->second.next++];
}

bool FakeProcesses::CloseHandle(Handle h) {
  closed.push_back(h);
  return snapshots_.erase(h) + process_handles_.erase(h) > 0;
}

ShellExecuteResult FakeProcesses::ShellExecuteEx(std::uint32_t mask, const std::wstring& verb, const std::wstring& file,
                                                 const std::wstring& parameters, int show) {
  launches.push_back(Launch{mask, verb, file, parameters, show});
  ShellExecuteResult r;
  auto it = launchable.find(Fold(file));
  if (it == launchable.end()) {
    r.last_error = win::kErrorFileNotFound;
    return r;
  }
  Process p;
  p.pid = next_pid;
  next_pid += 4;
  p.exe = it->second.exe;
  p.ends_at = it->second.runs_for < 0 ? -1 : tick + it->second.runs_for;
  processes.push_back(p);
  std::size_t index = processes.size() - 1;
  if (!it->second.then_start.empty()) successors_.emplace_back(index, it->second.then_start);
  r.ok = true;
  if (mask & win::kSeeMaskNoCloseProcess) {
    r.process = next_handle_;
    next_handle_ += 4;
    process_handles_[r.process] = index;
  }
  EndDue();
  return r;
}

std::optional<std::uint32_t> FakeProcesses::GetProcessIdByName(Handle process) {
  if (!has_get_process_id) return std::nullopt;
  auto it = process_handles_.find(process);
  return it == process_handles_.end() ? 0u : processes[it->second].pid;
}

std::optional<std::uint32_t> FakeProcesses::NtQueryProcessIdByName(Handle process) {
  if (!has_nt_query) return std::nullopt;
  auto it = process_handles_.find(process);
  if (it == process_handles_.end()) return std::nullopt;
  return processes[it->second].pid;
}

std::uint32_t FakeProcesses::MsgWaitForMultipleObjects(const std::vector<Handle>& handles, std::uint32_t timeout_ms,
                                                       std::uint32_t) {
  ++waits;
  for (long spins = 0;; ++spins) {
    for (std::size_t i = 0; i < handles.size(); ++i) {
      auto it = process_handles_.find(handles[i]);
      if (it == process_handles_.end()) return win::kWaitFailed;
      if (!processes[it->second].alive) return win::kWaitObject0 + static_cast<std::uint32_t>(i);
    }
    if (pending_messages > 0) return win::kWaitObject0 + static_cast<std::uint32_t>(handles.size());
    if (timeout_ms != win::kInfinite && spins > 0) return win::kWaitTimeout;
    if (spins > 1000000) throw std::runtime_error("the wait would never return");
    Advance();
  }
}

bool FakeProcesses::DispatchOneMessage() {
  if (pending_messages <= 0) return false;
  --pending_messages;
  ++dispatched;
  if (on_dispatch) on_dispatch();
  return true;
}

void FakeProcesses::Sleep(std::uint32_t) {
  ++sleeps;
  if (sleeps > 1000000) throw std::runtime_error("the loop would never end");
  Advance();
}

// ---- windows and system facts ---------------------------------------------

WindowHandle FakeWindowSearch::FindWindow(const std::wstring& class_name, const std::wstring& title) {
  for (const Window& w : windows) {
    // Window classes compare without regard to case, titles exactly.
    if (!class_name.empty() && Fold(w.class_name) != Fold(class_name)) continue;
    if (!title.empty() && w.title != title) continue;
    return w.handle;
  }
  return 0;
}

bool FakeWindowSearch::PostMessage(WindowHandle w, std::uint32_t msg, std::uintptr_t wparam, std::intptr_t lparam) {
  for (const Window& win : windows) {
    if (win.handle == w) {
      posts.push_back(Post{w, msg, wparam, lparam});
      return true;
    }
  }
  return false;
}

std::optional<std::wstring> FakeNativeSystem::SHGetSpecialFolderPath(int csidl, bool) {
  if (csidl != win::kCsidlProgramFiles) return std::nullopt;
  return program_files;
}

bool FakeNativeSystem::FindFirstFileFinds(const std::wstring& path) {
  searched.push_back(path);
  return fs_.Exists(path);
}

}  // namespace devstart::sim
