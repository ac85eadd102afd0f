#include "ui/win32/skin_gdi.h"

namespace devstart {

namespace {

constexpr COLORREF kTransparent = RGB(255, 0, 255);

LRESULT CALLBACK HoverTrackingProc(HWND w, UINT msg, WPARAM wparam, LPARAM lparam) {
  auto* button = reinterpret_cast<SkinButton*>(::GetWindowLongPtrW(w, GWLP_USERDATA));
  if (button == nullptr) return ::DefWindowProcW(w, msg, wparam, lparam);
  switch (msg) {
    case WM_MOUSEMOVE: {
      TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TrackRequest(button->hover), w, kHoverTimeMs};
      ::TrackMouseEvent(&track);
      break;
    }
    case WM_MOUSEHOVER:
      button->hover = 1;
      ::InvalidateRect(w, nullptr, TRUE);
      break;
    case WM_MOUSELEAVE:
      button->hover = 0;
      ::InvalidateRect(w, nullptr, TRUE);
      break;
    default:
      break;
  }
  return ::CallWindowProcW(button->previous, w, msg, wparam, lparam);
}

// Blits the rectangle of `bitmap` at (sx, sy) through a temporary memory DC.
template <typename Blit>
void WithBitmapDc(HDC dc, const SkinBitmap& bitmap, Blit blit) {
  if (!bitmap.handle) return;
  gdi::MemoryDc source(::CreateCompatibleDC(dc));
  if (!source) return;
  gdi::Selection selected(source.get(), bitmap.handle.get());
  blit(source.get());
}

}  // namespace

SkinBitmap LoadSkinBitmap(HINSTANCE instance, std::uint32_t id) {
  SkinBitmap b;
  b.handle = gdi::Bitmap(::LoadBitmapW(instance, MAKEINTRESOURCEW(id)));
  if (b.handle && ::GetObjectW(b.handle.get(), sizeof(BITMAP), &b.info) == sizeof(BITMAP)) {
    b.width = b.info.bmWidth;
    b.height = b.info.bmHeight;
  } else {
    b.info = BITMAP{};
  }
  return b;
}

gdi::Font CreateSkinFont(SkinFont font) {
  return gdi::Font(::CreateFontW(font.height, font.width, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, kSkinFace));
}

void DrawSkinText(HDC dc, const SkinText& text, UINT flags) {
  gdi::Selection font(dc, text.font.get());
  RECT r{text.rect.left, text.rect.top, text.rect.right, text.rect.bottom};
  ::DrawTextW(dc, text.text.c_str(), -1, &r, flags);
}

void DrawSkinBitmap(HDC dc, const SkinBitmap& bitmap, int x, int y) {
  WithBitmapDc(dc, bitmap, [&](HDC source) {
    ::BitBlt(dc, x, y, bitmap.width, bitmap.height, source, 0, 0, SRCCOPY);
  });
}

void StretchSkinBitmap(HDC dc, const SkinBitmap& bitmap, int w, int h) {
  WithBitmapDc(dc, bitmap, [&](HDC source) {
    ::BitBlt(dc, 0, 0, bitmap.width, bitmap.height, source, 0, 0, SRCCOPY);
    ::StretchBlt(dc, 0, 0, w, h, source, 0, 0, bitmap.width, bitmap.height, SRCCOPY);
  });
}

void DrawSkinFrame(HDC dc, const SkinBitmap& strip, int frame) {
  int w = strip.width / 4;
  WithBitmapDc(dc, strip, [&](HDC source) {
    ::TransparentBlt(dc, 0, 0, w, strip.height, source, frame * w, 0, w, strip.height, kTransparent);
  });
}

HWND CreateSkinButton(SkinButton& button, HWND parent, int id, const std::wstring& caption, const SkinRect& rect,
                      DWORD style) {
  button.window = ::CreateWindowExW(0, L"BUTTON", caption.c_str(), style, rect.left, rect.top, rect.width(),
                                    rect.height(), parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                    reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
  if (button.window == nullptr) return nullptr;
  button.hover = 0;
  ::SetWindowLongPtrW(button.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&button));
  button.previous = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(button.window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HoverTrackingProc)));
  return button.window;
}

void DrawSkinButton(SkinButton& button, const DRAWITEMSTRUCT& item) {
  std::wstring caption(256, L'\0');
  int n = ::GetWindowTextW(button.window, caption.data(), 256);
  caption.resize(n > 0 ? n : 0);
  caption = ButtonCaption(caption);
  std::copy(caption.begin(), caption.end(), button.caption);
  button.caption[caption.size()] = L'\0';

  HDC dc = item.hDC;
  ::SetBkMode(dc, TRANSPARENT);
  gdi::Selection font(dc, button.font);
  Frame frame = ChooseFrame((item.itemState & ODS_DISABLED) != 0, (item.itemState & ODS_SELECTED) != 0,
                            button.hover == 1);
  ::SetTextColor(dc, CaptionColour(frame));
  DrawSkinFrame(dc, button.strip, static_cast<int>(frame));
  RECT r = item.rcItem;
  ::DrawTextW(dc, button.caption, -1, &r, DT_CENTER | DT_SINGLELINE | DT_VCENTER);
}

}  // namespace devstart
