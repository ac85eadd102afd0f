// The registry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/results.h"

namespace devstart {

// RegQueryValueExW into a caller buffer of `buffer_bytes` bytes.
struct RegValueRead {
  std::int32_t status = 0;          // the call's result (ERROR_MORE_DATA when too small)
  std::uint32_t type = 0;
  std::uint32_t size = 0;           // byte count the call reported
  std::vector<std::uint8_t> data;   // the bytes written into the buffer on success
};

class IRegistry {
 public:
  virtual ~IRegistry() = default;
  // RegCreateKeyExW with no class and no security attributes.
  virtual std::int32_t RegCreateKeyEx(RegKey parent, const std::wstring& sub_key, std::uint32_t options,
                                      std::uint32_t sam, RegKey* key, std::uint32_t* disposition) = 0;
  virtual RegValueRead RegQueryValueEx(RegKey key, const std::wstring& name, std::uint32_t buffer_bytes) = 0;
  virtual std::int32_t RegSetValueEx(RegKey key, const std::wstring& name, std::uint32_t type,
                                     const std::vector<std::uint8_t>& data) = 0;
  virtual std::int32_t RegCloseKey(RegKey key) = 0;
  // The ANSI variants. RegQueryValueExA reads into a zeroed buffer of `size`
  // bytes; `data` receives the bytes the call reported.
  virtual std::int32_t RegOpenKeyExA(RegKey parent, const std::string& sub_key, std::uint32_t sam, RegKey* key) = 0;
  virtual std::int32_t RegCreateKeyExA(RegKey parent, const std::string& sub_key, std::uint32_t options,
                                       std::uint32_t sam, RegKey* key) = 0;
  virtual std::int32_t RegQueryValueExA(RegKey key, const std::string& name, std::uint32_t size,
                                        std::string* data) = 0;
  virtual std::int32_t RegSetValueExA(RegKey key, const std::string& name, std::uint32_t type,
                                      const std::string& data) = 0;
  virtual std::int32_t RegFlushKey(RegKey key) = 0;
};

}  // namespace devstart
