// Clock and system facts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/results.h"

namespace devstart {

// GetLocalTime: the SYSTEMTIME fields, without the day of the week.
struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, milliseconds = 0;
};

// The fields of OSVERSIONINFOEXW that decisions use.
struct OsVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t build = 0;
  std::uint32_t platform_id = 0;
  std::uint16_t service_pack_major = 0;
  std::uint8_t product_type = 0;  // VER_NT_WORKSTATION, VER_NT_SERVER, ...
};

class ISystemInfo {
 public:
  virtual ~ISystemInfo() = default;
  // GetVersionExW with the extended record; nullopt when the call fails.
  virtual std::optional<OsVersion> GetVersion() = 0;
  // "GetNativeSystemInfo" looked up in kernel32.dll: wProcessorArchitecture;
  // nullopt when the function is missing.
  virtual std::optional<std::uint16_t> GetNativeSystemInfoByName() = 0;
  // GetSystemInfo: wProcessorArchitecture.
  virtual std::uint16_t GetSystemInfo() = 0;
  virtual std::uint16_t GetUserDefaultUILanguage() = 0;
  // "SetThreadUILanguage" looked up in kernel32.dll; nullopt when the library
  // or the function is missing, else the function's result.
  virtual std::optional<std::uint16_t> SetThreadUILanguageByName(std::uint16_t lang) = 0;
  virtual bool SetThreadLocale(std::uint32_t lcid) = 0;
  virtual std::uint32_t GetTickCount() = 0;
  virtual void Sleep(std::uint32_t ms) = 0;
  virtual void OutputDebugString(const std::wstring& text) = 0;
  // GetLocaleInfoA into a buffer of `buffer_chars`; empty on failure.
  virtual std::string GetLocaleInfoA(std::uint32_t locale, std::uint32_t type, int buffer_chars) = 0;
  virtual LocalTime GetLocalTime() = 0;
  // MultiByteToWideChar / WideCharToMultiByte of a whole text; empty on failure.
  virtual std::u16string MultiByteToWideChar(std::uint32_t code_page, const std::string& text) = 0;
  virtual std::string WideCharToMultiByte(std::uint32_t code_page, const std::u16string& text) = 0;
  // FormatMessageW from the system's table, inserts ignored, neutral
  // language; nullopt when the system has no text for the code.
  virtual std::optional<std::wstring> FormatMessage(std::uint32_t code) = 0;
};

}  // namespace devstart
