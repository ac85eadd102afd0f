// The test removes its keys with RegDeleteTreeW, which the program itself
// never uses.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#include "platform/win32/win_api.h"

#include <gtest/gtest.h>

#include "contract/inspect_env.h"
#include "platform/win32/inspect_adapters.h"

namespace devstart::contract {

namespace {

std::vector<std::uint32_t> g_received;

LRESULT CALLBACK Record(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg >= WM_USER && msg < 0x8000) g_received.push_back(msg);
  return ::DefWindowProcW(w, msg, wp, lp);
}

class Win32InspectEnv : public InspectEnv {
 public:
  ~Win32InspectEnv() override {
    for (HWND w : windows_) ::DestroyWindow(w);
  }
  IRegistry& registry() override { return registry_; }
  IProcesses& processes() override { return processes_; }
  IWindowSearch& windows() override { return search_; }
  std::wstring UniqueName() override { return L"DevstartContract" + std::to_wstring(::GetCurrentProcessId()); }
  std::uint32_t OwnProcessId() override { return ::GetCurrentProcessId(); }
  std::wstring OwnExeName() override {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p = path;
    return p.substr(p.rfind(L'\\') + 1);
  }
  std::wstring ShortProgram() override {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
  }
  std::wstring ShortProgramArguments() override { return L"--gtest_filter=NoSuchTest"; }
  WindowHandle MakeWindow(const std::wstring& class_name, const std::wstring& title) override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Record;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = class_name.c_str();
    ::RegisterClassW(&wc);
    HWND w = ::CreateWindowExW(0, class_name.c_str(), title.c_str(), WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                               wc.hInstance, nullptr);
    windows_.push_back(w);
    return reinterpret_cast<WindowHandle>(w);
  }
  std::vector<std::uint32_t> PostedTo(WindowHandle w) override {
    g_received.clear();
    MSG msg;
    while (::PeekMessageW(&msg, reinterpret_cast<HWND>(w), 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    return g_received;
  }
  void DeleteTree(std::uintptr_t hive, const std::wstring& path) override {
    HKEY root = nullptr;
    if (::RegOpenKeyExW(reinterpret_cast<HKEY>(hive), nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &root) != 0) return;
    ::RegDeleteTreeW(root, path.c_str());
    ::RegCloseKey(root);
  }

 private:
  Win32Registry registry_;
  Win32Processes processes_;
  Win32WindowSearch search_;
  std::vector<HWND> windows_;
};

}  // namespace

std::unique_ptr<InspectEnv> MakeInspectEnv() { return std::make_unique<Win32InspectEnv>(); }

}  // namespace devstart::contract

// The predefined keys are pointer casts the compiler cannot compare; check
// the logic's copies here, where <windows.h> is at hand.
TEST(InspectValues, PredefinedKeys) {
  EXPECT_EQ(devstart::win::kHkeyCurrentUser, reinterpret_cast<std::uintptr_t>(HKEY_CURRENT_USER));
  EXPECT_EQ(devstart::win::kHkeyLocalMachine, reinterpret_cast<std::uintptr_t>(HKEY_LOCAL_MACHINE));
}
