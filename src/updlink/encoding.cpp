#include "updlink/encoding.h"

#include <cctype>

namespace updlink {

std::string EncodeQueryValue(std::string_view value) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(value.size());
  for (char ch : value) {
    auto c = static_cast<unsigned char>(ch);
    // "+" reads back as a space on most servers; control bytes end a line.
    if (c <= ' ' || c == '&' || c == '#' || c == '%' || c == '+' || c >= 0x7F) {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    } else {
      out.push_back(ch);
    }
  }
  return out;
}

int LeadingInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  long long v = 0;
  bool any = false;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    any = true;
    v = v * 10 + (text[i] - '0');
    if (v > 0x7fffffff) v = 0x7fffffff;  // a figure too large saturates, never wraps
  }
  return any ? static_cast<int>(v) : 0;
}

}  // namespace updlink
