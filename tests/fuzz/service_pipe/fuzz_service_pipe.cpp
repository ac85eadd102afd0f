// The SCSI command service answers over its pipe with any number of bytes,
// in any number of reads (ERROR_MORE_DATA rounds among them): the setting
// read and the mode change of a standard user must end with a known code,
// never read past the reply buffer, and leave no connection open.
#include "common/fuzz_world.h"
#include "core/result_codes.h"
#include "workflow/auto_run_manager.h"

using namespace devstart;

namespace {

bool KnownCode(int code) {
  return code == 0 || (code >= FAIL_SCSI_UNKNOWN && code <= FAIL_TO_FIND_DRIVE) ||
         (code >= FAIL_TO_CONNECT_PIPE && code <= FAIL_TO_WRITE_PIPE);
}

// The reads of one exchange: each chunk is a length, an outcome and the
// bytes; what is left after the chunks is the service's own reply.
void Script(sim::SimPc& pc, fuzz::Input& in) {
  int chunks = in.Byte() % 8;
  for (int i = 0; i < chunks; ++i) {
    std::size_t length = in.Byte();
    std::uint8_t outcome = in.Byte();
    constexpr std::uint32_t kBrokenPipe = 109;
    std::uint32_t error = outcome % 4 == 0   ? 0
                          : outcome % 4 == 1 ? win::kErrorMoreData
                          : outcome % 4 == 2 ? kBrokenPipe
                                             : outcome;
    pc.pipes.scripted_reads.emplace_back(in.Bytes(length), error);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static sim::SimPc pc;
  static Machine machine = pc.machine();
  static bool ready = false;
  if (!ready) {
    pc.system.version = OsVersion{5, 1, 2600, 2, 3, 1};  // a standard user of XP goes through the service
    pc.security.admin = false;
    pc.InstallService(win::kServiceRunning);
    ready = true;
  }
  fuzz::ForgetAfterInput forget{pc};
  fuzz::Input in(data, size);
  std::uint8_t shape = in.Byte();
  pc.pipes.busy_opens = shape & 1;
  pc.pipes.wait_fails = (shape & 2) != 0;
  pc.pipes.set_state_fails = (shape & 4) != 0;
  pc.pipes.write_fails = (shape & 8) != 0;
  Script(pc, in);
  std::string reply = in.Bytes(in.Byte());
  std::string second = in.Rest();
  int exchange = 0;
  pc.pipes.server = [&](const std::wstring&, const std::string&) -> std::optional<std::string> {
    return exchange++ == 0 ? reply : second;
  };
  std::size_t open_before = pc.pipes.open_handles.size();

  COption option;
  option.sciscmd_wait = 1234;
  CAutoRunManager manager(machine, option);
  manager.set_drive('E');
  CAutoRunManager::SettingRead read = manager.GetSetting();
  fuzz::Require(KnownCode(read.result));
  fuzz::Require(read.result == 0 ? read.settings.has_value() : !read.settings);
  if (read.settings) {
    manager.ApplyPhoneSettings(*read.settings);
    fuzz::Require(option.sciscmd_wait >= 0 && option.sciscmd_wait <= 255 * 100 + 255);
  }
  // Reads the setting read left over serve the mode change.
  fuzz::Require(KnownCode(manager.ModeChange()));
  fuzz::Require(pc.pipes.open_handles.size() == open_before);
  return 0;
}
