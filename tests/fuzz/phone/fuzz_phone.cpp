// The phone answers the setting read with a 3-byte block, and the SCSI
// command library reports any result it likes: the setting read and the mode
// change must turn both into an option change or a known failure code.
#include <cstring>

#include "common/fuzz_world.h"
#include "core/result_codes.h"
#include "workflow/auto_run_manager.h"

using namespace devstart;

namespace {

// A library that answers each call with the input's next result and bytes.
struct ScriptedScsi : IScsiLibrary {
  fuzz::Input* in = nullptr;
  int SendScsiCmd(int, int, int, std::uint8_t* data, int length) override {
    auto result = static_cast<std::int32_t>(in->Word());
    std::string bytes = in->Bytes(static_cast<std::size_t>(length > 0 ? length : 0));
    std::memcpy(data, bytes.data(), bytes.size());
    return result;
  }
};

sim::SimPc g_pc;
ScriptedScsi g_scsi;
Machine g_machine{g_pc.system,   g_pc.files,    g_pc.versions, g_pc.registry, g_pc.kernel,
                  g_pc.processes, g_pc.windows, g_pc.services, g_pc.security, g_scsi,
                  g_pc.modules,  g_pc.internet, g_pc.cabinets, g_pc.com};

bool KnownFailure(int code) {
  return code == FAIL_SCSI_UNKNOWN || code == FAIL_TO_OPEN_DRIVE || code == FAIL_TO_SEND_SCSI_CMD ||
         code == FAIL_TO_OPEN_DRIVE_ACCESS_DENIED || code == FAIL_TO_FIND_DRIVE;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::ForgetAfterInput forget{g_pc};
  fuzz::Input in(data, size);
  g_scsi.in = &in;
  g_pc.security.admin = true;  // the direct road through the library
  COption option;
  option.sciscmd_wait = 1234;
  CAutoRunManager manager(g_machine, option);
  manager.set_drive(static_cast<char>(in.Byte()));
  CAutoRunManager::SettingRead read = manager.GetSetting();
  fuzz::Require(read.result == 0 ? read.settings.has_value() : (KnownFailure(read.result) && !read.settings));
  if (read.settings) {
    manager.ApplyPhoneSettings(*read.settings);
    fuzz::Require(option.sciscmd_wait >= 0 && option.sciscmd_wait <= 255 * 100 + 255);
    fuzz::Require(option.settings_valid == 0 || option.settings_valid == 1);
    for (int flag : {option.iso_type0, option.iso_type1, option.usb_vendor0, option.usb_vendor1}) {
      fuzz::Require(flag == 0 || flag == 1);
    }
  } else {
    fuzz::Require(option.sciscmd_wait == 1234);  // a failed read changes nothing
  }
  int mode = manager.ModeChange();
  fuzz::Require(mode == 0 || KnownFailure(mode));
  return 0;
}
