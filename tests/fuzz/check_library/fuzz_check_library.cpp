// The check library fills ten 260-byte buffers of ours as it likes (no
// terminator, bytes after it, any code page) and reads two more: the update
// check must take any answer and free the library again.
#include "common/fuzz_world.h"
#include "update/live_update.h"

using namespace devstart;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static sim::SimPc pc;
  static Machine machine = pc.machine();
  static bool ready = false;
  if (!ready) {
    pc.files.Put(L"E:\\P4_UpdlinkChk.dll", sim::kCheckLibraryContent);
    ready = true;
  }
  fuzz::ForgetAfterInput forget{pc};
  fuzz::Input in(data, size);
  std::uint8_t shape = in.Byte();
  pc.modules.check.result = (shape & 1) ? 1 : 0;
  pc.modules.check.raises = (shape & 2) ? std::optional<std::uint32_t>(0xC0000005u) : std::nullopt;
  pc.system.double_byte_ansi = (shape & 4) != 0;
  COption option;
  option.pcsuite_test = (shape & 8) ? 1 : 0;
  option.pcsuite_test_version = fuzz::Utf16(in.Bytes(in.Byte()));
  std::wstring registry_version = fuzz::Utf16(in.Bytes(in.Byte() % 64));
  // Up to a few bytes more than a buffer holds: the library stops at 260.
  for (std::string& answer : pc.modules.check.answers) {
    std::size_t length = in.Byte();
    length += in.Byte() % 16;
    answer = in.Bytes(length);
  }

  CLiveUpdate update(machine, option,
                     {[&] { return registry_version; }, [](const std::wstring&, const std::wstring&) { return 1; }});
  int result = update.CheckUpdateDll();
  fuzz::Require(result == 0 || result == 2 || result == 4);
  fuzz::Require(pc.modules.loaded_libraries() == 0);
  // What went in: the switch and a test version that fits with its terminator.
  fuzz::Require(pc.modules.check.calls.size() == 1);
  fuzz::Require(pc.modules.check.calls[0].first == "TRUE" && pc.modules.check.calls[0].second.size() < kArgumentBytes);
  // What came out: never more than a buffer, never past a terminator.
  fuzz::Require(update.Version().size() <= kAnswerBytes && update.Version().find(L'\0') == std::wstring::npos);
  for (const std::wstring& url : update.LibraryUrls()) fuzz::Require(url.size() <= kAnswerBytes);
  for (const std::wstring& url : update.SetupUrls()) fuzz::Require(url.size() <= kAnswerBytes);
  fuzz::Require(update.SelectedLibraryUrl().empty() && update.SelectedSetupUrl().empty());  // nothing answers
  for (std::string& answer : pc.modules.check.answers) answer = std::string();
  return 0;
}
