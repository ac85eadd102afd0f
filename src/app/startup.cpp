#include "app/startup.h"

#include "app/window_messages.h"
#include "core/trace_log.h"
#include "inspect/os_family.h"
#include "inspect/staging_folder.h"
#include "ui/presentation.h"
#include "core/result_codes.h"

namespace devstart {

namespace {

bool Has(const std::wstring& command_line, const wchar_t* sw) {
  return command_line.find(sw) != std::wstring::npos;
}

int SecondInstance(StartupEnv& env) {
  auto& m = env.manager;
  Machine& pc = env.machine;
  m.set_drive(DriveOfCurrentDirectory(pc.files));
  CAutoRunManager::SettingRead setting = m.GetSetting();
  if (setting.result != 0) {
    ShowResult(setting.result, env.texts, pc.windows, 0);
    return 0;
  }
  if (setting.settings) m.ApplyPhoneSettings(*setting.settings);
  m.run().pc_mode_mutex.reset(pc.kernel, pc.kernel.CreateMutex(true, L"DevstartMutexPCMode").handle);
  MutexResult itk = pc.kernel.CreateMutex(true, L"DevstartMutexITKMode");
  m.run().mode_mutex.reset(pc.kernel, itk.handle);
  bool itk_existed = itk.error == win::kErrorAlreadyExists;

  std::uint32_t warning = 0;
  if (env.option.IsPCSuiteMode()) {
    if (itk_existed) warning = kUmWrongMode;
  } else if (env.option.IsITKMode() || env.option.user_mode == 4) {
    m.NotifyPCSuite();
    if (!itk_existed) warning = kUmWrongModeDialog;
  }

  m.set_drive(DriveOfCurrentDirectory(pc.files));
  m.ModeChange();

  WindowHandle first = pc.windows.FindWindow(L"", L"Devstart");
  constexpr std::uint32_t kKeepPlace = win::kSwpNoMove | win::kSwpNoSize;
  pc.windows.SetWindowPos(first, win::kHwndTopmost, 0, 0, 0, 0, kKeepPlace);
  pc.windows.SetWindowPos(first, win::kHwndNoTopmost, 0, 0, 0, 0, kKeepPlace);
  if (warning != 0) pc.windows.SendMessage(first, warning, 0, 0);

  Trace(L"Devstart::CreateMutex ERROR_ALREADY_EXISTS");
  return 0;
}

}  // namespace

char DriveLetterFromCommandLine(const std::wstring& command_line) {
  static const std::wstring kDrive = L"-drive:";
  std::size_t at = command_line.find(kDrive);
  std::size_t pos = at == std::wstring::npos ? 6 : at + kDrive.size();
  return pos < command_line.size() ? static_cast<char>(command_line[pos] & 0xFF) : 0;
}

int RunStartup(StartupEnv& env, const std::wstring& command_line) {
  auto& m = env.manager;
  Machine& pc = env.machine;
  Trace(L"Start Autorun version 1, 0, 0, 14");
  // Every library the program loads itself is named by its full path; this
  // keeps the current directory (the CD's root, or wherever a shortcut
  // starts us) out of what the system loads on our behalf by plain name.
  // Windows XP before SP1 and Windows 2000 lack the call and keep it, after
  // the system folders when their safe search order is on.
  if (!pc.modules.DropCurrentDirectoryFromSearch()) {
    Trace(L"Devstart: the current directory stays in the library search");
  }
  env.texts.set_language(SelectUiLanguage(pc.system));

  bool admin = m.IsUserInAdministrators();

  // Before version 6 a standard user reaches the phone only through the
  // service, so it has to be running already.
  if (!IsMajorVersion6(pc.system)) {
    int r = m.CheckService();
    if (r != 0 && !admin) {
      ShowResult(r, env.texts, pc.windows, 0);
      return 0;
    }
  }

  Trace(L"Devstart::CreateMutex");
  MutexResult one = pc.kernel.CreateMutex(true, L"DevstartOneInstanceMutex");
  m.run().one_instance_mutex.reset(pc.kernel, one.handle);
  if (one.error == win::kErrorAlreadyExists) return SecondInstance(env);

  m.run().debug_switch = Has(command_line, L"-debug") ? 1 : 0;
  m.run().no_send_switch = Has(command_line, L"-no_send") ? 1 : 0;
  m.run().run_itk_switch = Has(command_line, L"-run_itk") ? 1 : 0;
  m.run().no_install_switch = Has(command_line, L"-no_install") ? 1 : 0;
  env.option.ApplySwitches(m.run().no_send_switch != 0, m.run().run_itk_switch != 0);

  if (command_line.empty() || Has(command_line, L"-run_cd")) {
    ShowResult(m.RunFromCD(), env.texts, pc.windows, 0);
    return 0;
  }

  m.CheckAndRepairWindowAutoRun();
  m.set_drive(DriveLetterFromCommandLine(command_line));

  int local = m.FirstTimeLocal();
  if (local == NORMAL_EXIT) {
    Trace(L"Devstart::FirstTimeLocal returns NORMAL_EXIT");
    return 0;
  }
  if (local != 0) {
    ShowResult(local, env.texts, pc.windows, 0);
    return 0;
  }

  m.run().cancel_flag = 0;
  if (!env.run_window) {
    Trace(L"Devstart: installer window is not available in this build");
    return 0;
  }
  return env.run_window();
}

}  // namespace devstart
