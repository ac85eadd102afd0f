// Ad hoc check of Progress.avi, not part of the build: plays the clip in an
// animation control the way the installer window does and saves what the
// window shows, two captures 250 ms apart, so a person can see it move.
//   i686-w64-mingw32-g++ -municode -mwindows -static avi_probe.cpp -o avi_probe.exe -lcomctl32
//   wine avi_probe.exe Progress.avi capture   (writes capture-0.bmp, capture-1.bmp)
// Exit code: 0 when the control opened the clip, 1 when it refused it.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

void Capture(HWND window, const std::wstring& path) {
  RECT rc;
  ::GetClientRect(window, &rc);
  const int w = rc.right, h = rc.bottom;
  BITMAPINFOHEADER info = {sizeof(info), w, h, 1, 24, BI_RGB};
  void* bits = nullptr;
  HDC screen = ::GetDC(window);
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP dib = ::CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(memory, dib);
  ::BitBlt(memory, 0, 0, w, h, screen, 0, 0, SRCCOPY);
  ::GdiFlush();
  const DWORD size = ((w * 3 + 3) & ~3) * h;
  BITMAPFILEHEADER file = {0x4D42, DWORD(sizeof(file) + sizeof(info) + size), 0, 0, sizeof(file) + sizeof(info)};
  if (FILE* f = ::_wfopen(path.c_str(), L"wb")) {
    fwrite(&file, sizeof(file), 1, f);
    fwrite(&info, sizeof(info), 1, f);
    fwrite(bits, size, 1, f);
    fclose(f);
  }
  ::SelectObject(memory, old);
  ::DeleteObject(dib);
  ::DeleteDC(memory);
  ::ReleaseDC(window, screen);
}

void Pump(DWORD ms) {
  const DWORD end = ::GetTickCount() + ms;
  while (::GetTickCount() < end) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    ::Sleep(10);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_ANIMATE_CLASS};
  ::InitCommonControlsEx(&icc);
  WNDCLASSW wc = {};
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hbrBackground = ::CreateSolidBrush(RGB(90, 90, 90));
  wc.lpszClassName = L"AviProbe";
  ::RegisterClassW(&wc);
  HWND window = ::CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 40, 40, 430, 270, nullptr,
                                  nullptr, wc.hInstance, nullptr);
  HWND anim = ::CreateWindowExW(0, ANIMATE_CLASSW, L"", WS_CHILD | WS_VISIBLE | ACS_AUTOPLAY, 160, 93, 300, 100,
                                window, nullptr, wc.hInstance, nullptr);
  const BOOL opened = Animate_Open(anim, argv[1]);
  RECT rc;
  ::GetWindowRect(anim, &rc);
  ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rc), 2);
  fprintf(stderr, "Animate_Open: %d, control at (%ld,%ld)-(%ld,%ld)\n", opened, rc.left, rc.top, rc.right, rc.bottom);
  const std::wstring base = argv[2];
  Pump(1000);
  Capture(window, base + L"-0.bmp");
  Pump(250);
  Capture(window, base + L"-1.bmp");
  ::DestroyWindow(window);
  return opened ? 0 : 1;
}
