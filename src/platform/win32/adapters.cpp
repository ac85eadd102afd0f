#include "platform/win32/adapters.h"

#include "platform/win32/win_api.h"

#include <vector>

namespace devstart {

namespace {
HANDLE ToHandle(Handle h) { return reinterpret_cast<HANDLE>(h); }
Handle FromHandle(HANDLE h) { return reinterpret_cast<Handle>(h); }
HWND ToHwnd(WindowHandle w) { return reinterpret_cast<HWND>(w); }
}  // namespace

std::wstring Win32System::GetTempPath() {
  wchar_t buf[MAX_PATH + 1];
  DWORD n = ::GetTempPathW(MAX_PATH + 1, buf);
  if (n == 0 || n > MAX_PATH) return {};
  return std::wstring(buf, n);
}

std::wstring Win32System::GetCurrentDirectory() {
  DWORD n = ::GetCurrentDirectoryW(0, nullptr);
  if (n == 0) return {};
  std::wstring s(n, L'\0');
  n = ::GetCurrentDirectoryW(n, s.data());
  s.resize(n);
  return s;
}

std::wstring Win32System::GetModuleFileName() {
  std::wstring s(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = ::GetModuleFileNameW(nullptr, s.data(), static_cast<DWORD>(s.size()));
    if (n == 0) return {};
    if (n < s.size()) {
      s.resize(n);
      return s;
    }
    s.resize(s.size() * 2);
  }
}

std::optional<OsVersion> Win32System::GetVersion() {
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) return std::nullopt;
  OsVersion v;
  v.major = info.dwMajorVersion;
  v.minor = info.dwMinorVersion;
  v.build = info.dwBuildNumber;
  v.platform_id = info.dwPlatformId;
  v.service_pack_major = info.wServicePackMajor;
  v.product_type = info.wProductType;
  return v;
}

std::uint16_t Win32System::GetUserDefaultUILanguage() { return ::GetUserDefaultUILanguage(); }

std::optional<std::uint16_t> Win32System::SetThreadUILanguageByName(std::uint16_t lang) {
  // Looked up at run time: the function does not exist before Windows Vista.
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return std::nullopt;
  using Fn = LANGID(WINAPI*)(LANGID);
  auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(kernel, "SetThreadUILanguage")));
  if (fn == nullptr) return std::nullopt;
  return fn(lang);
}

bool Win32System::SetThreadLocale(std::uint32_t lcid) { return ::SetThreadLocale(lcid) != FALSE; }

std::uint32_t Win32System::GetTickCount() { return ::GetTickCount(); }

void Win32System::OutputDebugString(const std::wstring& text) { ::OutputDebugStringW(text.c_str()); }

Handle Win32Files::CreateFile(const std::wstring& path, std::uint32_t access, std::uint32_t share,
                              std::uint32_t disposition, std::uint32_t attributes) {
  return FromHandle(::CreateFileW(path.c_str(), access, share, nullptr, disposition, attributes, nullptr));
}

bool Win32Files::WriteFile(Handle file, const void* bytes, std::uint32_t size) {
  DWORD written = 0;
  return ::WriteFile(ToHandle(file), bytes, size, &written, nullptr) != FALSE;
}

bool Win32Files::CloseHandle(Handle h) { return ::CloseHandle(ToHandle(h)) != FALSE; }

ProfileRead Win32Profile::GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                                  const std::wstring& default_value, std::uint32_t size,
                                                  const std::wstring& file) {
  std::vector<wchar_t> buf(size + 1, L'\0');
  DWORD n = ::GetPrivateProfileStringW(section.c_str(), key.c_str(), default_value.c_str(), buf.data(),
                                       size, file.c_str());
  return ProfileRead{std::wstring(buf.data(), n), n};
}

MutexResult Win32Sync::CreateMutex(bool initial_owner, const std::wstring& name) {
  HANDLE h = ::CreateMutexW(nullptr, initial_owner ? TRUE : FALSE, name.c_str());
  DWORD err = ::GetLastError();
  return MutexResult{FromHandle(h), err};
}

bool Win32Sync::CloseHandle(Handle h) { return ::CloseHandle(ToHandle(h)) != FALSE; }

WindowHandle Win32Windows::FindWindow(const std::wstring& class_name, const std::wstring& title) {
  HWND w = ::FindWindowW(class_name.empty() ? nullptr : class_name.c_str(),
                         title.empty() ? nullptr : title.c_str());
  return reinterpret_cast<WindowHandle>(w);
}

bool Win32Windows::SetWindowPos(WindowHandle w, WindowHandle insert_after, int x, int y, int cx, int cy,
                                std::uint32_t flags) {
  return ::SetWindowPos(ToHwnd(w), ToHwnd(insert_after), x, y, cx, cy, flags) != FALSE;
}

std::intptr_t Win32Windows::SendMessage(WindowHandle w, std::uint32_t msg, std::uintptr_t wparam,
                                        std::intptr_t lparam) {
  return ::SendMessageW(ToHwnd(w), msg, wparam, lparam);
}

int Win32Windows::MessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
                             std::uint32_t type) {
  return ::MessageBoxW(ToHwnd(owner), text.c_str(), caption.c_str(), type);
}

std::optional<std::wstring> Win32StringResources::LoadString(std::uint32_t id, std::uint16_t lang) {
  // Strings live in blocks of 16; block n holds ids 16(n-1) to 16n-1, each
  // entry a length-prefixed UTF-16 text.
  HMODULE module = module_ ? static_cast<HMODULE>(module_) : ::GetModuleHandleW(nullptr);
  HRSRC res = ::FindResourceExW(module, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(id / 16 + 1), lang);
  if (res == nullptr) return std::nullopt;
  HGLOBAL data = ::LoadResource(module, res);
  if (data == nullptr) return std::nullopt;
  const auto* p = static_cast<const WCHAR*>(::LockResource(data));
  const WCHAR* end = p + ::SizeofResource(module, res) / sizeof(WCHAR);
  if (p == nullptr) return std::nullopt;
  for (std::uint32_t i = 0; i < id % 16; ++i) {
    if (p >= end) return std::nullopt;
    p += 1 + *p;
  }
  if (p >= end || *p == 0 || p + 1 + *p > end) return std::nullopt;
  return std::wstring(reinterpret_cast<const wchar_t*>(p + 1), *p);
}

}  // namespace devstart
