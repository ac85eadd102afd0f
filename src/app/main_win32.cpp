// Windows entry point: wires the Win32 adapters to the portable start-up.
#include "platform/win32/win_api.h"
#include "platform/win32/device_api.h"

#include "core/option.h"
#include "app/startup.h"
#include "core/trace_log.h"
#include "platform/win32/adapters.h"
#include "platform/win32/inspect_adapters.h"
#include "platform/win32/device_adapters.h"
#include "ui/texts.h"
#include "workflow/auto_run_manager.h"

namespace {

devstart::Win32System g_system;
devstart::Win32Files g_files;
devstart::Win32Profile g_profile;
devstart::Win32Sync g_sync;
devstart::Win32Windows g_windows;
devstart::Win32StringResources g_strings;
devstart::Win32Registry g_registry;
devstart::Win32VersionInfo g_version_info;
devstart::Win32Processes g_processes;
devstart::Win32WindowSearch g_window_search;
devstart::Win32NativeSystem g_native_system;
devstart::Win32ScsiLibrary g_scsi;
devstart::Win32ServiceControl g_services;
devstart::Win32NamedPipes g_pipes;
devstart::Win32Security g_security;
devstart::Win32FileSystem g_file_system;
devstart::Win32Clock g_clock;

devstart::Machine MakeMachine() {
  devstart::Machine m;
  m.system = &g_system;
  m.files = &g_files;
  m.profile = &g_profile;
  m.sync = &g_sync;
  m.windows = &g_windows;
  m.strings = &g_strings;
  m.registry = &g_registry;
  m.version_info = &g_version_info;
  m.processes = &g_processes;
  m.window_search = &g_window_search;
  m.native_system = &g_native_system;
  m.scsi = &g_scsi;
  m.services = &g_services;
  m.pipes = &g_pipes;
  m.security = &g_security;
  m.file_system = &g_file_system;
  m.clock = &g_clock;
  return m;
}

devstart::Machine g_machine = MakeMachine();

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR command_line, int) {
  static devstart::TraceLog log(g_system, g_files);
  devstart::SetTraceLog(&log);

  // config.ini is read once, relative to the directory the process was
  // started in, and the manager is built on what it says.
  devstart::COption option;
  option.Load(devstart::CIni(g_profile, L".\\config.ini"));
  devstart::CAutoRunManager manager(g_machine, option);

  devstart::Texts texts(g_strings, devstart::kLangEnglishUK);
  devstart::StartupState state;
  devstart::StartupEnv env{g_system, g_sync, g_windows, texts, option, manager, state};
  return devstart::RunStartup(env, command_line ? command_line : L"");
}
