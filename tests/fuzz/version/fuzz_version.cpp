// Version texts come from config.ini, the registry and the server, and a
// file's version resource is whatever the file holds: reading the fixed
// block, printing it and comparing any two texts must hold for all of them.
#include <cstring>

#include "common/fuzz_world.h"
#include "inspect/driver_check.h"
#include "inspect/version.h"

using namespace devstart;

namespace {

// Every file has the input's block as its version resource, of the size the
// input gives; the root block is found as the simulated PC finds it.
struct BlockVersions : sim::FakeVersionInfo {
  using FakeVersionInfo::FakeVersionInfo;
  std::string block;
  std::uint32_t claimed = 0;
  std::uint32_t GetFileVersionInfoSize(const std::wstring&, std::uint32_t* handle) override {
    if (handle) *handle = 0;
    return claimed;
  }
  bool GetFileVersionInfo(const std::wstring&, std::uint32_t, std::uint32_t size,
                          std::vector<std::uint8_t>* out) override {
    if (size < block.size()) return false;
    out->assign(size, 0);
    std::memcpy(out->data(), block.data(), block.size());
    return true;
  }
};

sim::SimPc g_pc;
BlockVersions g_versions{g_pc.files};
Machine g_machine{g_pc.system,   g_pc.files,    g_versions,    g_pc.registry, g_pc.kernel,
                  g_pc.processes, g_pc.windows, g_pc.services, g_pc.security, g_pc.phone,
                  g_pc.modules,  g_pc.internet, g_pc.cabinets, g_pc.com};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  std::size_t block_size = in.Byte();
  g_versions.claimed = in.Byte();
  g_versions.block = in.Bytes(block_size);
  std::wstring shown = GetModemDriverFileVersion(g_machine, L"C:\\windows\\system32\\drivers\\");
  fuzz::Require(shown.empty() || CompareVersionText(shown, shown) == 1);

  // The rest: two texts split at the first NUL character.
  std::wstring texts = fuzz::Utf16(in.Rest());
  std::size_t nul = texts.find(L'\0');
  std::wstring a = texts.substr(0, nul);
  std::wstring b = nul == std::wstring::npos ? L"" : texts.substr(nul + 1);
  int ab = CompareVersionText(a, b);
  int ba = CompareVersionText(b, a);
  fuzz::Require(ab == 0 || ab == 1);
  fuzz::Require(CompareVersionText(a, a) == 1);
  fuzz::Require(ab == 1 || ba == 1);  // never below each other
  if (!shown.empty()) (void)CompareVersionText(shown, a);
  return 0;
}
