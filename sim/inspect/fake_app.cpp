// Application stand-ins: the VTP program (found by its file name), the
// Internet Kit (by its window class) and the PC suite (by its window title,
// recording the installer's notification in PCSuite.log beside it). Each runs
// until closed, or for /seconds=N.
#include <windows.h>

#include <string>

namespace {

#if defined(APP_PCSUITE)
const wchar_t kClass[] = L"TavoPCSuiteStandIn";
const wchar_t kTitle[] = L"Tavo PC Suite IV";
#elif defined(APP_INTERNETKIT)
const wchar_t kClass[] = L"TAVO_INTERNET_KIT_CLASS";
const wchar_t kTitle[] = L"Tavo Internet Kit";
#else
const wchar_t kClass[] = L"TavoVtpStandIn";
const wchar_t kTitle[] = L"PC internet via the phone";
#endif

constexpr UINT kNotify = 0xAB8;
std::wstring g_log;

void Record(const char* line) {
  HANDLE f = ::CreateFileW(g_log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  ::WriteFile(f, line, static_cast<DWORD>(strlen(line)), &written, nullptr);
  ::CloseHandle(f);
}

LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kNotify) {
    char line[64];
    wsprintfA(line, "0xAB8 %u %ld\n", static_cast<unsigned>(wp), static_cast<long>(lp));
    Record(line);
    return 0;
  }
  if (msg == WM_TIMER || msg == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcW(w, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR command_line, int) {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  g_log = self;
  g_log = g_log.substr(0, g_log.size() - 4) + L".log";
  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.lpszClassName = kClass;
  ::RegisterClassW(&wc);
  HWND w = ::CreateWindowExW(0, kClass, kTitle, WS_OVERLAPPEDWINDOW, 40, 40, 300, 120, nullptr, nullptr, instance, nullptr);
  if (!w) return 1;
  ::ShowWindow(w, SW_SHOWNOACTIVATE);
  std::wstring cl = command_line ? command_line : L"";
  size_t at = cl.find(L"/seconds=");
  if (at != std::wstring::npos) ::SetTimer(w, 1, static_cast<UINT>(_wtoi(cl.c_str() + at + 9)) * 1000, nullptr);
  Record("started\n");
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return 0;
}
