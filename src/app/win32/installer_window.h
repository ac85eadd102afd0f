// The installer window: a borderless, skinned 430 x 270 popup whose window
// procedure carries the stage machine. Run() prepares the skin, registers
// the class, creates and shows the window and runs the message loop.
#pragma once

#include "platform/win32/win_api.h"

#include <vector>

#include "app/installer_stages.h"
#include "app/win32/guide_dialog.h"
#include "ui/win32/skin_gdi.h"

namespace devstart {

class InstallerWindow : public IStageWindow {
 public:
  InstallerWindow(HINSTANCE instance, Machine& machine, CAutoRunManager& manager, const COption& option,
                  const Texts& texts);
  InstallerWindow(const InstallerWindow&) = delete;
  InstallerWindow& operator=(const InstallerWindow&) = delete;

  // The message loop's exit code; 0 when the window cannot be made.
  int Run(int show);

  // Repaints the whole client area into `dc`.
  void Paint(HDC dc);

  WindowHandle handle() const override { return reinterpret_cast<WindowHandle>(window_); }
  WindowHandle guide_dialog() const override { return reinterpret_cast<WindowHandle>(guide_.handle()); }
  bool alive() const override { return window_ != nullptr && !destroyed_; }
  void Send(std::uint32_t msg, std::uintptr_t wparam) override;
  void SetStatus(const std::wstring& text, bool erase) override;
  void EnableCancel(bool enabled) override;
  void Hide() override;
  void ShowGuideDialog() override;
  void KillTimer(std::uintptr_t id) override;
  void EndProcess(int exit_code) override;

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT msg, WPARAM wparam, LPARAM lparam);
  void OnCreate();

  HINSTANCE instance_;
  const Texts& texts_;
  InstallerStages stages_;
  GuideDialog guide_;
  HWND window_ = nullptr;
  bool destroyed_ = false;
  HWND animation_ = nullptr;
  SkinBitmap background_;
  std::vector<std::pair<SkinBitmap, PicturePlace>> pictures_;
  SkinButton cancel_;
  gdi::Font cancel_font_;
  SkinText status_, notice_;
};

}  // namespace devstart
