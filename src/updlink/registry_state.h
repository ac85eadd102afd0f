// What the library keeps in the registry: the sync key's values and the
// server's origin, through a key that closes itself.
#pragma once

#include <cstdint>
#include <string>

#include "platform/handles.h"
#include "platform/machine.h"

namespace updlink {

inline constexpr const char* kSyncKey = "Software\\LowRegistry\\Tavo Electronics Inc\\TAVOSYNC";
inline constexpr const char* kMobileAxKey = "Software\\LowRegistry\\Tavo Electronics Inc\\TavoMobileAX";
// Where the server lives: this value under kSyncKey overrides the built-in
// origin (test rigs and staging servers set it; shipped PCs never do).
inline constexpr const char* kServerValue = "UPDATE_SERVER";
#ifndef UPDLINK_SERVER_BASE
#define UPDLINK_SERVER_BASE "http://127.0.0.1:9002"
#endif
inline constexpr const char* kDefaultServerBase = UPDLINK_SERVER_BASE;

class RegistryKey {
 public:
  explicit RegistryKey(devstart::IRegistry& reg) : reg_(reg) {}
  bool Open(devstart::RegKey root, const std::string& subkey, std::uint32_t sam = devstart::win::kKeyAllAccess);
  bool Create(devstart::RegKey root, const std::string& subkey);
  bool OpenOrCreate(devstart::RegKey root, const std::string& subkey) {
    return Open(root, subkey) || Create(root, subkey);
  }
  // Reads into a zeroed buffer of `size` bytes; a longer value reads as none.
  bool ReadString(const std::string& name, std::string* out, std::uint32_t size = 256);
  std::string Read(const std::string& name) { std::string s; ReadString(name, &s); return s; }
  bool WriteString(const std::string& name, const std::string& text);

 private:
  devstart::IRegistry& reg_;
  devstart::UniqueKey key_;
};

std::string ServerBase(devstart::Machine& m);

// The sync key is opened (created when missing) for each value and closed
// again at once, so that no key stays open across a request to the server.
std::string ReadSyncValue(devstart::Machine& m, const char* name);
void WriteSyncValue(devstart::Machine& m, const char* name, const std::string& text);

}  // namespace updlink
