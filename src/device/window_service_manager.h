// Control of the SCSI command service through the service control manager,
// and the client of its named pipe. A standard user on Windows 2000 or XP
// reaches the phone only through this service.
#pragma once

#include <cstdint>
#include <string>

#include "core/option.h"
#include "platform/machine.h"

namespace devstart {

class WindowServiceManager {
 public:
  static constexpr const wchar_t* kServiceName = L"TavoScsiCommandService";
  static constexpr const wchar_t* kDisplayName = L"Tavo SCSI command service";
  static constexpr const wchar_t* kDescription = L"Tavo SCSI Command service for AutoRun.";
  static constexpr const wchar_t* kPipeName = L"\\\\.\\pipe\\TavoScsiCommandService";
  static constexpr std::uint32_t kPipeWaitMs = 20000;
  // How long a reply may take: the same time a busy pipe is granted. The
  // service answers one SCSI command, well under a second; a service that
  // took the request and went quiet must not hold the installer for ever.
  static constexpr std::uint32_t kReplyWaitMs = 20000;
  static constexpr std::uint32_t kReplyPollMs = 50;
  // The binary path had to fit a MAX_PATH buffer with its terminator.
  static constexpr std::size_t kMaxBinaryPath = 259;

  // Computes the service's binary path once: the 32-bit system folder and
  // the option `service_run_file`.
  WindowServiceManager(Machine& machine, const COption& option);

  // 0 running, SERVICE_NOT_RUNNING stopped, FAIL_TO_OPEN_SERVICE missing,
  // unreachable or in any other state, FAIL_TO_OPEN_SCMANAGER.
  int QueryServiceState();
  // 0, SERVICE_ALREADY_EXISTS, FAIL_TO_CREATE_SERVICE, FAIL_TO_OPEN_SCMANAGER.
  int InstallScsiService();
  // 0 once the service could be opened (the start itself is not waited for),
  // FAIL_TO_OPEN_SERVICE, FAIL_TO_OPEN_SCMANAGER.
  int RunScsiService();

  // One exchange over the service's pipe: writes `request` as UTF-16LE with
  // its terminator, reads the reply into `reply` (`size` bytes), stores the
  // reply's length in *read. Returns 0, 100 to 104, or 201 to 203; no reply
  // within kReplyWaitMs is FAIL_TO_CONNECT_PIPE, as a failed wait for the
  // pipe is.
  int PipeSend(const std::wstring& request, std::uint8_t* reply, std::uint32_t size, std::uint32_t* read);

  // The reply's meaning by its length; the autorun code of a failure reply.
  static int DecodeFailureByte(std::uint8_t first);

  // Empty when the system folder is unknown or the path would not fit.
  const std::wstring& binary_path() const { return binary_path_; }

 private:
  // True once the pipe has bytes to read or the service has let go (the
  // read then says which); false when kReplyWaitMs passed in silence.
  bool AwaitReply(Handle pipe);

  Machine& machine_;
  std::wstring binary_path_;
};

}  // namespace devstart
