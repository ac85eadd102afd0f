// The one workflow object. An operation that this build does not carry yet
// answers nullopt, and the caller says so in the trace instead of pretending
// it succeeded.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/option.h"
#include "device/phone_commands.h"
#include "platform/machine.h"
#include "inspect/autorun_check.h"
#include "inspect/registry_query.h"
#include "workflow/run_state.h"

namespace devstart {

class WindowServiceManager;
class CLiveUpdate;

class CAutoRunManager {
 public:
  CAutoRunManager(Machine& machine, COption& option)
      : machine_(machine), option_(option), m_samDesired(ManagerRegistryMask(machine, option.DEBUG_OPTION)) {}
  virtual ~CAutoRunManager() = default;

  // Operations of the start-up road.
  virtual bool IsUserInAdministrators();
  virtual int CheckService();
  // Reads the phone's setting block: the result code and, when a block was
  // read, what it says. Nothing is applied: see ApplyPhoneSettings.
  struct SettingRead {
    int result = 0;
    std::optional<PhoneSettings> settings;
  };
  virtual SettingRead GetSetting();
  // The one place where the phone's answer overrides the options: the mode
  // bits when the block says they are valid, and the wait after a switch.
  void ApplyPhoneSettings(const PhoneSettings& settings);
  virtual int ModeChange();
  virtual int CheckAndRepairWindowAutoRun();
  virtual bool NotifyPCSuite();

  // The CD run (staging.cpp): read the phone, refuse beside a conflicting
  // application, stage into the temporary folder and relaunch from there.
  virtual int RunFromCD();
  // Each copies from `source` to `destination` (both ending in a backslash)
  // and returns 1, or 0 once a copy failed that leaves nothing to start (it
  // is traced with its error; a file the CD does not carry is only traced).
  int CopyAutoRun(const std::wstring& source, const std::wstring& destination);
  int CopyDriverSetup(const std::wstring& source, const std::wstring& destination);
  int CopyITKSetup(const std::wstring& source, const std::wstring& destination);

  // The local run's first decision (local_run.cpp): 0 = the window has work,
  // NORMAL_EXIT = done, else a failure code.
  virtual int FirstTimeLocal();
  int RunPCSuiteIfReady();
  int RunITKIfReady();
  int ModeChangeIfDriverReady();

  // The window's install steps (install_steps.cpp).
  virtual int StepDriver();
  virtual int StepITK();
  virtual int StepRun();
  // Empties and removes the folder the CD run staged this copy into (named
  // after the "-drive:" letter); 0 when there is none to delete.
  virtual int CleanupStaging();

  // The update steps (update_steps.cpp); both always 0. The software-update
  // stage's step, and the guide dialog's Download choice, which opens the
  // setup's address with `owner` as the shell's owner window.
  virtual int StepSWUpate();
  int StepPCSuite(WindowHandle owner = 0);
  // Whether the guide dialog may offer the PC suite's setup for download:
  // runs the update check and answers whether it found a setup address.
  bool MayOfferPCSuiteDownload();
  // The update client, created on first use and kept for the run.
  CLiveUpdate& GetLiveUpdate();

  // What is installed and how current it is (product_checks.cpp). The
  // PC suite counts as not installed under the "-no_install" switch.
  std::wstring GetPCSuiteInstallPath();
  virtual int CheckPCSuiteInstall();
  std::wstring GetITKInstallPath_TPS();
  std::wstring GetITKVersion_TPS();
  int CheckITKInstall_TPS();
  std::wstring GetInstallPath();
  std::wstring GetITKVersion_VTP();
  int CheckITKInstall_VTP();
  int CheckITKInstall();
  std::wstring GetITKInstallPath();
  std::wstring GetITKVersion();
  static int CompareVersion(const std::wstring& found, const std::wstring& required);
  int IsITKVersionCurrent();
  int CheckDriverInstall();
  std::wstring GetInstalledDriverVersion();
  int IsDriverVersionCurrent();
  RegManager& GetRegManager();
  RegistryAccessPair& GetRegistryAccessPair();

  // Device channel (device_calls.cpp, startup_steps.cpp).
  // Copies the service program and the SCSI command library from the
  // current directory into `destination` (ending in a backslash).
  int CopyService(const std::wstring& destination);
  static int ScsiError2AutoRunError(int result);
  // The service-control object, created on first use and kept.
  WindowServiceManager& GetServiceManager();

  // The run's mutexes and command-line switches; start-up fills them.
  RunState& run() { return m_run; }
  const RunState& run() const { return m_run; }
  // The phone's drive letter, which its commands and the staging folder name.
  char drive() const { return m_cDrive; }
  void set_drive(char letter) { m_cDrive = letter; }
  // Identifier of the setup process being waited for; -1 = none.
  std::int32_t waited_process_id() const { return m_dwProcessId; }
  void set_waited_process_id(std::int32_t pid) { m_dwProcessId = pid; }
  // Registry access mask of the manager's own product queries.
  std::uint32_t registry_mask() const { return m_samDesired; }

 private:
  Machine& machine_;
  COption& option_;
  RunState m_run;
  char m_cDrive = 0;
  std::int32_t m_dwProcessId = -1;
  std::uint32_t m_samDesired = 0;
  std::shared_ptr<WindowServiceManager> service_manager_;
  std::shared_ptr<CLiveUpdate> live_update_;
  std::shared_ptr<RegManager> reg_manager_;
  std::shared_ptr<RegistryAccessPair> access_pair_;
};

}  // namespace devstart
