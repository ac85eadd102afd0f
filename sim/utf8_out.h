// What the Windows-side helpers print and log for the end-to-end tests to
// read: UTF-8, one line at a time, as raw bytes.
#pragma once

#include <windows.h>

#include <string>

namespace utf8out {

// All of `text` (an embedded NUL included) in UTF-8.
inline std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, out.data(), n, nullptr, nullptr);
  return out;
}

// `text` and a line feed, written with WriteFile: the C runtime's text mode
// would translate them, and its buffer would hold a line back from a pipe.
inline void WriteLine(HANDLE to, const std::wstring& text) {
  const std::string bytes = Utf8(text) + '\n';
  DWORD written = 0;
  ::WriteFile(to, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

inline void PrintLine(const std::wstring& text) { WriteLine(::GetStdHandle(STD_OUTPUT_HANDLE), text); }

}  // namespace utf8out
