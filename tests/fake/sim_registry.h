// The simulated registry: HKLM and HKCU, with the 32-bit view of
// HKLM\SOFTWARE under Wow6432Node on a 64-bit PC, access masks per open key,
// and the right to create keys under HKLM only when elevated.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ports.h"

namespace devstart::sim {

class FakeRegistry : public IRegistry {
 public:
  struct Value {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
  };
  // Whether the PC is 64-bit (then the 32-bit program's own view, and
  // KEY_WOW64_32KEY, land under SOFTWARE\Wow6432Node of HKLM).
  bool os_64bit = true;
  // An elevated run may create keys under HKLM; a standard user may not.
  bool elevated = true;
  // Keys (full, e.g. L"HKLM\\SOFTWARE\\Wow6432Node\\X") that refuse opening.
  std::set<std::wstring> denied;

  // Test set-up, in physical paths ("HKLM\\SOFTWARE\\Wow6432Node\\...").
  void PutKey(const std::wstring& path);
  void Put(const std::wstring& path, const std::wstring& name, std::uint32_t type, std::vector<std::uint8_t> bytes);
  void PutString(const std::wstring& path, const std::wstring& name, const std::wstring& text,
                 std::uint32_t type = win::kRegSz);
  void PutDword(const std::wstring& path, const std::wstring& name, std::uint32_t value);
  bool HasKey(const std::wstring& path) const;
  void DeleteTree(const std::wstring& path);
  const Value* Get(const std::wstring& path, const std::wstring& name) const;
  std::optional<std::uint32_t> GetDword(const std::wstring& path, const std::wstring& name) const;
  std::optional<std::wstring> GetString(const std::wstring& path, const std::wstring& name) const;

  struct Open {
    RegKey parent;
    std::wstring sub_key;
    std::uint32_t sam;
    std::int32_t status;
  };
  std::vector<Open> opens;  // every RegCreateKeyEx, in order
  std::vector<std::wstring> reads;  // the value name of every RegQueryValueEx(A), in order
  int open_handles() const { return static_cast<int>(handles_.size()); }

  std::int32_t RegCreateKeyEx(RegKey parent, const std::wstring& sub_key, std::uint32_t options, std::uint32_t sam,
                              RegKey* key, std::uint32_t* disposition) override;
  RegValueRead RegQueryValueEx(RegKey key, const std::wstring& name, std::uint32_t buffer_bytes) override;
  std::int32_t RegSetValueEx(RegKey key, const std::wstring& name, std::uint32_t type,
                             const std::vector<std::uint8_t>& data) override;
  std::int32_t RegCloseKey(RegKey key) override;
  // The ANSI variants over the same keys. Text is widened byte for byte on
  // the way in and narrowed on the way out, so both kinds of caller see one
  // value; strings are kept with their terminator, as Windows keeps them.
  std::int32_t RegOpenKeyExA(RegKey parent, const std::string& sub_key, std::uint32_t sam, RegKey* key) override;
  std::int32_t RegCreateKeyExA(RegKey parent, const std::string& sub_key, std::uint32_t options, std::uint32_t sam,
                               RegKey* key) override;
  std::int32_t RegQueryValueExA(RegKey key, const std::string& name, std::uint32_t size, std::string* data) override;
  std::int32_t RegSetValueExA(RegKey key, const std::string& name, std::uint32_t type,
                              const std::string& data) override;
  std::int32_t RegFlushKey(RegKey key) override;

  // The physical key a view-relative path of a predefined key lands on.
  std::wstring Physical(RegKey parent, const std::wstring& sub_key, std::uint32_t sam) const;

 private:
  struct Key {
    std::wstring path;  // as first created, for listing
    std::map<std::wstring, Value> values;  // by folded name
  };
  struct OpenKey {
    std::wstring folded;
    std::uint32_t sam;
  };
  // RegCreateKeyEx without its log entry; with `create` false, RegOpenKeyEx.
  std::int32_t OpenOrCreate(RegKey parent, const std::wstring& sub_key, std::uint32_t sam, bool create, RegKey* key,
                            std::uint32_t* disposition);

  std::map<std::wstring, Key, std::less<>> keys_;  // by folded physical path
  std::map<RegKey, OpenKey> handles_;
  RegKey next_ = 0x1000;
};

}  // namespace devstart::sim
