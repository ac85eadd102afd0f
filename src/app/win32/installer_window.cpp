#include "app/win32/installer_window.h"

#include <commctrl.h>

namespace devstart {

namespace {

constexpr DWORD kCancelStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | BS_OWNERDRAW;

}  // namespace

InstallerWindow::InstallerWindow(HINSTANCE instance, Machine& machine, CAutoRunManager& manager,
                                 const COption& option, const Texts& texts)
    : instance_(instance),
      texts_(texts),
      stages_(manager, option, texts, machine.windows, *this),
      guide_(instance, manager, texts) {}

int InstallerWindow::Run(int show) {
  background_ = LoadSkinBitmap(instance_, kBmpBackground);
  pictures_.clear();
  for (const PicturePlace& place : WindowPictures()) {
    pictures_.emplace_back(LoadSkinBitmap(instance_, place.bitmap), place);
  }
  cancel_.strip = LoadSkinBitmap(instance_, kBmpCancel);
  status_ = SkinText{texts_.Load(kStatusLabel.text), kStatusLabel.rect, CreateSkinFont(kStatusLabel.font)};
  notice_ = SkinText{texts_.Load(kNoticeLabel.text), kNoticeLabel.rect, CreateSkinFont(kNoticeLabel.font)};
  cancel_font_ = CreateSkinFont(kButtonFont);
  cancel_.font = cancel_font_.get();

  std::wstring title = texts_.Load(kTextTitle);
  std::wstring class_name = texts_.Load(kTextClassName);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance_;
  wc.hIcon = ::LoadIconW(instance_, MAKEINTRESOURCEW(kIconProgram));
  wc.hIconSm = wc.hIcon;
  wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(4));
  wc.lpszClassName = class_name.c_str();
  ::RegisterClassExW(&wc);

  // The animation control's class comes from the common controls.
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_ANIMATE_CLASS};
  ::InitCommonControlsEx(&controls);

  HWND w = ::CreateWindowExW(0, class_name.c_str(), title.c_str(), WS_POPUP, 10, 10, kWindowWidth, kWindowHeight,
                             nullptr, nullptr, instance_, this);
  if (w == nullptr) return 0;
  ::ShowWindow(w, show);
  ::UpdateWindow(w);

  MSG msg;
  BOOL got;
  while ((got = ::GetMessageW(&msg, nullptr, 0, 0)) != 0 && got != -1) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return got == 0 ? static_cast<int>(msg.wParam) : 0;
}

LRESULT CALLBACK InstallerWindow::Proc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<InstallerWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->window_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<InstallerWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  return self ? self->Handle(msg, wparam, lparam) : ::DefWindowProcW(window, msg, wparam, lparam);
}

void InstallerWindow::OnCreate() {
  guide_.Create(window_);
  CreateSkinButton(cancel_, window_, kIdCancel, texts_.Load(kTextCancel),
                   CancelButtonRect(cancel_.strip.width, cancel_.strip.height), kCancelStyle);
  // The clip plays on the control's timer, not on a thread of its own: the
  // program does all its work, waits included, on one thread.
  animation_ = ::CreateWindowExW(0, ANIMATE_CLASSW, L"", WS_CHILD | ACS_AUTOPLAY | ACS_TIMER, 0, 0, 0, 0, window_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdAnimation)), instance_, nullptr);
  if (animation_ != nullptr) {
    ::SetWindowPos(animation_, nullptr, kAnimationRect.left, kAnimationRect.top, kAnimationRect.width(),
                   kAnimationRect.height(), SWP_FRAMECHANGED | SWP_NOZORDER);
    // A clip that cannot be opened leaves the area to the skin: the control
    // itself would paint a grey box there.
    if (::SendMessageW(animation_, ACM_OPENW, 0, reinterpret_cast<LPARAM>(L".\\Progress.avi"))) {
      ::ShowWindow(animation_, SW_SHOW);
    }
  }
  ::SetWindowPos(window_, HWND_TOPMOST, kWindowX, kWindowY, kWindowWidth, kWindowHeight, 0);
  ::SetTimer(window_, kStartTimer, kStartTimerMs, nullptr);
}

void InstallerWindow::Paint(HDC dc) {
  PaintBuffered(dc, kWindowWidth, kWindowHeight, [&](HDC memory) {
    StretchSkinBitmap(memory, background_, kWindowWidth, kWindowHeight);
    for (const auto& [bitmap, place] : pictures_) DrawSkinBitmap(memory, bitmap, place.x, place.y);
    ::SetBkMode(memory, TRANSPARENT);
    ::SetTextColor(memory, kStatusLabel.colour);
    DrawSkinText(memory, status_, kStatusLabel.flags);
    DrawSkinText(memory, notice_, kNoticeLabel.flags);
  });
}

LRESULT InstallerWindow::Handle(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (stages_.OnMessage(msg, wparam)) return 0;
  switch (msg) {
    case WM_CREATE:
      OnCreate();
      return 0;
    case WM_DESTROY:
      destroyed_ = true;
      ::PostQuitMessage(0);
      return 0;
    case WM_ERASEBKGND:
      Paint(reinterpret_cast<HDC>(wparam));
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(window_, &ps);
      Paint(dc);
      ::EndPaint(window_, &ps);
      return 0;
    }
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      if (item.CtlType == ODT_BUTTON && item.hwndItem == cancel_.window) DrawSkinButton(cancel_, item);
      return 0;
    }
    case WM_CTLCOLORBTN:
      // The strip's magenta corners are left undrawn: a hollow brush keeps
      // the button from filling them with the face colour first.
      return reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
    case WM_SYSKEYDOWN:
      return 0;
    case WM_COMMAND:
      if (LOWORD(wparam) == kIdCancel) stages_.OnCancel();
      return 0;
    case WM_TIMER:
      stages_.OnTimer(wparam);
      return 0;
    case WM_MOUSEMOVE:
      if (StartsDrag(wparam)) ::SendMessageW(window_, WM_SYSCOMMAND, kScDragMove, 0);
      return 0;
    default:
      return ::DefWindowProcW(window_, msg, wparam, lparam);
  }
}

void InstallerWindow::Send(std::uint32_t msg, std::uintptr_t wparam) { ::SendMessageW(window_, msg, wparam, 0); }

void InstallerWindow::SetStatus(const std::wstring& text, bool erase) {
  status_.text = text;
  RECT r{status_.rect.left, status_.rect.top, status_.rect.right, status_.rect.bottom};
  ::InvalidateRect(window_, &r, erase ? TRUE : FALSE);
}

void InstallerWindow::EnableCancel(bool enabled) { ::EnableWindow(cancel_.window, enabled ? TRUE : FALSE); }

void InstallerWindow::Hide() { ::ShowWindow(window_, SW_HIDE); }

void InstallerWindow::ShowGuideDialog() { ::ShowWindow(guide_.handle(), SW_SHOW); }

void InstallerWindow::KillTimer(std::uintptr_t id) { ::KillTimer(window_, id); }

void InstallerWindow::EndProcess(int exit_code) { ::ExitProcess(static_cast<UINT>(exit_code)); }

}  // namespace devstart
