// The program's start-up: UI language, the service check on older systems,
// the single-instance mutex, and the choice between the CD run and the local
// run. Everything here is portable; the Win32 entry point only wires ports.
#pragma once

#include <functional>
#include <string>

#include "core/option.h"
#include "platform/handles.h"
#include "platform/machine.h"
#include "ui/texts.h"
#include "workflow/auto_run_manager.h"

namespace devstart {

struct StartupEnv {
  Machine& machine;
  Texts& texts;
  COption& option;
  CAutoRunManager& manager;  // holds the run's mutexes and switches (run())
  // Opens the installer window and runs its message loop; the loop's exit
  // code. Empty where no window can be made (the trace then says so).
  std::function<int()> run_window;
};

// Runs the start-up for a command line and returns the process exit code.
int RunStartup(StartupEnv& env, const std::wstring& command_line);

// The drive letter of the local run: the character after "-drive:", or, when
// the switch is absent, the character at position 6 (0 for a shorter line).
char DriveLetterFromCommandLine(const std::wstring& command_line);

}  // namespace devstart
