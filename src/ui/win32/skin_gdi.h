// The skin's drawing on GDI: bitmaps from the program's resources, Tahoma
// texts, and owner-drawn buttons whose strip of four frames follows the
// mouse. Decisions (frames, places, fonts) come from ui/skin.h.
#pragma once

#include "platform/win32/gdi.h"

#include <string>

#include "ui/skin.h"

namespace devstart {

struct SkinBitmap {
  gdi::Bitmap handle;
  // Zeroed when the bitmap cannot be loaded: a missing picture is 0 x 0 and
  // draws nothing, and a button sized from it gets no size.
  BITMAP info{};
  int width = 0;
  int height = 0;
};
SkinBitmap LoadSkinBitmap(HINSTANCE instance, std::uint32_t id);

gdi::Font CreateSkinFont(SkinFont font);

struct SkinText {
  std::wstring text;
  SkinRect rect;
  gdi::Font font;
};
void DrawSkinText(HDC dc, const SkinText& text, UINT flags);

// The whole bitmap at (x, y).
void DrawSkinBitmap(HDC dc, const SkinBitmap& bitmap, int x, int y);
// The bitmap stretched over (0, 0, w, h).
void StretchSkinBitmap(HDC dc, const SkinBitmap& bitmap, int w, int h);
// Frame n of a strip at the button's origin, magenta transparent.
void DrawSkinFrame(HDC dc, const SkinBitmap& strip, int frame);

struct SkinButton {
  HWND window = nullptr;
  SkinBitmap strip;
  HFONT font = nullptr;  // not owned: the caption fonts live with their window
  wchar_t caption[256] = {};
  int hover = 0;
  WNDPROC previous = nullptr;
};

// Creates an owner-drawn button placed for its strip and replaces its window
// procedure with the hover-tracking one.
HWND CreateSkinButton(SkinButton& button, HWND parent, int id, const std::wstring& caption, const SkinRect& rect,
                      DWORD style);
// WM_DRAWITEM for this button.
void DrawSkinButton(SkinButton& button, const DRAWITEMSTRUCT& item);

// Paints through one memory device context of the client size: `draw` paints
// into it, then one BitBlt copies it to `target`.
template <typename Draw>
void PaintBuffered(HDC target, int width, int height, Draw draw) {
  gdi::MemoryDc memory(::CreateCompatibleDC(target));
  gdi::Bitmap canvas(::CreateCompatibleBitmap(target, width, height));
  if (!memory || !canvas) return;
  gdi::Selection selected(memory.get(), canvas.get());
  draw(memory.get());
  ::BitBlt(target, 0, 0, width, height, memory.get(), 0, 0, SRCCOPY);
}

}  // namespace devstart
