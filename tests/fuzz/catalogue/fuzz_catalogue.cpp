// Catalogue entries are outside input: any text, any entry name.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "updlink/catalogue.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const char* entry : {"name='PCSyncDLL'", "name='B2C_PCSynclink_setup'"}) {
    auto e = updlink::ScanCatalogueEntry(text, entry);
    if (!e.found && (!e.version.empty() || !e.url.empty())) __builtin_trap();
    if (e.version.size() > size || e.url.size() > size) __builtin_trap();
  }
  if (size > 0) {
    std::size_t cut = data[0] % (size + 1);
    (void)updlink::ScanCatalogueEntry(text.substr(cut), text.substr(0, cut));
  }
  return 0;
}
