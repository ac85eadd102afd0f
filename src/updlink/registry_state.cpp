#include "updlink/registry_state.h"

#include "updlink/answer.h"

namespace updlink {

using devstart::Machine;
namespace w = devstart::win;

bool RegistryKey::Open(devstart::RegKey root, const std::string& subkey, std::uint32_t sam) {
  key_.reset();
  devstart::RegKey h = 0;
  if (reg_.RegOpenKeyExA(root, subkey, sam, &h) != w::kErrorSuccess) return false;
  key_.reset(reg_, h);
  return true;
}

bool RegistryKey::Create(devstart::RegKey root, const std::string& subkey) {
  key_.reset();
  devstart::RegKey h = 0;
  if (reg_.RegCreateKeyExA(root, subkey, w::kRegOptionNonVolatile, w::kKeyAllAccess, &h) != w::kErrorSuccess)
    return false;
  key_.reset(reg_, h);
  return true;
}

bool RegistryKey::ReadString(const std::string& name, std::string* out, std::uint32_t size) {
  out->clear();
  if (!key_) return false;
  std::string data;
  if (reg_.RegQueryValueExA(key_.get(), name, size, &data) != w::kErrorSuccess) return false;
  // The value is read into a zeroed buffer: it ends at its first NUL.
  auto nul = data.find('\0');
  if (nul != std::string::npos) data.resize(nul);
  *out = data;
  return true;
}

bool RegistryKey::WriteString(const std::string& name, const std::string& text) {
  if (!key_) return false;
  if (reg_.RegSetValueExA(key_.get(), name, w::kRegSz, text) != w::kErrorSuccess) return false;
  reg_.RegFlushKey(key_.get());
  return true;
}

std::string ServerBase(Machine& m) {
  RegistryKey key(m.registry);
  std::string base;
  if (key.Open(w::kHkeyCurrentUser, kSyncKey)) key.ReadString(kServerValue, &base);
  base = Trim(base);
  // Slashes alone name no origin either.
  while (!base.empty() && base.back() == '/') base.pop_back();
  if (base.empty()) base = kDefaultServerBase;
  return base;
}

std::string ReadSyncValue(Machine& m, const char* name) {
  RegistryKey key(m.registry);
  key.OpenOrCreate(w::kHkeyCurrentUser, kSyncKey);
  return key.Read(name);
}

void WriteSyncValue(Machine& m, const char* name, const std::string& text) {
  RegistryKey key(m.registry);
  key.OpenOrCreate(w::kHkeyCurrentUser, kSyncKey);
  key.WriteString(name, text);
}

}  // namespace updlink
