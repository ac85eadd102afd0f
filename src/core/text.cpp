#include "core/text.h"

#include <cstdint>

namespace devstart {

std::string ToUtf16LeBytes(const std::wstring& text) {
  std::string out;
  out.reserve(text.size() * 2);
  auto unit = [&out](std::uint32_t u) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>((u >> 8) & 0xFF));
  };
  for (wchar_t ch : text) {
    auto c = static_cast<std::uint32_t>(ch);
    if constexpr (sizeof(wchar_t) > 2) {
      if (c >= 0x10000 && c <= 0x10FFFF) {
        c -= 0x10000;
        unit(0xD800 | (c >> 10));
        unit(0xDC00 | (c & 0x3FF));
        continue;
      }
    }
    unit(c & 0xFFFF);
  }
  return out;
}

std::wstring Widen(const char* text) {
  std::wstring out;
  for (const char* p = text; *p != 0; ++p) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*p)));
  return out;
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
  std::wstring path = folder;
  if (path.empty() || path.back() != L'\\') path += L'\\';
  return path + name;
}

}  // namespace devstart
