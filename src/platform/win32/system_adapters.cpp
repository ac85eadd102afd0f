// Clock and system facts; the program's own string tables.
#include "platform/win32/convert.h"

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

}  // namespace devstart
