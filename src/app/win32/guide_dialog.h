// The guide dialog: how to get the PC suite (from the CD, or by download),
// with Download, OK and a close button. Created hidden with the installer
// window; the PC-suite stage shows it. Every button hands the run back to the
// window's stage machine with the run stage.
#pragma once

#include "platform/win32/win_api.h"

#include <vector>

#include "ui/texts.h"
#include "ui/win32/skin_gdi.h"
#include "workflow/auto_run_manager.h"

namespace devstart {

class GuideDialog {
 public:
  GuideDialog(HINSTANCE instance, CAutoRunManager& manager, const Texts& texts)
      : instance_(instance), manager_(manager), texts_(texts) {}
  GuideDialog(const GuideDialog&) = delete;
  GuideDialog& operator=(const GuideDialog&) = delete;

  // The modeless dialog from template 134, owned by `owner`; nullptr when it
  // cannot be made.
  HWND Create(HWND owner);
  HWND handle() const { return dialog_; }
  // Repaints the whole client area into `dc`.
  void Paint(HDC dc);

 private:
  static INT_PTR CALLBACK Proc(HWND dialog, UINT msg, WPARAM wparam, LPARAM lparam);
  INT_PTR Handle(UINT msg, WPARAM wparam, LPARAM lparam);
  void Init();
  void ToWindow(UINT stage);

  HINSTANCE instance_;
  CAutoRunManager& manager_;
  const Texts& texts_;
  HWND dialog_ = nullptr;
  HWND owner_ = nullptr;
  SkinBitmap background_;
  SkinBitmap picture_;
  SkinButton close_, download_, ok_;
  gdi::Font download_font_, ok_font_;
  std::vector<SkinText> blocks_;
};

}  // namespace devstart
