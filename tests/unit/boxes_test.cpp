// Every message box the program shows, reached through the operation that
// shows it, with the four things a person sees pinned: text, caption (none
// is the system's "Error", empty is an empty title bar), style and owner.
#include <gtest/gtest.h>

#include "app/installer_stages.h"
#include "ui/presentation.h"
#include "unit/traced_pc.h"

namespace devstart {
namespace {

constexpr WindowHandle kMain = 0x10;
constexpr WindowHandle kGuide = 0x20;
constexpr OsVersion kXp{5, 1, 2600, 2, 3, 1};

// The window as the stage machine sees it; only its handles matter here.
struct StillWindow : IStageWindow {
  WindowHandle handle() const override { return kMain; }
  WindowHandle guide_dialog() const override { return kGuide; }
  bool alive() const override { return true; }
  void Send(std::uint32_t, std::uintptr_t) override {}
  void SetStatus(const std::wstring&, bool) override {}
  void EnableCancel(bool) override {}
  void Hide() override {}
  void ShowGuideDialog() override {}
  void KillTimer(std::uintptr_t) override {}
  void EndProcess(int) override {}
};

void WrongMode(World& w, std::uint32_t msg) {
  StillWindow window;
  Texts texts(w.pc.modules, ChooseUiLanguage(w.pc.system.GetUserDefaultUILanguage()));
  InstallerStages stages(w.manager(), w.option, texts, w.pc.windows, window);
  stages.OnMessage(msg, 0);
}

// AutoRun off for the CD-ROM service and hidden by the user's policy: the
// question, then (after OK) the reboot notice.
void AutoRunOff(World& w) {
  w.pc.system.version = kXp;
  w.pc.registry.os_64bit = false;
  w.pc.registry.PutDword(L"HKLM\\SYSTEM\\CurrentControlSet\\Services\\Cdrom", L"Autorun", 0);
  w.pc.registry.PutDword(L"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
                         L"NoDriveTypeAutorun", 0xB5);
  w.manager().CheckAndRepairWindowAutoRun();
}

void Result(World& w, int code, WindowHandle owner) {
  Texts texts(w.pc.modules, ChooseUiLanguage(w.pc.system.GetUserDefaultUILanguage()));
  ShowResult(code, texts, w.pc.windows, owner);
}

struct Shown {
  std::wstring text;
  BoxCaption caption;
  std::uint32_t style;
  WindowHandle owner;
  bool operator==(const Shown&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Shown& s) {
  return os << sim::Utf8(s.text) << " | " << (s.caption ? "\"" + sim::Utf8(*s.caption) + "\"" : "(system)") << " | 0x"
            << std::hex << s.style << " | owner 0x" << s.owner << std::dec;
}

struct BoxCase {
  int line;
  std::uint16_t language;
  std::function<void(World&)> reach;
  std::vector<Shown> expected;
};

TEST(Boxes, EachBoxAsThePersonSeesIt) {
  const std::wstring wrong_mode =
      L"Device is connected using an incorrect mode. End or cancel the installation and try again.";
  const std::wstring wrong_mode_de =
      L"Das Ger\u00E4t ist in einem falschen Modus verbunden. Beenden Sie die Installation oder brechen Sie sie ab, "
      L"und versuchen Sie es erneut.";
  const BoxCase cases[] = {
      {__LINE__, 0x0409, AutoRunOff,
       {{L"Autorun function is deactivated. Do you want to activate Autorun function?", L"", 0x21, 0},
        {L"Some of settings will be applied after rebooting.", L"Warning", 0x30, 0}}},
      {__LINE__, 0x0407, AutoRunOff,
       {{L"Die Autorun-Funktion ist deaktiviert. M\u00F6chten Sie die Autorun-Funktion aktivieren?", L"", 0x21, 0},
        {L"Einige Einstellungen werden erst nach einem Neustart \u00FCbernommen.", L"Warnung", 0x30, 0}}},
      {__LINE__, 0x0409, [](World& w) { WrongMode(w, kUmWrongMode); }, {{wrong_mode, kSystemCaption, 0x0, kMain}}},
      {__LINE__, 0x0409, [](World& w) { WrongMode(w, kUmWrongModeDialog); },
       {{wrong_mode, kSystemCaption, 0x0, kGuide}}},
      {__LINE__, 0x0407, [](World& w) { WrongMode(w, kUmWrongMode); }, {{wrong_mode_de, kSystemCaption, 0x0, kMain}}},
      // Result boxes: the caption is never translated.
      {__LINE__, 0x0409, [](World& w) { Result(w, 209, 0); },
       {{L"Administrator account is required for access.", L"Devstart", 0x10, 0}}},
      {__LINE__, 0x0409, [](World& w) { Result(w, 303, kMain); }, {{L"Failed to set up.", L"Devstart", 0x10, kMain}}},
      {__LINE__, 0x0407, [](World& w) { Result(w, 303, kMain); },
       {{L"Die Einrichtung ist fehlgeschlagen.", L"Devstart", 0x10, kMain}}},
      {__LINE__, 0x0409, [](World& w) { Result(w, 301, kMain); },
       {{L"Unknown error code has been displayed.(error code is 301)", L"Devstart", 0x10, kMain}}},
      {__LINE__, 0x0409, [](World& w) { Result(w, 304, kMain); }, {}},
  };
  for (const BoxCase& c : cases) {
    World w;
    w.pc.system.ui_language = c.language;
    c.reach(w);
    std::vector<Shown> shown;
    for (const auto& b : w.pc.windows.MessageBoxes()) {
      shown.push_back({b.text, b.box_caption, static_cast<std::uint32_t>(b.a), b.window});
    }
    EXPECT_EQ(shown, c.expected) << "row at line " << c.line;
  }
}

}  // namespace
}  // namespace devstart
