#include "app/win32/guide_dialog.h"

#include "app/installer_stages.h"

namespace devstart {

namespace {

constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | BS_OWNERDRAW;

}  // namespace

HWND GuideDialog::Create(HWND owner) {
  owner_ = owner;
  dialog_ = ::CreateDialogParamW(instance_, MAKEINTRESOURCEW(kDialogGuide), owner, Proc,
                                 reinterpret_cast<LPARAM>(this));
  return dialog_;
}

INT_PTR CALLBACK GuideDialog::Proc(HWND dialog, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_INITDIALOG) {
    ::SetWindowLongPtrW(dialog, DWLP_USER, lparam);
    reinterpret_cast<GuideDialog*>(lparam)->dialog_ = dialog;
  }
  auto* self = reinterpret_cast<GuideDialog*>(::GetWindowLongPtrW(dialog, DWLP_USER));
  return self ? self->Handle(msg, wparam, lparam) : FALSE;
}

void GuideDialog::Init() {
  ::SetWindowPos(dialog_, nullptr, kWindowX, kWindowY, kGuideWidth, kGuideHeight, SWP_NOZORDER);
  ::SetWindowTextW(dialog_, texts_.Load(kTextGuideTitle).c_str());
  background_ = LoadSkinBitmap(instance_, kBmpGuideBackground);
  picture_ = LoadSkinBitmap(instance_, kBmpGuidePicture);
  close_.strip = LoadSkinBitmap(instance_, kBmpClose);
  download_.strip = LoadSkinBitmap(instance_, kBmpDownload);
  ok_.strip = LoadSkinBitmap(instance_, kBmpOk);
  download_font_ = CreateSkinFont(kButtonFont);
  ok_font_ = CreateSkinFont(kButtonFont);
  download_.font = download_font_.get();
  ok_.font = ok_font_.get();
  CreateSkinButton(close_, dialog_, kIdGuideClose, L"", GuideCloseRect(close_.strip.width, close_.strip.height),
                   kButtonStyle);
  CreateSkinButton(download_, dialog_, kIdGuideDownload, texts_.Load(kTextDownload),
                   GuideDownloadRect(download_.strip.width, download_.strip.height), kButtonStyle);
  CreateSkinButton(ok_, dialog_, kIdGuideOk, texts_.Load(kTextOk), GuideOkRect(ok_.strip.width, ok_.strip.height),
                   kButtonStyle);
  blocks_.clear();
  for (const TextBlock& block : GuideTexts()) {
    blocks_.push_back(SkinText{texts_.Load(block.text), block.rect, CreateSkinFont(block.font)});
  }
  if (!manager_.MayOfferPCSuiteDownload()) ::EnableWindow(download_.window, FALSE);
}

void GuideDialog::Paint(HDC dc) {
  PaintBuffered(dc, kGuideWidth, kGuideHeight, [&](HDC memory) {
    StretchSkinBitmap(memory, background_, kGuideWidth, kGuideHeight);
    DrawSkinBitmap(memory, picture_, kGuidePicture.x, kGuidePicture.y);
    ::SetBkMode(memory, TRANSPARENT);
    for (std::size_t i = 0; i < blocks_.size(); ++i) {
      ::SetTextColor(memory, GuideTexts()[i].colour);
      DrawSkinText(memory, blocks_[i], GuideTexts()[i].flags);
    }
  });
}

void GuideDialog::ToWindow(UINT stage) { ::SendMessageW(owner_, stage, 0, 0); }

INT_PTR GuideDialog::Handle(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_INITDIALOG:
      Init();
      return TRUE;
    case WM_ERASEBKGND:
      Paint(reinterpret_cast<HDC>(wparam));
      ::SetWindowLongPtrW(dialog_, DWLP_MSGRESULT, 1);
      return TRUE;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(dialog_, &ps);
      Paint(dc);
      ::EndPaint(dialog_, &ps);
      return TRUE;
    }
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      if (item.CtlType != ODT_BUTTON) return FALSE;
      for (SkinButton* b : {&close_, &download_, &ok_}) {
        if (item.hwndItem == b->window) DrawSkinButton(*b, item);
      }
      return TRUE;
    }
    case WM_COMMAND: {
      std::uint32_t next = OnGuideButton(manager_, LOWORD(wparam), reinterpret_cast<WindowHandle>(owner_));
      if (next == 0) return FALSE;
      ToWindow(next);
      return TRUE;
    }
    case WM_CTLCOLORBTN:
      // As in the installer window: the rounded corners show the dialog.
      return reinterpret_cast<INT_PTR>(::GetStockObject(NULL_BRUSH));
    case WM_MOUSEMOVE:
      if (StartsDrag(wparam)) ::SendMessageW(dialog_, WM_SYSCOMMAND, kScDragMove, 0);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace devstart
