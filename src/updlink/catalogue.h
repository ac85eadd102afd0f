// The catalogue of downloadable components: one entry's version and address,
// read by a direct text scan rather than as elements.
#pragma once

#include <string>
#include <string_view>

namespace updlink {

struct CatalogueEntry {
  bool found = false;
  std::string version;
  std::string url;
};
// Scans for an entry written  <entry_name> version='V' url='U' />
CatalogueEntry ScanCatalogueEntry(std::string_view answer, std::string_view entryName);

}  // namespace updlink
