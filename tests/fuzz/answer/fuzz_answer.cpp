// Server answers are outside input: scanning and looking up any bytes must
// neither crash nor read out of bounds.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "updlink/answer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  updlink::AnswerParser p;
  p.Load(text);
  (void)p.Accepted("OK");
  (void)p.Accepted("ok");
  for (const char* field : {"sw_version", "model", "a", "", "country_code"}) {
    std::string first = updlink::FindFirst(p.Root(), field);
    auto all = updlink::FindAll(p.Root(), field);
    if (!first.empty() && all.empty()) __builtin_trap();  // a first match is also in the list
  }
  p.Load(text.substr(0, size / 2));  // reloading over a tree
  return 0;
}
