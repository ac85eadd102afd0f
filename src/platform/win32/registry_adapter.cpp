// The registry, with the view flags (KEY_WOW64_*) passed through in `sam`.
#include "platform/win32/convert.h"

#include <string>
#include <vector>

#include "platform/win32/adapters.h"

namespace devstart {

using win32::ToHkey;

std::int32_t Win32Registry::RegCreateKeyEx(RegKey parent, const std::wstring& sub_key, std::uint32_t options,
                                           std::uint32_t sam, RegKey* key, std::uint32_t* disposition) {
  HKEY h = nullptr;
  DWORD disp = 0;
  LONG r = ::RegCreateKeyExW(ToHkey(parent), sub_key.c_str(), 0, nullptr, options, sam, nullptr, &h, &disp);
  if (r == ERROR_SUCCESS) {
    if (key) *key = reinterpret_cast<RegKey>(h);
    if (disposition) *disposition = disp;
  }
  return r;
}

RegValueRead Win32Registry::RegQueryValueEx(RegKey key, const std::wstring& name, std::uint32_t buffer_bytes) {
  RegValueRead out;
  std::vector<std::uint8_t> buffer(buffer_bytes);
  DWORD type = 0;
  DWORD size = buffer_bytes;
  out.status = ::RegQueryValueExW(ToHkey(key), name.c_str(), nullptr, &type, buffer.data(), &size);
  out.type = type;
  out.size = size;
  if (out.status == ERROR_SUCCESS) {
    out.data.assign(buffer.begin(), buffer.begin() + (size < buffer_bytes ? size : buffer_bytes));
  }
  return out;
}

std::int32_t Win32Registry::RegSetValueEx(RegKey key, const std::wstring& name, std::uint32_t type,
                                          const std::vector<std::uint8_t>& data) {
  return ::RegSetValueExW(ToHkey(key), name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
}

std::int32_t Win32Registry::RegCloseKey(RegKey key) { return ::RegCloseKey(ToHkey(key)); }

std::int32_t Win32Registry::RegOpenKeyExA(RegKey parent, const std::string& sub_key, std::uint32_t sam, RegKey* key) {
  HKEY h = nullptr;
  LONG r = ::RegOpenKeyExA(ToHkey(parent), sub_key.c_str(), 0, sam, &h);
  if (r == ERROR_SUCCESS && key) *key = reinterpret_cast<RegKey>(h);
  return r;
}

std::int32_t Win32Registry::RegCreateKeyExA(RegKey parent, const std::string& sub_key, std::uint32_t options,
                                            std::uint32_t sam, RegKey* key) {
  HKEY h = nullptr;
  LONG r = ::RegCreateKeyExA(ToHkey(parent), sub_key.c_str(), 0, nullptr, options, sam, nullptr, &h, nullptr);
  if (r == ERROR_SUCCESS && key) *key = reinterpret_cast<RegKey>(h);
  return r;
}

std::int32_t Win32Registry::RegQueryValueExA(RegKey key, const std::string& name, std::uint32_t size,
                                             std::string* data) {
  // Zeroed, so that a string stored without its terminator still ends where
  // the caller looks for one.
  std::vector<char> buffer(size, '\0');
  DWORD type = 0;
  DWORD len = size;
  LONG r = ::RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &len);
  if (r == ERROR_SUCCESS && data) data->assign(buffer.data(), len < size ? len : size);
  return r;
}

std::int32_t Win32Registry::RegSetValueExA(RegKey key, const std::string& name, std::uint32_t type,
                                           const std::string& data) {
  // c_str(): the terminator follows the counted bytes, where the call looks
  // for it to store a string value with its NUL.
  return ::RegSetValueExA(ToHkey(key), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>(data.size()));
}

std::int32_t Win32Registry::RegFlushKey(RegKey key) { return ::RegFlushKey(ToHkey(key)); }

}  // namespace devstart
