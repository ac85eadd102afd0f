#include "platform/win32/inspect_adapters.h"

#include "platform/win32/win_api.h"

#include <shlobj.h>
#include <tlhelp32.h>

#undef FindWindow
#undef PostMessage
#undef GetSystemInfo
#undef SHGetSpecialFolderPath
#undef Process32First
#undef Process32Next
#undef ShellExecuteEx
#undef GetFileVersionInfoSize
#undef GetFileVersionInfo
#undef RegCreateKeyEx
#undef RegQueryValueEx
#undef RegSetValueEx
#undef MsgWaitForMultipleObjects

namespace devstart {

namespace {

HKEY ToHkey(RegKey k) { return reinterpret_cast<HKEY>(k); }
HANDLE ToHandle(Handle h) { return reinterpret_cast<HANDLE>(h); }
const wchar_t* OrNull(const std::wstring& s) { return s.empty() ? nullptr : s.c_str(); }

// Entry points that older systems lack, looked up once by name.
template <typename F>
F Lookup(const wchar_t* module, const char* name) {
  HMODULE m = ::GetModuleHandleW(module);
  return m ? reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(m, name))) : nullptr;
}

std::optional<ProcessEntry> Entry(BOOL ok, const PROCESSENTRY32W& e) {
  if (!ok) return std::nullopt;
  return ProcessEntry{e.th32ProcessID, e.szExeFile};
}

}  // namespace

// ---- registry -------------------------------------------------------------

std::int32_t Win32Registry::RegCreateKeyEx(RegKey parent, const std::wstring& sub_key, std::uint32_t options,
                                           std::uint32_t sam, RegKey* key, std::uint32_t* disposition) {
  HKEY h = nullptr;
  DWORD disp = 0;
  LONG r = ::RegCreateKeyExW(ToHkey(parent), sub_key.c_str(), 0, nullptr, options, sam, nullptr, &h, &disp);
  if (r == ERROR_SUCCESS) {
    if (key) *key = reinterpret_cast<RegKey>(h);
    if (disposition) *disposition = disp;
  }
  return r;
}

RegValueRead Win32Registry::RegQueryValueEx(RegKey key, const std::wstring& name, std::uint32_t buffer_bytes) {
  RegValueRead out;
  std::vector<std::uint8_t> buffer(buffer_bytes);
  DWORD type = 0;
  DWORD size = buffer_bytes;
  out.status = ::RegQueryValueExW(ToHkey(key), name.c_str(), nullptr, &type, buffer.data(), &size);
  out.type = type;
  out.size = size;
  if (out.status == ERROR_SUCCESS) out.data.assign(buffer.begin(), buffer.begin() + (size < buffer_bytes ? size : buffer_bytes));
  return out;
}

std::int32_t Win32Registry::RegSetValueEx(RegKey key, const std::wstring& name, std::uint32_t type,
                                          const std::vector<std::uint8_t>& data) {
  return ::RegSetValueExW(ToHkey(key), name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
}

std::int32_t Win32Registry::RegCloseKey(RegKey key) { return ::RegCloseKey(ToHkey(key)); }

// ---- version resources ----------------------------------------------------

std::uint32_t Win32VersionInfo::GetFileVersionInfoSize(const std::wstring& path, std::uint32_t* handle) {
  DWORD h = 0;
  DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &h);
  if (handle) *handle = h;
  return size;
}

bool Win32VersionInfo::GetFileVersionInfo(const std::wstring& path, std::uint32_t handle, std::uint32_t size,
                                          std::vector<std::uint8_t>* block) {
  block->assign(size, 0);
  return ::GetFileVersionInfoW(path.c_str(), handle, size, block->data()) != FALSE;
}

std::optional<FixedFileInfo> Win32VersionInfo::VerQueryRoot(const std::vector<std::uint8_t>& block) {
  void* data = nullptr;
  UINT len = 0;
  if (!::VerQueryValueW(block.data(), L"\\", &data, &len) || !data || len < sizeof(VS_FIXEDFILEINFO)) {
    return std::nullopt;
  }
  const auto* f = static_cast<const VS_FIXEDFILEINFO*>(data);
  FixedFileInfo info;
  info.signature = f->dwSignature;
  info.struc_version = f->dwStrucVersion;
  info.file_version_ms = f->dwFileVersionMS;
  info.file_version_ls = f->dwFileVersionLS;
  info.product_version_ms = f->dwProductVersionMS;
  info.product_version_ls = f->dwProductVersionLS;
  return info;
}

// ---- processes ------------------------------------------------------------

Handle Win32Processes::CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t process_id) {
  return reinterpret_cast<Handle>(::CreateToolhelp32Snapshot(flags, process_id));
}

std::optional<ProcessEntry> Win32Processes::Process32First(Handle snapshot) {
  PROCESSENTRY32W e{};
  e.dwSize = sizeof(e);
  return Entry(::Process32FirstW(ToHandle(snapshot), &e), e);
}

std::optional<ProcessEntry> Win32Processes::Process32Next(Handle snapshot) {
  PROCESSENTRY32W e{};
  e.dwSize = sizeof(e);
  return Entry(::Process32NextW(ToHandle(snapshot), &e), e);
}

bool Win32Processes::CloseHandle(Handle h) { return ::CloseHandle(ToHandle(h)) != FALSE; }

ShellExecuteResult Win32Processes::ShellExecuteEx(std::uint32_t mask, const std::wstring& verb, const std::wstring& file,
                                                  const std::wstring& parameters, int show) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = mask;
  info.lpVerb = verb.c_str();
  info.lpFile = file.c_str();
  info.lpParameters = OrNull(parameters);
  info.nShow = show;
  ShellExecuteResult r;
  r.ok = ::ShellExecuteExW(&info) != FALSE;
  r.last_error = r.ok ? 0 : ::GetLastError();
  r.process = reinterpret_cast<Handle>(info.hProcess);
  return r;
}

std::optional<std::uint32_t> Win32Processes::GetProcessIdByName(Handle process) {
  using Fn = DWORD(WINAPI*)(HANDLE);
  static Fn fn = Lookup<Fn>(L"KERNEL32.DLL", "GetProcessId");
  if (!fn) return std::nullopt;
  return fn(ToHandle(process));
}

std::optional<std::uint32_t> Win32Processes::NtQueryProcessIdByName(Handle process) {
  // PROCESS_BASIC_INFORMATION: six pointer-sized fields, the identifier fifth.
  using Fn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  static Fn fn = Lookup<Fn>(L"NTDLL.DLL", "NtQueryInformationProcess");
  if (!fn) return std::nullopt;
  ULONG_PTR info[6] = {};
  if (fn(ToHandle(process), 0, info, sizeof(info), nullptr) < 0) return std::nullopt;
  return static_cast<std::uint32_t>(info[4]);
}

std::uint32_t Win32Processes::MsgWaitForMultipleObjects(const std::vector<Handle>& handles, std::uint32_t timeout_ms,
                                                        std::uint32_t wake_mask) {
  std::vector<HANDLE> hs;
  for (Handle h : handles) hs.push_back(ToHandle(h));
  return ::MsgWaitForMultipleObjects(static_cast<DWORD>(hs.size()), hs.empty() ? nullptr : hs.data(), FALSE, timeout_ms,
                                     wake_mask);
}

bool Win32Processes::DispatchOneMessage() {
  MSG msg;
  if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  ::TranslateMessage(&msg);
  ::DispatchMessageW(&msg);
  return true;
}

void Win32Processes::Sleep(std::uint32_t ms) { ::Sleep(ms); }

// ---- windows and system facts ---------------------------------------------

WindowHandle Win32WindowSearch::FindWindow(const std::wstring& class_name, const std::wstring& title) {
  return reinterpret_cast<WindowHandle>(::FindWindowW(OrNull(class_name), OrNull(title)));
}

bool Win32WindowSearch::PostMessage(WindowHandle w, std::uint32_t msg, std::uintptr_t wparam, std::intptr_t lparam) {
  return ::PostMessageW(reinterpret_cast<HWND>(w), msg, wparam, lparam) != FALSE;
}

std::optional<std::uint16_t> Win32NativeSystem::GetNativeSystemInfoByName() {
  using Fn = void(WINAPI*)(SYSTEM_INFO*);
  static Fn fn = Lookup<Fn>(L"kernel32.dll", "GetNativeSystemInfo");
  if (!fn) return std::nullopt;
  SYSTEM_INFO info{};
  fn(&info);
  return info.wProcessorArchitecture;
}

std::uint16_t Win32NativeSystem::GetSystemInfo() {
  SYSTEM_INFO info{};
  ::GetSystemInfo(&info);
  return info.wProcessorArchitecture;
}

std::optional<std::wstring> Win32NativeSystem::SHGetSpecialFolderPath(int csidl, bool create) {
  wchar_t buffer[1024] = {};
  if (!::SHGetSpecialFolderPathW(nullptr, buffer, csidl, create ? TRUE : FALSE)) return std::nullopt;
  return std::wstring(buffer);
}

bool Win32NativeSystem::FindFirstFileFinds(const std::wstring& path) {
  WIN32_FIND_DATAW data;
  HANDLE h = ::FindFirstFileW(path.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return false;
  ::FindClose(h);
  return true;
}

}  // namespace devstart
