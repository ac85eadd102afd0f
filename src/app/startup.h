// The program's start-up: UI language, the service check on older systems,
// the single-instance mutex, and the choice between the CD run and the local
// run. Everything here is portable; the Win32 entry point only wires ports.
#pragma once

#include <string>

#include "core/option.h"
#include "platform/handles.h"
#include "platform/machine.h"
#include "ui/texts.h"
#include "workflow/auto_run_manager.h"

namespace devstart {

// Process-wide state of a run, read later by the staging and local-run steps.
// The mutexes are held for the whole run: others only test whether they exist.
struct StartupState {
  UniqueHandle one_instance_mutex;
  UniqueHandle mode_mutex;      // the second start's "DevstartMutexITKMode"
  UniqueHandle pc_mode_mutex;   // and its "DevstartMutexPCMode"
  int debug_switch = 0;
  int no_send_switch = 0;
  int run_itk_switch = 0;
  int no_install_switch = 0;
  int cancel_flag = 0;
};

struct StartupEnv {
  Machine& machine;
  Texts& texts;
  COption& option;
  CAutoRunManager& manager;
  StartupState& state;
};

// Messages the second instance sends the running window when the modes differ.
constexpr std::uint32_t kMsgWrongModePC = 1129;
constexpr std::uint32_t kMsgWrongModeITK = 1130;

// Runs the start-up for a command line and returns the process exit code.
int RunStartup(StartupEnv& env, const std::wstring& command_line);

// The drive letter of the local run: the character after "-drive:", or, when
// the switch is absent, the character at position 6 (0 for a shorter line).
char DriveLetterFromCommandLine(const std::wstring& command_line);

}  // namespace devstart
