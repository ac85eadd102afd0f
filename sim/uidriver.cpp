// Drives the program's windows the way a person would: finds a box by its
// caption, prints its text, presses a button; describes windows, moves and
// clicks the real mouse, sends messages and takes screenshots. Every e2e
// test uses it.
//
//   uidriver box [--title T] [--timeout SECONDS] [--press OK|Cancel|Yes|No|none]
//       waits for a message box, any caption unless --title (exact: "" is
//       an empty caption), prints it whole as key=value lines: caption,
//       text, buttons (as the person reads them, left to right: OK,Cancel),
//       icon (hand, question, exclamation, asterisk or none), owner,
//       owner_class, owner_title, pid, process (the program's file name),
//       then presses the button (OK unless told); exit 0, 3 when no box
//       came in time, 5 when the box has no such button.
//   uidriver nobox [--title T] [--seconds SECONDS]
//       exit 0 when no such box shows within the time, else prints it, 4.
//   uidriver hold [--seconds SECONDS]
//       brings the prefix's desktop up, prints "held" and keeps it up for
//       the time: Wine closes a desktop a moment after its last user ends,
//       and a program that starts while it closes gets no windows at all.
//   uidriver find [--class C] [--title T] [--hwnd H] [--visible] [--timeout S]
//       waits (10 s unless told) for a top-level window with exactly this
//       class and/or title (or for window H), prints it as key=value lines:
//       hwnd class title rect client style exstyle visible enabled owner
//       pid, then child=id|class|text|enabled|visible|l,t,r,b per direct
//       child (rect in the parent's client coordinates). Exit 3 when none.
//   uidriver list
//       one line per visible top-level window: hwnd|class|title|owner|pid.
//   uidriver click X Y | move X Y | drag X1 Y1 X2 Y2 [--steps N]
//       real mouse input (SendInput) at screen points; exit 6 when refused.
//   uidriver send HWND MSG [WPARAM [LPARAM]] [--timeout MS]
//       prints result=N; exit 6 when the window did not answer in time.
//   uidriver post HWND MSG [WPARAM [LPARAM]]
//       exit 6 when the message could not be posted.
//   uidriver shot (--hwnd H | --class C | --title T) --out PATH [--client] [--timeout S]
//       saves the window's rectangle of the screen, as a person sees it,
//       as a PNG file; exit 3 when no such window, 7 when it cannot be saved.
//   uidriver pixel X Y
//       prints rgb=R,G,B of the screen pixel.
//
// Numbers are decimal or 0x hex; titles and texts print as UTF-8 with
// backslash, CR and LF escaped as \\, \r and \n so each stays on one line.
// Exit 2 on a malformed command line.
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <map>
#include <string>
#include <vector>

#include "utf8_out.h"

namespace {

struct Search {
  bool by_title = false;
  std::wstring title;
  HWND found = nullptr;
};

BOOL CALLBACK FindBox(HWND w, LPARAM param) {
  auto* s = reinterpret_cast<Search*>(param);
  wchar_t cls[64] = {};
  ::GetClassNameW(w, cls, 64);
  if (std::wstring(cls) != L"#32770" || !::IsWindowVisible(w)) return TRUE;
  // A message box, not any dialog: its text is the static control 0xFFFF
  // (on Windows and in Wine alike).
  HWND text = ::GetDlgItem(w, 0xFFFF);
  wchar_t text_cls[16] = {};
  if (!text || !::GetClassNameW(text, text_cls, 16) || std::wstring(text_cls) != L"Static") return TRUE;
  wchar_t title[256] = {};
  ::GetWindowTextW(w, title, 256);
  if (s->by_title && s->title != title) return TRUE;
  s->found = w;
  return FALSE;
}

HWND WaitForBox(bool by_title, const std::wstring& title, DWORD ms) {
  DWORD start = ::GetTickCount();
  for (;;) {
    Search s{by_title, title};
    ::EnumWindows(FindBox, reinterpret_cast<LPARAM>(&s));
    if (s.found) return s.found;
    if (::GetTickCount() - start >= ms) return nullptr;
    ::Sleep(100);
  }
}

struct ButtonName {
  int id;
  const wchar_t* name;
};
// By id, not by the button's text: the system translates the text.
constexpr ButtonName kButtons[] = {{IDOK, L"OK"},       {IDCANCEL, L"Cancel"}, {IDABORT, L"Abort"},
                                   {IDRETRY, L"Retry"}, {IDIGNORE, L"Ignore"}, {IDYES, L"Yes"},
                                   {IDNO, L"No"},       {IDHELP, L"Help"},     {IDTRYAGAIN, L"TryAgain"},
                                   {IDCONTINUE, L"Continue"}};

int ButtonId(const std::wstring& name) {
  for (const ButtonName& b : kButtons) {
    if (name == b.name) return b.id;
  }
  return 0;
}

// ---- the commands that see and touch any window ---------------------------

constexpr int kUsage = 2;
constexpr int kNotFound = 3;
constexpr int kNotDelivered = 6;
constexpr int kNoImage = 7;

// Options of the form --name VALUE, flags that stand alone, and the rest in
// order. Negative numbers ("-5") are positional.
struct Options {
  std::vector<std::wstring> positional;
  std::map<std::wstring, std::wstring> named;
  bool Has(const wchar_t* name) const { return named.count(name) != 0; }
  std::wstring Get(const wchar_t* name) const {
    auto it = named.find(name);
    return it == named.end() ? std::wstring() : it->second;
  }
};

bool ParseOptions(int argc, wchar_t** argv, Options* o) {
  for (int i = 2; i < argc; ++i) {
    std::wstring a = argv[i];
    if (a.rfind(L"--", 0) != 0) {
      o->positional.push_back(a);
    } else if (a == L"--visible" || a == L"--client") {
      o->named[a] = L"1";
    } else if (i + 1 < argc) {
      o->named[a] = argv[++i];
    } else {
      return false;
    }
  }
  return true;
}

// Decimal, or hex after 0x: a leading 0 does not make it octal, as wcstoll's
// base 0 would.
bool ParseNumber(const std::wstring& text, long long* value) {
  const wchar_t* s = text.c_str();
  bool hex = text.size() > 2 && s[0] == L'0' && (s[1] == L'x' || s[1] == L'X');
  const wchar_t* digits = hex ? s + 2 : s;
  wchar_t* end = nullptr;
  errno = 0;
  *value = hex ? static_cast<long long>(std::wcstoull(digits, &end, 16)) : std::wcstoll(digits, &end, 10);
  if (hex && !std::iswxdigit(*digits)) return false;
  return end != digits && *end == 0 && errno == 0;
}

bool ParseInts(const std::vector<std::wstring>& texts, size_t first, size_t count, int* out) {
  if (texts.size() < first + count) return false;
  for (size_t i = 0; i < count; ++i) {
    long long v = 0;
    if (!ParseNumber(texts[first + i], &v)) return false;
    out[i] = static_cast<int>(v);
  }
  return true;
}

HWND ToHwnd(long long v) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(v)); }

std::wstring Format(const wchar_t* format, ...) {
  wchar_t buffer[512];
  va_list args;
  va_start(args, format);
  std::vswprintf(buffer, 512, format, args);
  va_end(args);
  return buffer;
}

std::wstring Hex(HWND w) { return Format(L"0x%llX", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(w))); }

std::wstring Corners(const RECT& r) { return Format(L"%ld,%ld,%ld,%ld", r.left, r.top, r.right, r.bottom); }

// A caption or a control's text on one output line.
std::wstring OneLine(const std::wstring& s) {
  std::wstring out;
  for (wchar_t c : s) {
    if (c == L'\\') out += L"\\\\";
    else if (c == L'\n') out += L"\\n";
    else if (c == L'\r') out += L"\\r";
    else out += c;
  }
  return out;
}

std::wstring ClassOf(HWND w) {
  wchar_t cls[256] = {};
  ::GetClassNameW(w, cls, 256);
  return cls;
}

std::wstring TextOf(HWND w) {
  int n = ::GetWindowTextLengthW(w);
  std::wstring t(n + 1, L'\0');
  t.resize(::GetWindowTextW(w, t.data(), n + 1));
  return t;
}

struct Wanted {
  std::wstring cls, title;
  bool by_class = false, by_title = false, visible = false;
  HWND found = nullptr;
};

BOOL CALLBACK MatchTopLevel(HWND w, LPARAM param) {
  auto* want = reinterpret_cast<Wanted*>(param);
  if (want->visible && !::IsWindowVisible(w)) return TRUE;
  if (want->by_class && ClassOf(w) != want->cls) return TRUE;
  if (want->by_title && TextOf(w) != want->title) return TRUE;
  want->found = w;
  return FALSE;
}

// The window named by --hwnd, or the first top-level one of --class and/or
// --title, waited for up to --timeout seconds (10 unless told). `usage` is
// set when the options name no window at all.
HWND FindTarget(const Options& o, bool* usage) {
  Wanted want;
  want.by_class = o.Has(L"--class");
  want.by_title = o.Has(L"--title");
  want.cls = o.Get(L"--class");
  want.title = o.Get(L"--title");
  want.visible = o.Has(L"--visible");
  long long handle = 0, seconds = 10;
  bool by_handle = o.Has(L"--hwnd");
  *usage = (!by_handle && !want.by_class && !want.by_title) || (by_handle && !ParseNumber(o.Get(L"--hwnd"), &handle)) ||
           (o.Has(L"--timeout") && !ParseNumber(o.Get(L"--timeout"), &seconds));
  if (*usage) return nullptr;
  DWORD start = ::GetTickCount();
  for (;;) {
    if (by_handle) {
      HWND w = ToHwnd(handle);
      if (::IsWindow(w) && (!want.visible || ::IsWindowVisible(w))) return w;
    } else {
      want.found = nullptr;
      ::EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&want));
      if (want.found) return want.found;
    }
    if (::GetTickCount() - start >= static_cast<DWORD>(seconds * 1000)) return nullptr;
    // Short: the moment a window shows is timed from the driver's answer.
    ::Sleep(10);
  }
}

struct Children {
  HWND parent;
  std::wstring* out;
};

BOOL CALLBACK DescribeChild(HWND child, LPARAM param) {
  auto* c = reinterpret_cast<Children*>(param);
  // EnumChildWindows walks the whole tree; only the direct children count.
  if (::GetAncestor(child, GA_PARENT) != c->parent) return TRUE;
  RECT r{};
  ::GetWindowRect(child, &r);
  ::MapWindowPoints(nullptr, c->parent, reinterpret_cast<POINT*>(&r), 2);
  *c->out += Format(L"child=%d|", ::GetDlgCtrlID(child)) + ClassOf(child) + L"|" + OneLine(TextOf(child)) +
             Format(L"|%d|%d|", ::IsWindowEnabled(child) ? 1 : 0, ::IsWindowVisible(child) ? 1 : 0) + Corners(r) + L"\n";
  return TRUE;
}

std::wstring Describe(HWND w) {
  RECT r{}, client{};
  ::GetWindowRect(w, &r);
  ::GetClientRect(w, &client);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(w, &pid);
  std::wstring out = L"hwnd=" + Hex(w) + L"\nclass=" + ClassOf(w) + L"\ntitle=" + OneLine(TextOf(w)) +
                     L"\nrect=" + Corners(r) + Format(L"\nclient=%ld,%ld", client.right, client.bottom) +
                     Format(L"\nstyle=0x%08X", static_cast<unsigned>(::GetWindowLongW(w, GWL_STYLE))) +
                     Format(L"\nexstyle=0x%08X", static_cast<unsigned>(::GetWindowLongW(w, GWL_EXSTYLE))) +
                     Format(L"\nvisible=%d\nenabled=%d", ::IsWindowVisible(w) ? 1 : 0, ::IsWindowEnabled(w) ? 1 : 0) +
                     L"\nowner=" + Hex(::GetWindow(w, GW_OWNER)) + Format(L"\npid=%lu\n", pid);
  Children c{w, &out};
  ::EnumChildWindows(w, DescribeChild, reinterpret_cast<LPARAM>(&c));
  return out;
}

BOOL CALLBACK ListVisible(HWND w, LPARAM param) {
  if (!::IsWindowVisible(w)) return TRUE;
  DWORD pid = 0;
  ::GetWindowThreadProcessId(w, &pid);
  *reinterpret_cast<std::wstring*>(param) += Hex(w) + L"|" + ClassOf(w) + L"|" + OneLine(TextOf(w)) + L"|" +
                                             Hex(::GetWindow(w, GW_OWNER)) + Format(L"|%lu\n", pid);
  return TRUE;
}

// Prints text that already ends its lines (utf8out::PrintLine adds one more).
void PrintLines(std::wstring text) {
  if (!text.empty() && text.back() == L'\n') text.pop_back();
  if (!text.empty()) utf8out::PrintLine(text);
}

int Find(const Options& o) {
  bool usage = false;
  HWND w = FindTarget(o, &usage);
  if (usage) return kUsage;
  if (!w) return kNotFound;
  PrintLines(Describe(w));
  return 0;
}

int List() {
  std::wstring out;
  ::EnumWindows(ListVisible, reinterpret_cast<LPARAM>(&out));
  PrintLines(out);
  return 0;
}

// ---- mouse ------------------------------------------------------------------

// Absolute input is in 0..65535 over the primary screen, both ends included.
INPUT Mouse(DWORD flags, int x, int y) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  int w = ::GetSystemMetrics(SM_CXSCREEN), h = ::GetSystemMetrics(SM_CYSCREEN);
  in.mi.dx = w > 1 ? ::MulDiv(x, 65535, w - 1) : 0;
  in.mi.dy = h > 1 ? ::MulDiv(y, 65535, h - 1) : 0;
  in.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
  return in;
}

bool Send(std::vector<INPUT> inputs) {
  return ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

int MouseCommand(const std::wstring& command, const Options& o) {
  int p[4] = {};
  if (command == L"drag") {
    long long steps = 10;
    if (!ParseInts(o.positional, 0, 4, p) || (o.Has(L"--steps") && !ParseNumber(o.Get(L"--steps"), &steps)) || steps < 1)
      return kUsage;
    if (!Send({Mouse(0, p[0], p[1]), Mouse(MOUSEEVENTF_LEFTDOWN, p[0], p[1])})) return kNotDelivered;
    // Steps with pauses: a window's move loop reads the moves as they come,
    // and one jump straight to the end can look like no drag at all.
    for (long long i = 1; i <= steps; ++i) {
      ::Sleep(15);
      int x = p[0] + static_cast<int>((p[2] - p[0]) * i / steps), y = p[1] + static_cast<int>((p[3] - p[1]) * i / steps);
      if (!Send({Mouse(0, x, y)})) return kNotDelivered;
    }
    ::Sleep(15);
    return Send({Mouse(MOUSEEVENTF_LEFTUP, p[2], p[3])}) ? 0 : kNotDelivered;
  }
  if (!ParseInts(o.positional, 0, 2, p)) return kUsage;
  std::vector<INPUT> inputs{Mouse(0, p[0], p[1])};
  if (command == L"click") {
    inputs.push_back(Mouse(MOUSEEVENTF_LEFTDOWN, p[0], p[1]));
    inputs.push_back(Mouse(MOUSEEVENTF_LEFTUP, p[0], p[1]));
  }
  return Send(inputs) ? 0 : kNotDelivered;
}

// ---- messages ---------------------------------------------------------------

int MessageCommand(const std::wstring& command, const Options& o) {
  long long v[4] = {}, timeout = 5000;
  size_t n = o.positional.size();
  if (n < 2 || n > 4) return kUsage;
  for (size_t i = 0; i < n; ++i)
    if (!ParseNumber(o.positional[i], &v[i])) return kUsage;
  if (o.Has(L"--timeout") && !ParseNumber(o.Get(L"--timeout"), &timeout)) return kUsage;
  HWND w = ToHwnd(v[0]);
  UINT msg = static_cast<UINT>(v[1]);
  auto wp = static_cast<WPARAM>(v[2]);
  auto lp = static_cast<LPARAM>(v[3]);
  if (command == L"post") return ::PostMessageW(w, msg, wp, lp) ? 0 : kNotDelivered;
  DWORD_PTR result = 0;
  if (!::SendMessageTimeoutW(w, msg, wp, lp, SMTO_ABORTIFHUNG, static_cast<UINT>(timeout), &result))
    return kNotDelivered;
  utf8out::PrintLine(Format(L"result=%lld", static_cast<long long>(result)));
  return 0;
}

// ---- screenshots --------------------------------------------------------------

uint32_t Crc32(const std::string& bytes, size_t from) {
  static uint32_t table[256];
  if (!table[1]) {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
  }
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = from; i < bytes.size(); ++i) c = table[(c ^ static_cast<unsigned char>(bytes[i])) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void Be32(std::string* s, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) s->push_back(static_cast<char>((v >> shift) & 0xFF));
}

void Chunk(std::string* png, const char* type, const std::string& data) {
  Be32(png, static_cast<uint32_t>(data.size()));
  size_t start = png->size();
  *png += type;
  *png += data;
  Be32(png, Crc32(*png, start));
}

// 8-bit RGB rows, top first. The image data is a zlib stream of stored
// deflate blocks: a screenshot is small, and no compressor is needed to
// make a file every viewer opens.
std::string EncodePng(int width, int height, const std::vector<unsigned char>& rgb) {
  std::string raw;
  size_t row = static_cast<size_t>(width) * 3;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // filter: none
    raw.append(reinterpret_cast<const char*>(rgb.data()) + y * row, row);
  }
  std::string z = "\x78\x01";
  for (size_t at = 0; at < raw.size(); at += 65535) {
    size_t len = std::min<size_t>(65535, raw.size() - at);
    z.push_back(at + len == raw.size() ? 1 : 0);
    for (unsigned v : {static_cast<unsigned>(len), static_cast<unsigned>(~len & 0xFFFF)}) {
      z.push_back(static_cast<char>(v & 0xFF));
      z.push_back(static_cast<char>((v >> 8) & 0xFF));
    }
    z.append(raw, at, len);
  }
  uint32_t a = 1, b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  Be32(&z, (b << 16) | a);
  std::string header;
  Be32(&header, static_cast<uint32_t>(width));
  Be32(&header, static_cast<uint32_t>(height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, adaptive, not interlaced
  std::string png = "\x89PNG\r\n\x1a\n";
  Chunk(&png, "IHDR", header);
  Chunk(&png, "IDAT", z);
  Chunk(&png, "IEND", "");
  return png;
}

// From the screen, not from the window: owned boxes and windows in front
// show as they would to a person looking at it.
// Paints into a w x h 24-bit bitmap and reads it back as RGB rows; false
// when the bitmap cannot be made or the painting fails.
template <typename Paint>
bool Render(int w, int h, Paint paint, std::vector<unsigned char>* rgb) {
  if (w <= 0 || h <= 0) return false;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  HDC screen = ::GetDC(nullptr);
  HDC mem = ::CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP dib = ::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (dib && mem) {
    HGDIOBJ old = ::SelectObject(mem, dib);
    ok = paint(mem, screen);
    ::GdiFlush();
    size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~static_cast<size_t>(3);
    rgb->resize(static_cast<size_t>(w) * h * 3);
    const auto* src = static_cast<const unsigned char*>(bits);
    for (int y = 0; ok && y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const unsigned char* bgr = src + y * stride + x * 3;
        unsigned char* out = rgb->data() + (static_cast<size_t>(y) * w + x) * 3;
        out[0] = bgr[2];
        out[1] = bgr[1];
        out[2] = bgr[0];
      }
    ::SelectObject(mem, old);
  }
  if (dib) ::DeleteObject(dib);
  if (mem) ::DeleteDC(mem);
  ::ReleaseDC(nullptr, screen);
  return ok;
}

bool CaptureScreen(const RECT& r, std::vector<unsigned char>* rgb) {
  return Render(
      r.right - r.left, r.bottom - r.top,
      [&](HDC mem, HDC screen) {
        return ::BitBlt(mem, 0, 0, r.right - r.left, r.bottom - r.top, screen, r.left, r.top, SRCCOPY | CAPTUREBLT) !=
               FALSE;
      },
      rgb);
}

bool WriteWhole(const std::wstring& path, const std::string& data) {
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = ::WriteFile(f, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) && written == data.size();
  return ::CloseHandle(f) && ok;
}

int Shot(const Options& o) {
  if (!o.Has(L"--out")) return kUsage;
  bool usage = false;
  HWND w = FindTarget(o, &usage);
  if (usage) return kUsage;
  if (!w) return kNotFound;
  RECT r{};
  if (o.Has(L"--client")) {
    POINT origin{0, 0};
    ::GetClientRect(w, &r);
    ::ClientToScreen(w, &origin);
    ::OffsetRect(&r, origin.x, origin.y);
  } else {
    ::GetWindowRect(w, &r);
  }
  std::vector<unsigned char> rgb;
  if (!CaptureScreen(r, &rgb)) return kNoImage;
  return WriteWhole(o.Get(L"--out"), EncodePng(r.right - r.left, r.bottom - r.top, rgb)) ? 0 : kNoImage;
}

int Pixel(const Options& o) {
  int p[2] = {};
  if (!ParseInts(o.positional, 0, 2, p)) return kUsage;
  // Copied like a screenshot: GetPixel on the screen DC answers
  // CLR_INVALID under Wine wherever a window covers the point.
  std::vector<unsigned char> rgb;
  if (!CaptureScreen(RECT{p[0], p[1], p[0] + 1, p[1] + 1}, &rgb)) return kNoImage;
  utf8out::PrintLine(Format(L"rgb=%u,%u,%u", rgb[0], rgb[1], rgb[2]));
  return 0;
}

// ---- message boxes ------------------------------------------------------------

struct BoxParts {
  std::wstring text;
  std::vector<std::pair<LONG, std::wstring>> buttons;  // left edge, name
  std::wstring icon = L"none";
};

// An icon drawn on a plain background, as RGB rows.
std::vector<unsigned char> DrawnIcon(HICON icon, int w, int h, COLORREF background) {
  std::vector<unsigned char> rgb;
  Render(
      w, h,
      [&](HDC mem, HDC) {
        HBRUSH brush = ::CreateSolidBrush(background);
        RECT all{0, 0, w, h};
        ::FillRect(mem, &all, brush);
        ::DeleteObject(brush);
        return ::DrawIconEx(mem, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL) != FALSE;
      },
      &rgb);
  return rgb;
}

// Which of the system's icons the box's icon control shows. By its look on
// the screen: an icon handle means nothing outside the process that loaded
// it, so the box's handle cannot be compared with ours.
std::wstring IconName(HWND control) {
  RECT r{};
  ::GetWindowRect(control, &r);
  std::vector<unsigned char> shown;
  if (!CaptureScreen(r, &shown) || shown.size() < 3) return L"unreadable";
  int w = r.right - r.left, h = r.bottom - r.top;
  // The icons' corners are transparent: the first pixel is the background.
  COLORREF background = RGB(shown[0], shown[1], shown[2]);
  const struct {
    LPCWSTR id;
    const wchar_t* name;
  } icons[] = {{IDI_HAND, L"hand"}, {IDI_QUESTION, L"question"}, {IDI_EXCLAMATION, L"exclamation"},
               {IDI_ASTERISK, L"asterisk"}};
  for (const auto& i : icons) {
    if (DrawnIcon(::LoadIconW(nullptr, i.id), w, h, background) == shown) return i.name;
  }
  return L"other";
}

// A box just shown may not have painted its icon yet, and a box without an
// owner may open behind another program's window: it is brought to the top
// for the reading, as a person would click it into view, and repainted.
std::wstring ShownIcon(HWND control) {
  HWND box = ::GetAncestor(control, GA_ROOT);
  const UINT keep = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
  ::SetWindowPos(box, HWND_TOPMOST, 0, 0, 0, 0, keep);
  std::wstring name;
  for (int tries = 0; tries < 100; ++tries) {
    ::RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    name = IconName(control);
    if (name != L"other" && name != L"unreadable") break;
    ::Sleep(100);
  }
  ::SetWindowPos(box, HWND_NOTOPMOST, 0, 0, 0, 0, keep);
  return name;
}

BOOL CALLBACK CollectBoxPart(HWND child, LPARAM param) {
  auto* parts = reinterpret_cast<BoxParts*>(param);
  if (!::IsWindowVisible(child)) return TRUE;
  std::wstring cls = ClassOf(child);
  if (cls == L"Static") {
    LONG style = ::GetWindowLongW(child, GWL_STYLE);
    if ((style & SS_TYPEMASK) == SS_ICON) {
      if (::SendMessageW(child, STM_GETICON, 0, 0)) parts->icon = ShownIcon(child);
      return TRUE;
    }
    std::wstring t = TextOf(child);
    if (!t.empty()) parts->text += (parts->text.empty() ? L"" : L"\n") + t;
  } else if (cls == L"Button") {
    int id = ::GetDlgCtrlID(child);
    std::wstring name = Format(L"id%d", id);
    for (const ButtonName& b : kButtons) {
      if (b.id == id) name = b.name;
    }
    RECT r{};
    ::GetWindowRect(child, &r);
    parts->buttons.emplace_back(r.left, name);
  }
  return TRUE;
}

std::wstring ProcessName(DWORD pid) {
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return L"";
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  std::wstring name;
  for (BOOL ok = ::Process32FirstW(snapshot, &entry); ok; ok = ::Process32NextW(snapshot, &entry)) {
    if (entry.th32ProcessID == pid) {
      name = entry.szExeFile;
      break;
    }
  }
  ::CloseHandle(snapshot);
  return name.substr(name.find_last_of(L"\\/") + 1);
}

std::wstring DescribeBox(HWND box) {
  BoxParts parts;
  ::EnumChildWindows(box, CollectBoxPart, reinterpret_cast<LPARAM>(&parts));
  std::sort(parts.buttons.begin(), parts.buttons.end());
  std::wstring buttons;
  for (const auto& b : parts.buttons) buttons += (buttons.empty() ? L"" : L",") + b.second;
  HWND owner = ::GetWindow(box, GW_OWNER);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(box, &pid);
  return L"caption=" + OneLine(TextOf(box)) + L"\ntext=" + OneLine(parts.text) + L"\nbuttons=" + buttons +
         L"\nicon=" + parts.icon + L"\nowner=" + Hex(owner) + L"\nowner_class=" + (owner ? ClassOf(owner) : L"") +
         L"\nowner_title=" + (owner ? OneLine(TextOf(owner)) : L"") + Format(L"\npid=%lu\nprocess=", pid) +
         ProcessName(pid) + L"\n";
}

int WindowCommand(const std::wstring& command, int argc, wchar_t** argv) {
  Options o;
  if (!ParseOptions(argc, argv, &o)) return kUsage;
  if (command == L"find") return Find(o);
  if (command == L"list") return List();
  if (command == L"click" || command == L"move" || command == L"drag") return MouseCommand(command, o);
  if (command == L"send" || command == L"post") return MessageCommand(command, o);
  if (command == L"shot") return Shot(o);
  if (command == L"pixel") return Pixel(o);
  return -1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fwprintf(stderr, L"usage: uidriver box|nobox|hold|find|list|click|move|drag|send|post|shot|pixel ...\n");
    return 2;
  }
  std::wstring command = argv[1];
  int handled = WindowCommand(command, argc, argv);
  if (handled >= 0) return handled;
  bool by_title = false;
  std::wstring title;
  std::wstring press = L"OK";
  DWORD seconds = command == L"nobox" ? 3 : 30;
  for (int i = 2; i + 1 < argc; i += 2) {
    std::wstring opt = argv[i];
    if (opt == L"--title") by_title = true, title = argv[i + 1];
    else if (opt == L"--timeout" || opt == L"--seconds") seconds = static_cast<DWORD>(_wtoi(argv[i + 1]));
    else if (opt == L"--press") press = argv[i + 1];
  }
  if (command == L"hold") {
    ::GetDesktopWindow();
    utf8out::PrintLine(L"held");
    ::Sleep(seconds * 1000);
    return 0;
  }
  HWND box = WaitForBox(by_title, title, seconds * 1000);
  if (command == L"nobox") {
    if (!box) return 0;
    PrintLines(DescribeBox(box));
    return 4;
  }
  if (!box) return 3;
  PrintLines(DescribeBox(box));
  if (press == L"none") return 0;
  // Posted, not sent: a sent click can stay unanswered while the program
  // goes on to its next box, and the driver would wait with it.
  int id = ButtonId(press);
  HWND button = id ? ::GetDlgItem(box, id) : nullptr;
  if (!button || !::IsWindowVisible(button)) return 5;
  ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  return 0;
}
