// The installer's skin in every language the program carries, for the e2e
// tests: the program's own resources are linked in, the window and dialog
// are the real ones.
//   skin_probe measure    one line per language and drawn text: the room the
//                         text needs in the skin's font, its box, and cut=1
//                         when it does not fit
//   skin_probe show LANG  the window in language LANG (hex) during the driver
//                         step, "ready" once it is up; WM_APP+1 posted to it
//                         ends the step, the PC-suite stage then shows the
//                         guide dialog, whose OK ends the process
//   skin_probe gdi        live GDI objects before and after 1000 repaints and
//                         100 hover cycles; exit 0 when they are equal
// Run "show" in the folder of Progress.avi to see the animation.
#include "platform/win32/win_api.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "app/win32/installer_window.h"
#include "core/option.h"
#include "core/result_codes.h"
#include "platform/win32/machine.h"
#include "ui/skin.h"
#include "ui/texts.h"
#include "ui/win32/skin_gdi.h"
#include "workflow/auto_run_manager.h"
#include "utf8_out.h"

namespace {

using devstart::SkinRect;

// Ends the probe's stand-in for the driver step in "show".
constexpr UINT kGoOn = WM_APP + 1;
// What DrawSkinButton draws a caption with.
constexpr UINT kCaptionFlags = DT_CENTER | DT_SINGLELINE | DT_VCENTER;
constexpr WORD kStringTable = 6;  // RT_STRING

using utf8out::PrintLine;

HINSTANCE Self() { return ::GetModuleHandleW(nullptr); }

// ---- measure -------------------------------------------------------------

struct DrawnText {
  std::uint32_t id;
  SkinRect box;
  devstart::SkinFont font;
  UINT flags;
};

// Every text the window and the guide dialog draw, with the box, font and
// flags they draw it with. Buttons are as wide as one frame of their strip.
std::vector<DrawnText> DrawnTexts() {
  using namespace devstart;
  std::vector<DrawnText> texts;
  for (std::uint32_t id : {kTextInstallingDriver, kTextInstallingItk, kTextRunning, kTextInitializing}) {
    texts.push_back({id, kStatusLabel.rect, kStatusLabel.font, kStatusLabel.flags});
  }
  texts.push_back({kNoticeLabel.text, kNoticeLabel.rect, kNoticeLabel.font, kNoticeLabel.flags});
  for (const TextBlock& block : GuideTexts()) texts.push_back({block.text, block.rect, block.font, block.flags});
  struct Caption {
    std::uint32_t text, strip;
    SkinRect (*place)(int, int);
  };
  for (const Caption& c : {Caption{kTextCancel, kBmpCancel, CancelButtonRect},
                           Caption{kTextDownload, kBmpDownload, GuideDownloadRect},
                           Caption{kTextOk, kBmpOk, GuideOkRect}}) {
    SkinBitmap strip = LoadSkinBitmap(Self(), c.strip);
    texts.push_back({c.text, c.place(strip.width, strip.height), kButtonFont, kCaptionFlags});
  }
  return texts;
}

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD lang, LONG_PTR list) {
  if (lang != 0) reinterpret_cast<std::vector<WORD>*>(list)->push_back(lang);
  return TRUE;
}

// The languages of the string block holding the Cancel caption: every
// language the program carries has one.
std::vector<WORD> CarriedLanguages() {
  std::vector<WORD> langs;
  ::EnumResourceLanguagesW(Self(), MAKEINTRESOURCEW(kStringTable), MAKEINTRESOURCEW(devstart::kTextCancel / 16 + 1),
                           AddLanguage, reinterpret_cast<LONG_PTR>(&langs));
  std::sort(langs.begin(), langs.end());
  return langs;
}

int Measure() {
  devstart::Win32Modules modules;
  // A DC like the window's: the screen's, with the default mapping.
  devstart::gdi::MemoryDc dc(::CreateCompatibleDC(nullptr));
  if (!dc) return 1;
  std::vector<DrawnText> drawn = DrawnTexts();
  std::wstring out;
  for (WORD lang : CarriedLanguages()) {
    devstart::Texts texts(modules, lang);
    for (const DrawnText& t : drawn) {
      devstart::gdi::Font font = devstart::CreateSkinFont(t.font);
      devstart::gdi::Selection selected(dc.get(), font.get());
      // The box's width, for the lines a wrapped text breaks into; a word
      // wider than that widens the answer. Centring a line vertically only
      // moves it, and would move the answer's top off the line.
      RECT r{0, 0, t.box.width(), 0};
      ::DrawTextW(dc.get(), texts.Load(t.id).c_str(), -1, &r, (t.flags & ~DT_VCENTER) | DT_CALCRECT);
      int w = r.right - r.left, h = r.bottom - r.top;
      bool cut = w > t.box.width() || h > t.box.height();
      wchar_t line[160];
      std::swprintf(line, 160, L"lang=%04x id=%u need=%d,%d box=%d,%d cut=%d\n", lang, t.id, w, h, t.box.width(),
                    t.box.height(), cut ? 1 : 0);
      out += line;
    }
  }
  if (!out.empty()) out.pop_back();
  PrintLine(out);
  return 0;
}

// ---- the real window -----------------------------------------------------

// The manager with the steps that would touch the machine replaced: the
// driver step is the probe's, the rest answer as on a machine where the
// phone is in PC-suite mode and nothing is installed.
class ProbeManager : public devstart::CAutoRunManager {
 public:
  ProbeManager(devstart::Machine& machine, devstart::COption& option, std::function<int()> driver_step)
      : CAutoRunManager(machine, option), driver_step_(std::move(driver_step)) {}
  int StepDriver() override { return driver_step_(); }
  int ModeChange() override { return 0; }
  int CheckPCSuiteInstall() override { return 0; }
  int StepRun() override { return devstart::NORMAL_EXIT; }
  int CleanupStaging() override { return 0; }

 private:
  std::function<int()> driver_step_;
};

struct Scene {
  // Options as an absent config.ini leaves them: PC-suite mode.
  devstart::COption option;
  devstart::Win32Machine win32;
  devstart::Win32Modules modules;
  devstart::Texts texts;
  ProbeManager manager;
  devstart::InstallerWindow window;

  Scene(WORD lang, std::function<int(devstart::InstallerWindow&)> driver_step)
      : texts(modules, lang),
        manager(win32.machine(), option, [this, step = std::move(driver_step)] { return step(window); }),
        window(Self(), win32.machine(), manager, option, texts) {}
};

HWND Handle(devstart::WindowHandle w) { return reinterpret_cast<HWND>(w); }

// The driver step of "show": the window stays up, as during a real install,
// until the test says go on.
int WaitForGoOn(devstart::InstallerWindow& window) {
  HWND main = Handle(window.handle());
  ::UpdateWindow(main);
  PrintLine(L"ready");
  MSG msg;
  BOOL got;
  while ((got = ::GetMessageW(&msg, nullptr, 0, 0)) > 0) {
    if (msg.message == kGoOn && msg.hwnd == main) return 0;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  // The outer loop must see the quit too.
  if (got == 0) ::PostQuitMessage(static_cast<int>(msg.wParam));
  return 0;
}

int Show(const wchar_t* lang_hex) {
  wchar_t* end = nullptr;
  unsigned long lang = std::wcstoul(lang_hex, &end, 16);
  if (end == lang_hex || *end != L'\0' || lang == 0 || lang > 0xFFFF) return 2;
  Scene scene(static_cast<WORD>(lang), WaitForGoOn);
  return scene.window.Run(SW_SHOW);
}

constexpr int kRepaints = 1000;
constexpr int kHoverCycles = 100;
constexpr UINT kRepaintAll = RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN;

int Gdi() {
  int verdict = 1;
  Scene scene(devstart::kLangEnglishUK, [&verdict](devstart::InstallerWindow& window) {
    HWND main = Handle(window.handle());
    HWND guide = Handle(window.guide_dialog());
    HWND cancel = ::GetDlgItem(main, devstart::kIdCancel);
    ::UpdateWindow(main);
    ::ShowWindow(guide, SW_SHOWNOACTIVATE);
    ::UpdateWindow(guide);
    // The start stage disabled Cancel; the hover frame shows on an enabled one.
    ::EnableWindow(cancel, TRUE);
    int before = devstart::gdi::LiveObjects();
    for (int i = 0; i < kRepaints; ++i) ::RedrawWindow(main, nullptr, nullptr, kRepaintAll);
    for (int i = 0; i < kHoverCycles; ++i) {
      ::SendMessageW(cancel, WM_MOUSEHOVER, 0, 0);
      ::UpdateWindow(cancel);
      ::SendMessageW(cancel, WM_MOUSELEAVE, 0, 0);
      ::UpdateWindow(cancel);
      ::RedrawWindow(guide, nullptr, nullptr, kRepaintAll);
    }
    int after = devstart::gdi::LiveObjects();
    PrintLine(L"before=" + std::to_wstring(before) + L" after=" + std::to_wstring(after));
    verdict = before == after ? 0 : 1;
    // The start stage ends quietly for a window gone during its step.
    ::DestroyWindow(main);
    return 0;
  });
  scene.window.Run(SW_SHOWNOACTIVATE);
  return verdict;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring command = argc >= 2 ? argv[1] : L"";
  if (command == L"measure" && argc == 2) return Measure();
  if (command == L"show" && argc == 3) return Show(argv[2]);
  if (command == L"gdi" && argc == 2) return Gdi();
  std::fwprintf(stderr, L"usage: skin_probe measure | show LANG | gdi\n");
  return 2;
}
