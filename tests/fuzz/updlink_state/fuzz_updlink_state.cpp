// The library's state in the registry (its server's origin among it) and the
// phone identity DLLs' answers are outside input: reading them must give
// bounded texts, a usable origin, and leave no key open.
#include "common/fuzz_world.h"
#include "updlink/phone_identity.h"
#include "updlink/registry_state.h"
#include <optional>
#include <utility>

using namespace devstart;

namespace {

const wchar_t kSync[] = L"HKCU\\Software\\LowRegistry\\Tavo Electronics Inc\\TAVOSYNC";
const wchar_t* const kNames[] = {L"UPDATE_SERVER", L"SW_VERSION", L"HISTORY_ID", L""};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static sim::SimPc pc;
  static Machine machine = pc.machine();
  fuzz::ForgetAfterInput forget{pc};
  fuzz::Input in(data, size);

  // The phone: which DLLs and slots answer, and with what.
  sim::IdentityPhone& phone = pc.modules.identity;
  std::uint8_t shape = in.Byte();
  phone.phonelink_present = (shape & 1) == 0;
  phone.auth_present = (shape & 2) == 0;
  phone.fill_ok = (shape & 4) == 0;
  phone.serial_ok = (shape & 8) == 0;
  phone.count = static_cast<std::int8_t>(in.Byte());
  phone.missing_slots.clear();
  for (int slot : {0, 1, 5, 8, 11, 12}) {
    if (in.Byte() & 1) phone.missing_slots.insert(slot);
  }
  phone.serial = in.Bytes(in.Byte() * 2);
  phone.model = in.Bytes(in.Byte() * 2);
  phone.software = in.Bytes(in.Byte() * 2);
  phone.auth_serial = in.Bytes(in.Byte() * 2);

  // The sync key's values, any type and bytes; the last value given for a
  // name is the one the registry holds.
  std::optional<std::pair<std::uint32_t, std::string>> values[4];
  while (!in.empty()) {
    auto& value = values[in.Byte() % 4];
    std::uint32_t type = in.Byte() % 12;
    value.emplace(type, in.Bytes(in.Byte() * 2));
  }
  for (std::size_t i = 0; i < 4; ++i) {
    if (!values[i]) continue;
    const std::string& bytes = values[i]->second;
    pc.registry.Put(kSync, kNames[i], values[i]->first, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  }

  std::string base = updlink::ServerBase(machine);
  fuzz::Require(!base.empty() && base.back() != '/');
  for (const char* name : {"SW_VERSION", "HISTORY_ID"}) {
    std::string value = updlink::ReadSyncValue(machine, name);
    fuzz::Require(value.size() <= 256 && value.find('\0') == std::string::npos);
  }
  updlink::WriteSyncValue(machine, "HISTORY_ID", base);
  // An ASCII value that fits comes back as written.
  bool ascii = true;
  for (char c : base) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii && base.size() < 256) fuzz::Require(updlink::ReadSyncValue(machine, "HISTORY_ID") == base);
  fuzz::Require(pc.registry.open_handles() == 0);

  updlink::PhoneIdentity identity(machine);
  updlink::PhoneIdentity::Serial serial = identity.ReadSerial();
  fuzz::Require(serial.serial.size() < 256);
  updlink::PhoneIdentity::Identity full = identity.ReadIdentity();
  fuzz::Require(full.serial.size() < 256 && full.software.size() < 256 && full.model.size() < 256);
  fuzz::Require(full.model.find('-') == std::string::npos);
  if (!full.phoneFound) fuzz::Require(full.serial.empty() && full.model.empty() && full.software.empty());
  pc.registry = sim::FakeRegistry{};
  phone.missing_slots = {};
  phone.serial = phone.model = phone.software = phone.auth_serial = std::string();
  return 0;
}
