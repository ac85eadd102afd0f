// The installed-product queries: read-only string reads under
// HKEY_LOCAL_MACHINE that differ in key, value, result kind and trace lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/machine.h"

namespace devstart {

// A string value as the queries read it: REG_SZ or REG_EXPAND_SZ (not
// expanded), at most 255 characters before its NUL. `count` is the character
// count the read reports, NUL included.
struct RegString {
  std::wstring text;
  std::uint32_t count = 0;
};
std::optional<RegString> ReadRegString(IRegistry& registry, RegKey key, const std::wstring& name);

enum class QueryKind { kFolder, kText, kBool };

// One query of the family. `entry_exit` writes "<operation>(+)" and "(-)";
// `key_prefix` is written before the key on the key's trace line; the
// success line is `success_prefix` + "[%s][%d]".
struct ProductQuery {
  const wchar_t* operation;
  bool entry_exit;
  std::wstring key_prefix;
  std::wstring key;
  const wchar_t* value_name;
  QueryKind kind;
  const wchar_t* failure_line;
  const wchar_t* success_prefix;
};

// Runs one query with an access mask; the text result ("" on failure), or
// for kBool "1"/"" .
struct QueryResult {
  bool ok = false;
  std::wstring text;
};
QueryResult RunProductQuery(IRegistry& registry, std::uint32_t sam, const ProductQuery& q);

// The uninstall key of a Windows Installer product code.
std::wstring UninstallKey(const std::wstring& product_code);

// KEY_READ on Windows 2000, else KEY_READ | KEY_WOW64_32KEY.
std::uint32_t ProductQueryMask(ISystemInfo& system);
// The manager's mask: as above while DEBUG_OPTION is 0; 0 (nothing asked
// for) otherwise.
std::uint32_t ManagerRegistryMask(Machine& machine, int debug_option);

extern const wchar_t kVtpProductCode[];
extern const wchar_t kDriverProductCodes[3][39];

class RegManager {
 public:
  explicit RegManager(Machine& machine);
  std::wstring GetDisplayVersion(const std::wstring& product_code);
  std::wstring getDebugDownloadVersion();

  std::uint32_t m_samDesired;

 private:
  Machine& machine_;
};

}  // namespace devstart
