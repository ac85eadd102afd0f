// Drives the program's message boxes the way a person would: finds a box by
// its caption, prints its text, presses a button. Every e2e test uses it.
//
//   uidriver box [--title T] [--timeout SECONDS] [--press OK|Cancel|Yes|No]
//       waits for the box, prints its text as UTF-8, presses the button
//       (OK unless told); exit 0, 3 when no box came in time, 5 when the
//       box has no such button.
//   uidriver nobox [--title T] [--seconds SECONDS]
//       exit 0 when no such box shows within the time, else prints it, 4.
//   uidriver hold [--seconds SECONDS]
//       brings the prefix's desktop up, prints "held" and keeps it up for
//       the time: Wine closes a desktop a moment after its last user ends,
//       and a program that starts while it closes gets no windows at all.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Search {
  std::wstring title;
  HWND found = nullptr;
};

BOOL CALLBACK FindBox(HWND w, LPARAM param) {
  auto* s = reinterpret_cast<Search*>(param);
  wchar_t cls[64] = {};
  ::GetClassNameW(w, cls, 64);
  if (std::wstring(cls) != L"#32770" || !::IsWindowVisible(w)) return TRUE;
  wchar_t title[256] = {};
  ::GetWindowTextW(w, title, 256);
  if (!s->title.empty() && s->title != title) return TRUE;
  s->found = w;
  return FALSE;
}

HWND WaitForBox(const std::wstring& title, DWORD ms) {
  DWORD start = ::GetTickCount();
  for (;;) {
    Search s{title};
    ::EnumWindows(FindBox, reinterpret_cast<LPARAM>(&s));
    if (s.found) return s.found;
    if (::GetTickCount() - start >= ms) return nullptr;
    ::Sleep(100);
  }
}

BOOL CALLBACK CollectText(HWND child, LPARAM param) {
  auto* text = reinterpret_cast<std::wstring*>(param);
  wchar_t cls[64] = {};
  ::GetClassNameW(child, cls, 64);
  if (std::wstring(cls) == L"Static") {
    int n = ::GetWindowTextLengthW(child);
    std::wstring t(n + 1, L'\0');
    ::GetWindowTextW(child, t.data(), n + 1);
    t.resize(n);
    if (!t.empty()) *text += (text->empty() ? L"" : L"\n") + t;
  }
  return TRUE;
}

void PrintUtf8(const std::wstring& w) {
  int n = ::WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(n, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  s.push_back('\n');
  // Raw bytes: the C runtime's text mode would translate them.
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), s.data(), static_cast<DWORD>(s.size()), &written, nullptr);
}

int ButtonId(const std::wstring& name) {
  if (name == L"Cancel") return IDCANCEL;
  if (name == L"Yes") return IDYES;
  if (name == L"No") return IDNO;
  return IDOK;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fwprintf(stderr, L"usage: uidriver box|nobox [--title T] [--timeout S] [--press B]\n");
    return 2;
  }
  std::wstring command = argv[1];
  std::wstring title = L"Devstart";
  std::wstring press = L"OK";
  DWORD seconds = command == L"nobox" ? 3 : 30;
  for (int i = 2; i + 1 < argc; i += 2) {
    std::wstring opt = argv[i];
    if (opt == L"--title") title = argv[i + 1];
    else if (opt == L"--timeout" || opt == L"--seconds") seconds = static_cast<DWORD>(_wtoi(argv[i + 1]));
    else if (opt == L"--press") press = argv[i + 1];
  }
  if (command == L"hold") {
    ::GetDesktopWindow();
    PrintUtf8(L"held");
    ::Sleep(seconds * 1000);
    return 0;
  }
  HWND box = WaitForBox(title, seconds * 1000);
  if (command == L"nobox") {
    if (!box) return 0;
    std::wstring text;
    ::EnumChildWindows(box, CollectText, reinterpret_cast<LPARAM>(&text));
    PrintUtf8(text);
    return 4;
  }
  if (!box) return 3;
  std::wstring text;
  ::EnumChildWindows(box, CollectText, reinterpret_cast<LPARAM>(&text));
  PrintUtf8(text);
  // Posted, not sent: a sent click can stay unanswered while the program
  // goes on to its next box, and the driver would wait with it.
  int id = ButtonId(press);
  HWND button = ::GetDlgItem(box, id);
  if (!button) return 5;
  ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  return 0;
}
