// History ids come back from the caller and the registry: splitting them and
// computing the download time must hold for any text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "updlink/encoding.h"
#include "updlink/history.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view id(reinterpret_cast<const char*>(data), size);
  updlink::HistoryParts p = updlink::SplitHistoryId(id);
  if (p.letter.size() > 1 || p.country.size() > 2 || p.region.size() > 1) __builtin_trap();
  devstart::LocalTime now{2026, 12, 7, 10, 30, 15, 0};
  if (size > 0) {
    now.year = 2000 + data[0] % 100;
    now.month = 1 + data[0] % 12;
  }
  std::string t = updlink::DownloadTime("OK", p.stamp, now);
  long long s = std::stoll(t);
  if (s <= -86400 || s >= 86400) __builtin_trap();
  (void)updlink::StampElapsedSeconds(id, now);
  (void)updlink::MirrorNameFromLetter(p.letter);
  (void)updlink::EncodeQueryValue(id);
  return 0;
}
