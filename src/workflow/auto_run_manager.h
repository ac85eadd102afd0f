// The one workflow object. Its operations are added as the program grows; an
// operation that this build does not carry answers nullopt, and the caller
// says so in the trace instead of pretending it succeeded.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/option.h"
#include "platform/machine.h"

namespace devstart {

class CAutoRunManager {
 public:
  CAutoRunManager(Machine& machine, COption& option) : machine_(machine), option_(option) {}
  virtual ~CAutoRunManager() = default;

  // Operations of the start-up road. nullopt = not available in this build.
  virtual std::optional<bool> IsUserInAdministrators() { return std::nullopt; }
  virtual std::optional<int> CheckService() { return std::nullopt; }
  virtual std::optional<int> GetSetting() { return std::nullopt; }
  virtual std::optional<int> ModeChange() { return std::nullopt; }
  virtual std::optional<int> RunFromCD() { return std::nullopt; }
  virtual std::optional<int> CheckAndRepairWindowAutoRun() { return std::nullopt; }
  virtual std::optional<int> FirstTimeLocal() { return std::nullopt; }
  virtual std::optional<bool> NotifyPCSuite() { return std::nullopt; }
  // Opens the installer window and runs its message loop; the loop's exit code.
  virtual std::optional<int> RunInstallerWindow() { return std::nullopt; }

  char m_cDrive = 0;
  // Identifier of the setup process being waited for; -1 = none.
  std::int32_t m_dwProcessId = -1;
  // Registry access mask of the manager's own product queries.
  std::uint32_t m_samDesired = 0;

 protected:
  Machine& machine_;
  COption& option_;
};

}  // namespace devstart
