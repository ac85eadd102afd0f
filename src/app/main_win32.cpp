// Windows entry point: the real machine under the portable start-up.
#include "platform/win32/win_api.h"

#include "app/startup.h"
#include "app/win32/installer_window.h"
#include "core/option.h"
#include "core/trace_log.h"
#include "platform/win32/machine.h"
#include "ui/texts.h"
#include "workflow/auto_run_manager.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR command_line, int show) {
  // The program is the one executable that carries SendScsiCmd.dll.
  static devstart::Win32ScsiLibrary scsi;
  static devstart::Win32Machine win32(scsi);
  devstart::Machine& machine = win32.machine();

  static devstart::TraceLog log(machine);
  devstart::SetTraceLog(&log);

  // config.ini is read once, relative to the directory the process was
  // started in, and the manager is built on what it says.
  devstart::COption option;
  option.Load(devstart::CIni(machine.files, L".\\config.ini"));
  devstart::CAutoRunManager manager(machine, option);

  devstart::Texts texts(machine.modules, devstart::kLangEnglishUK);
  devstart::StartupEnv env{machine, texts, option, manager, [&] {
                             devstart::InstallerWindow window(instance, machine, manager, option, texts);
                             return window.Run(show);
                           }};
  return devstart::RunStartup(env, command_line ? command_line : L"");
}
