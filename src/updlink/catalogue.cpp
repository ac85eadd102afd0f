#include "updlink/catalogue.h"

namespace updlink {

CatalogueEntry ScanCatalogueEntry(std::string_view answer, std::string_view entryName) {
  CatalogueEntry e;
  if (entryName.empty()) return e;
  auto pos = answer.find(entryName);
  if (pos == std::string_view::npos || pos < 1) return e;
  e.found = true;
  std::string_view rest = answer.substr(pos + entryName.size());
  auto end = rest.find("/>");
  // The entry ends one character before "/>" (the space that precedes it).
  if (end == std::string_view::npos || end < 1) return e;
  rest = rest.substr(0, end - 1);
  constexpr std::string_view kVersion = "version='";
  constexpr std::string_view kUrlAfterVersion = "' url=";
  auto v = rest.find(kVersion);
  auto ve = rest.find(kUrlAfterVersion);
  if (v != std::string_view::npos && ve != std::string_view::npos && ve >= v + kVersion.size())
    e.version = std::string(rest.substr(v + kVersion.size(), ve - v - kVersion.size()));
  auto u = rest.find("url=");
  if (u != std::string_view::npos) {
    std::string_view q = rest.substr(u + 4);
    if (q.size() >= 2) e.url = std::string(q.substr(1, q.size() - 2));
  }
  return e;
}

}  // namespace updlink
