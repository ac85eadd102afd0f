#include "app/installer_stages.h"

#include "core/result_codes.h"
#include "ui/presentation.h"
#include "ui/skin.h"

namespace devstart {

namespace {

constexpr std::uint32_t kKeepPlace = win::kSwpNoMove | win::kSwpNoSize;

}  // namespace

std::uint32_t OnGuideButton(CAutoRunManager& manager, int control, WindowHandle owner) {
  switch (control) {
    case kIdGuideOk:
    case kIdGuideClose:
      return kUmRunStage;
    case kIdGuideDownload:
      manager.StepPCSuite(owner);
      return kUmRunStage;
    default:
      return 0;
  }
}

std::uint32_t InstallerStages::NextAfterStart(const COption& option) {
  if (option.IsPCSuiteMode()) return kUmPcSuiteStage;
  if (option.IsITKMode()) return kUmItkStage;
  if (option.user_mode == 1) return kUmRunStage;
  if (option.user_mode == 4) return kUmSwUpdateStage;
  return kUmFailStage;
}

bool InstallerStages::OnMessage(std::uint32_t msg, std::uintptr_t wparam) {
  switch (msg) {
    case kUmStartStage: Start(); return true;
    case kUmPcSuiteStage: PcSuite(); return true;
    case kUmItkStage: Itk(); return true;
    case kUmSwUpdateStage: SwUpdate(); return true;
    case kUmRunStage: Run(); return true;
    case kUmFailStage: Fail(static_cast<int>(wparam)); return true;
    case kUmWrongMode: WrongMode(window_.handle()); return true;
    case kUmWrongModeDialog: WrongMode(window_.guide_dialog()); return true;
    default: return false;
  }
}

void InstallerStages::OnTimer(std::uintptr_t id) {
  if (id != kStartTimer) return;
  window_.KillTimer(kStartTimer);
  Next(kUmStartStage);
}

void InstallerStages::OnCancel() {
  manager_.run().cancel_flag = 1;
  window_.EnableCancel(false);
  // During a setup's wait the stages look at the flag once the setup ends.
  if (manager_.waited_process_id() != -1) return;
  Next(win::kWmClose);
  window_.EndProcess(0);
}

void InstallerStages::Next(std::uint32_t msg, std::uintptr_t wparam) {
  if (window_.alive()) window_.Send(msg, wparam);
}

void InstallerStages::Raise(WindowHandle w) {
  windows_.SetWindowPos(w, win::kHwndTopmost, 0, 0, 0, 0, kKeepPlace);
  windows_.SetWindowPos(w, win::kHwndNoTopmost, 0, 0, 0, 0, kKeepPlace);
}

void InstallerStages::Start() {
  window_.EnableCancel(false);
  windows_.SetWindowPos(window_.handle(), win::kHwndNoTopmost, 0, 0, 0, 0, kKeepPlace);
  window_.SetStatus(texts_.Load(kTextInstallingDriver), false);
  int r = manager_.StepDriver();
  if (!window_.alive()) return;
  if (r != 0) return Next(kUmFailStage, static_cast<std::uintptr_t>(r));
  if (option_.IsITKMode()) manager_.NotifyPCSuite();
  if (manager_.ModeChange() != 0) return Next(kUmFailStage, 0);
  std::uint32_t next = NextAfterStart(option_);
  Next(next, next == kUmFailStage ? static_cast<std::uintptr_t>(FAIL_ISO_VALUE_UNKNOWN) : 0);
}

void InstallerStages::PcSuite() {
  // Hiding the only window with no dialog to take over would leave nothing
  // to finish the run with.
  if (window_.guide_dialog() == 0) return Next(kUmFailStage, static_cast<std::uintptr_t>(FAIL_UNKNOWN));
  window_.Hide();
  if (manager_.CheckPCSuiteInstall() == 1 && option_.pcsuite_test == 0) return Next(kUmRunStage);
  if (manager_.run().cancel_flag != 0) return Next(win::kWmClose);
  window_.ShowGuideDialog();
  Raise(window_.guide_dialog());
}

void InstallerStages::Itk() {
  window_.SetStatus(texts_.Load(kTextInstallingItk), true);
  if (manager_.run().cancel_flag != 0) return Next(win::kWmClose);
  int r = manager_.StepITK();
  if (!window_.alive()) return;
  Next(r != 0 ? kUmFailStage : kUmRunStage, static_cast<std::uintptr_t>(r));
}

void InstallerStages::SwUpdate() {
  window_.SetStatus(L"", true);
  int r = manager_.StepSWUpate();
  if (!window_.alive()) return;
  Next(r != 0 ? kUmFailStage : kUmRunStage, static_cast<std::uintptr_t>(r));
}

void InstallerStages::Run() {
  window_.SetStatus(texts_.Load(kTextRunning), false);
  int r = manager_.StepRun();
  ShowResult(r, texts_, windows_, Owner());
  manager_.CleanupStaging();
  window_.EndProcess(0);
}

void InstallerStages::Fail(int code) {
  ShowResult(code, texts_, windows_, Owner());
  manager_.CleanupStaging();
  Next(win::kWmClose);
}

void InstallerStages::WrongMode(WindowHandle owner) {
  windows_.MessageBox(owner != 0 ? owner : window_.handle(), texts_.Load(kTextWrongMode), kSystemCaption, win::kMbOk);
}

}  // namespace devstart
