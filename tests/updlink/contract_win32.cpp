#include "platform/win32/win_api.h"

#include <cstdio>
#include <cstring>

#include "contract_env.h"
#include "platform/win32/machine.h"

namespace {

std::string U16(std::uint16_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string U32(std::uint32_t v) { return U16(v & 0xFFFF) + U16(v >> 16); }

// An uncompressed cabinet with the names exactly as given.
std::string MakeCabinet(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string data, files;
  std::uint32_t offset = 0;
  for (const auto& [name, body] : entries) {
    files += U32(static_cast<std::uint32_t>(body.size())) + U32(offset) + U16(0) + U16(0x5A21) + U16(0x6000) + U16(0x20) +
             name + '\0';
    offset += static_cast<std::uint32_t>(body.size());
    data += body;
  }
  const std::uint32_t firstData = 36 + 8 + static_cast<std::uint32_t>(files.size());
  std::string block = U32(0) + U16(static_cast<std::uint16_t>(data.size())) + U16(static_cast<std::uint16_t>(data.size())) + data;
  std::string header = "MSCF" + U32(0) + U32(firstData + static_cast<std::uint32_t>(block.size())) + U32(0) + U32(36 + 8) +
                       U32(0) + std::string{3, 1} + U16(1) + U16(static_cast<std::uint16_t>(entries.size())) + U16(0) +
                       U16(0x1234) + U16(0);
  std::string folder = U32(firstData) + U16(1) + U16(0);
  return header + folder + files + block;
}

struct WinEnv final : UpdContractEnv {
  devstart::Win32Machine w;
  int n = 0;
  devstart::Machine& machine() override { return w.machine(); }
  // Names are made unique by trying: Wine reuses process ids between runs.
  std::string Scratch() override {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    for (;;) {
      char name[MAX_PATH];
      std::snprintf(name, sizeof name, "%supdcontract_%lu_%lu_%d", temp, GetCurrentProcessId(), GetTickCount(), ++n);
      if (CreateDirectoryA(name, nullptr)) return name;
    }
  }
  void PutFile(const std::string& path, const std::string& content) override {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
  }
  std::string ReadFile(const std::string& path) override {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return "<none>";
    std::string s;
    char buf[4096];
    std::size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, got);
    std::fclose(f);
    return s;
  }
  void PutCabinet(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries) override {
    PutFile(path, MakeCabinet(entries));
  }
  std::string KeyName() override {
    for (;;) {
      std::string name = "Software\\UpdlinkContract\\p" + std::to_string(GetCurrentProcessId()) + "_" +
                         std::to_string(GetTickCount()) + "_" + std::to_string(++n);
      HKEY k;
      if (RegOpenKeyExA(HKEY_CURRENT_USER, name.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return name;
      RegCloseKey(k);
    }
  }
};

}  // namespace

UpdContractEnv& ContractEnv() {
  static WinEnv e;
  return e;
}
