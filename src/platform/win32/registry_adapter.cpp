// The registry, with the view flags (KEY_WOW64_*) passed through in `sam`.
#include "platform/win32/convert.h"

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

}  // namespace devstart
