// What the Windows-side probes print: one "name=value" line per finding, in
// UTF-8, for the end-to-end tests to read.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

namespace devstart::probe {

inline std::string Utf8(const std::wstring& w) {
  int n = ::WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string s(n > 0 ? n - 1 : 0, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, s.data(), n, nullptr, nullptr);
  return s;
}

inline void Print(const char* name, const std::wstring& value) {
  std::printf("%s=%s\n", name, Utf8(value).c_str());
}
inline void Print(const char* name, long long value) { std::printf("%s=%lld\n", name, value); }

}  // namespace devstart::probe
