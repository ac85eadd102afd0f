// Clock and system facts, locale and code pages; the program's own string
// tables and libraries loaded by name.
#include "platform/win32/convert.h"

#include <string>
#include <vector>

#include "platform/win32/adapters.h"

namespace devstart {

using win32::LookUp;

std::optional<OsVersion> Win32SystemInfo::GetVersion() {
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

std::optional<std::uint16_t> Win32SystemInfo::GetNativeSystemInfoByName() {
  // Windows 2000 lacks it; a direct import would keep the program from loading.
  using Fn = void(WINAPI*)(SYSTEM_INFO*);
  static Fn fn = LookUp<Fn>(L"kernel32.dll", "GetNativeSystemInfo");
  if (!fn) return std::nullopt;
  SYSTEM_INFO info{};
  fn(&info);
  return info.wProcessorArchitecture;
}

std::uint16_t Win32SystemInfo::GetSystemInfo() {
  SYSTEM_INFO info{};
  ::GetSystemInfo(&info);
  return info.wProcessorArchitecture;
}

std::uint16_t Win32SystemInfo::GetUserDefaultUILanguage() { return ::GetUserDefaultUILanguage(); }

std::optional<std::uint16_t> Win32SystemInfo::SetThreadUILanguageByName(std::uint16_t lang) {
  // Looked up at run time: the function does not exist before Windows Vista.
  using Fn = LANGID(WINAPI*)(LANGID);
  auto fn = LookUp<Fn>(L"kernel32.dll", "SetThreadUILanguage");
  if (fn == nullptr) return std::nullopt;
  return fn(lang);
}

bool Win32SystemInfo::SetThreadLocale(std::uint32_t lcid) { return ::SetThreadLocale(lcid) != FALSE; }

std::uint32_t Win32SystemInfo::GetTickCount() { return ::GetTickCount(); }

void Win32SystemInfo::Sleep(std::uint32_t ms) { ::Sleep(ms); }

void Win32SystemInfo::OutputDebugString(const std::wstring& text) { ::OutputDebugStringW(text.c_str()); }

std::string Win32SystemInfo::GetLocaleInfoA(std::uint32_t locale, std::uint32_t type, int buffer_chars) {
  // A buffer of no characters asks only for the size: there is no text then.
  std::vector<char> buffer(buffer_chars > 0 ? buffer_chars : 0, '\0');
  int n = ::GetLocaleInfoA(locale, type, buffer.empty() ? nullptr : buffer.data(), buffer_chars);
  if (n <= 0 || buffer.empty()) return {};
  return std::string(buffer.data());
}

LocalTime Win32SystemInfo::GetLocalTime() {
  SYSTEMTIME t{};
  ::GetLocalTime(&t);
  return LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

std::u16string Win32SystemInfo::MultiByteToWideChar(std::uint32_t code_page, const std::string& text) {
  // A length of zero is an error to the call, not an empty text.
  if (text.empty()) return {};
  int n = ::MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return {};
  std::u16string out(n, u'\0');
  n = ::MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()),
                            reinterpret_cast<wchar_t*>(out.data()), n);
  out.resize(n > 0 ? n : 0);
  return out;
}

std::string Win32SystemInfo::WideCharToMultiByte(std::uint32_t code_page, const std::u16string& text) {
  if (text.empty()) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  int n = ::WideCharToMultiByte(code_page, 0, wide, static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(n, '\0');
  n = ::WideCharToMultiByte(code_page, 0, wide, static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  out.resize(n > 0 ? n : 0);
  return out;
}

std::optional<std::wstring> Win32SystemInfo::FormatMessage(std::uint32_t code) {
  wchar_t* text = nullptr;
  DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                             reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (n == 0 || text == nullptr) return std::nullopt;
  std::wstring out(text, n);
  ::LocalFree(text);
  return out;
}

std::optional<std::wstring> Win32Modules::LoadString(std::uint32_t id, std::uint16_t lang) {
  // By explicit language, not LoadStringW: that one follows the thread's UI
  // language, which Wine ignores. Strings live in blocks of 16; block n holds
  // ids 16(n-1) to 16n-1, each entry a length-prefixed UTF-16 text.
  HMODULE module = module_ ? static_cast<HMODULE>(module_) : ::GetModuleHandleW(nullptr);
  HRSRC res = ::FindResourceExW(module, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(id / 16 + 1), lang);
  if (res == nullptr) return std::nullopt;
  HGLOBAL data = ::LoadResource(module, res);
  if (data == nullptr) return std::nullopt;
  const auto* p = static_cast<const WCHAR*>(::LockResource(data));
  if (p == nullptr) return std::nullopt;
  const WCHAR* end = p + ::SizeofResource(module, res) / sizeof(WCHAR);
  for (std::uint32_t i = 0; i < id % 16; ++i) {
    if (p >= end) return std::nullopt;
    p += 1 + *p;
  }
  if (p >= end || *p == 0 || p + 1 + *p > end) return std::nullopt;
  return std::wstring(reinterpret_cast<const wchar_t*>(p + 1), *p);
}

Handle Win32Modules::LoadLibraryA(const std::string& name) {
  return reinterpret_cast<Handle>(::LoadLibraryA(name.c_str()));
}

Handle Win32Modules::LoadLibraryW(const std::wstring& path) {
  return reinterpret_cast<Handle>(::LoadLibraryW(path.c_str()));
}

GuardedLoad Win32Modules::LoadLibraryGuarded(const std::wstring& path) {
  GuardedLoad out;
  GuardedCall call = CallGuarded([&] {
    HMODULE module = ::LoadLibraryW(path.c_str());
    out.error = module ? 0 : ::GetLastError();
    out.module = reinterpret_cast<Handle>(module);
    return 0;
  });
  if (call.raised) {
    out.module = 0;
    out.raised = true;
    out.code = call.code;
  }
  return out;
}

bool Win32Modules::DropCurrentDirectoryFromSearch() {
  using Fn = BOOL(WINAPI*)(LPCWSTR);
  auto fn = LookUp<Fn>(L"kernel32.dll", "SetDllDirectoryW");
  return fn != nullptr && fn(L"") != FALSE;
}

bool Win32Modules::FreeLibrary(Handle module) { return ::FreeLibrary(reinterpret_cast<HMODULE>(module)) != FALSE; }

void* Win32Modules::GetProcAddress(Handle module, const std::string& name) {
  return reinterpret_cast<void*>(::GetProcAddress(reinterpret_cast<HMODULE>(module), name.c_str()));
}

}  // namespace devstart
