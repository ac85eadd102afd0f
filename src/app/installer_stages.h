// The installer window's stage machine. One timer tick starts the chain; each
// stage is a private message whose handler runs one install step and sends
// the next stage's message, so the whole chain runs nested inside the tick.
// What a stage does to the window goes through IStageWindow, which the Win32
// window carries out and tests record.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/window_messages.h"
#include "core/option.h"
#include "platform/ports.h"
#include "ui/texts.h"
#include "workflow/auto_run_manager.h"

namespace devstart {

// The one timer: set on creation, killed on its first tick.
constexpr std::uintptr_t kStartTimer = 1;
constexpr std::uint32_t kStartTimerMs = 1;

class IStageWindow {
 public:
  virtual ~IStageWindow() = default;
  virtual WindowHandle handle() const = 0;
  // The guide dialog; 0 when it could not be made.
  virtual WindowHandle guide_dialog() const = 0;
  // False once the main window has been destroyed (closed during a wait).
  virtual bool alive() const = 0;
  // SendMessageW to the main window.
  virtual void Send(std::uint32_t msg, std::uintptr_t wparam) = 0;
  // The status line's text; its rectangle is repainted, erased or not.
  virtual void SetStatus(const std::wstring& text, bool erase) = 0;
  virtual void EnableCancel(bool enabled) = 0;
  virtual void Hide() = 0;
  virtual void ShowGuideDialog() = 0;
  virtual void KillTimer(std::uintptr_t id) = 0;
  // Ends the process; a recording window returns, the real one does not.
  virtual void EndProcess(int exit_code) = 0;
};

// A press of one of the guide dialog's buttons (its control id): Download
// first opens the PC suite setup's address (StepPCSuite, with `owner` as the
// shell's owner window); then every button hands the run back to the window
// with the run stage, which is returned. 0 for any other control.
std::uint32_t OnGuideButton(CAutoRunManager& manager, int control, WindowHandle owner);

class InstallerStages {
 public:
  InstallerStages(CAutoRunManager& manager, const COption& option, const Texts& texts, IWindows& windows,
                  IStageWindow& window)
      : manager_(manager), option_(option), texts_(texts), windows_(windows), window_(window) {}

  // Handles a stage or wrong-mode message (1124 to 1131); false for others.
  bool OnMessage(std::uint32_t msg, std::uintptr_t wparam);
  void OnTimer(std::uintptr_t id);
  // The Cancel button's click.
  void OnCancel();

  // The stage that follows the start stage in the options' mode. A mode with
  // none fails with 105: a window with Cancel disabled and Alt+F4 swallowed
  // could not be left otherwise.
  static std::uint32_t NextAfterStart(const COption& option);

 private:
  void Start();
  void PcSuite();
  void Itk();
  void SwUpdate();
  void Run();
  void Fail(int code);
  void WrongMode(WindowHandle owner);
  // Sends the next stage, but only to a window that still exists: a window
  // closed during a setup's wait ends the chain there.
  void Next(std::uint32_t msg, std::uintptr_t wparam = 0);
  // The result box's owner: the window while it exists.
  WindowHandle Owner() const { return window_.alive() ? window_.handle() : 0; }
  void Raise(WindowHandle w);

  CAutoRunManager& manager_;
  const COption& option_;
  const Texts& texts_;
  IWindows& windows_;
  IStageWindow& window_;
};

}  // namespace devstart
