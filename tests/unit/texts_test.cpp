#include <gtest/gtest.h>

#include "fake/sim_pc.h"
#include "ui/presentation.h"
#include "ui/texts.h"

namespace devstart {
namespace {

TEST(UiLanguage, ChoiceForSystemLanguages) {
  const std::pair<std::uint16_t, std::uint16_t> cases[] = {
      {0x0809, 0x0809}, {0x0409, 0x0809}, {0x0C0A, 0x040A}, {0x0411, 0x0809}, {0x0407, 0x0407},
      {0x0C07, 0x0809}, {0x0000, 0x0809}, {0x2C0A, 0x2C0A}, {0x041E, 0x041E},
  };
  for (auto [system, chosen] : cases) EXPECT_EQ(ChooseUiLanguage(system), chosen) << std::hex << system;
}

TEST(UiLanguage, EverySupportedLanguageIsKeptAndHasItsTexts) {
  std::vector<std::uint16_t> shipped = sim::FakeModules::Languages();
  int supported = 0;
  for (std::uint16_t lang : shipped) {
    if (lang == kLangEnglishUK || lang == kLangEnglishUS) continue;
    ++supported;
    std::uint16_t expected = lang == kLangSpanishModern ? kLangSpanishTraditional : lang;
    EXPECT_EQ(ChooseUiLanguage(lang), expected) << std::hex << lang;
    EXPECT_TRUE(IsSupportedUiLanguage(lang)) << std::hex << lang;
  }
  EXPECT_EQ(supported, 34);  // + English (UK) and Spanish (modern) mapped = 35 supported ids
  EXPECT_EQ(shipped.size(), 36u);
}

TEST(UiLanguage, EveryLanguageCarriesEveryId) {
  std::vector<std::uint32_t> english = sim::FakeModules::Ids(kLangEnglishUK);
  EXPECT_EQ(english.size(), 43u);
  for (std::uint16_t lang : sim::FakeModules::Languages()) {
    std::vector<std::uint32_t> ids = sim::FakeModules::Ids(lang);
    if (lang == 0x041E) {
      ASSERT_EQ(ids.back(), 2104u);
      ids.pop_back();
    }
    EXPECT_EQ(ids, english) << std::hex << lang;
  }
}

struct SetLanguageCase {
  const char* name;
  std::optional<OsVersion> version;
  bool has_function;
  bool via_ui_language;
};
TEST(UiLanguage, ThreadLanguageIsSetTheWayTheSystemAllows) {
  const SetLanguageCase cases[] = {
      {"vista_or_7", OsVersion{6, 1, 7601, 2, 1, 1}, true, true},
      {"version_6_without_function", OsVersion{6, 0, 6000, 2, 0, 1}, false, false},
      {"xp", OsVersion{5, 1, 2600, 2, 3, 1}, true, false},
      {"windows_2000", OsVersion{5, 0, 2195, 2, 4, 1}, true, false},
      {"unreadable", std::nullopt, true, false},
  };
  for (const auto& c : cases) {
    sim::SimPc pc;
    pc.system.version = c.version;
    pc.system.has_set_thread_ui_language = c.has_function;
    pc.system.ui_language = 0x0407;
    EXPECT_EQ(SelectUiLanguage(pc.system), 0x0407) << c.name;
    EXPECT_EQ(pc.system.thread_ui_language_calls.size(), c.via_ui_language ? 1u : 0u) << c.name;
    EXPECT_EQ(pc.system.thread_locale_calls.size(), c.via_ui_language ? 0u : 1u) << c.name;
  }
}

TEST(Texts, MissingIdFallsBackToEnglishAndLongTextsAreCut) {
  struct Resources : sim::FakeModules {
    std::optional<std::wstring> LoadString(std::uint32_t id, std::uint16_t lang) override {
      if (id == 1 && lang == kLangEnglishUK) return L"english";
      if (id == 2) return std::wstring(1200, L'z');
      return std::nullopt;
    }
  } res;
  Texts german(res, 0x0407);
  EXPECT_EQ(german.Load(1), L"english");
  EXPECT_EQ(german.Load(2).size(), 999u);
  EXPECT_EQ(german.Load(3), L"");
}

struct PresentCase {
  int code;
  std::uint16_t lang;
  std::optional<std::wstring> text;
};
TEST(Presentation, CodesComposeTheirSentences) {
  const PresentCase cases[] = {
      {0, 0x0809, std::nullopt},
      {1, 0x0809, std::nullopt},
      {304, 0x0809, std::nullopt},
      {2, 0x0809, L"Unknown error has occurred."},
      {100, 0x0809, L"Unknown error has occurred during SCSI Command transmission."},
      {101, 0x0809, L"SCSI Command transmission error has occurred. (FAIL_TO_OPEN_DRIVE)"},
      {102, 0x0809, L"SCSI Command transmission error has occurred. (FAIL_TO_SEND_SCSI_CMD)"},
      {103, 0x0809, L"SCSI Command transmission error has occurred. (FAIL_TO_OPEN_DRIVE_ACCESS_DENIED)"},
      {104, 0x0809, L"SCSI Command transmission error has occurred. (FAIL_TO_FIND_DRIVE)"},
      {105, 0x0809, L"ISO value for modes is unknown."},
      {200, 0x0809, L"Unknown error has occurred during Windows Service Management."},
      {201, 0x0809, L"Windows Service Management failed."},
      {205, 0x0809, L"Windows Service Management failed."},
      {208, 0x0809, L"Windows Service Management failed."},
      {209, 0x0809, L"Administrator account is required for access."},
      {300, 0x0809, L"Failed to execute VTP."},
      {301, 0x0809, L"Unknown error code has been displayed.(error code is 301)"},
      {302, 0x0809, L"Failed to uninstall."},
      {303, 0x0809, L"Failed to set up."},
      {305, 0x0809, L"Failed to set up."},
      {306, 0x0809, L"USB driver is not installed."},
      {307, 0x0809, L"VTP is not installed."},
      {308, 0x0809, L"Tavo PC Suite IV not installed."},
      {400, 0x0809,
       L"The following applications should be closed before you continue to install Tavo PC Suite.\n\n"
       L"(PC internet via the phone)"},
      {401, 0x0809,
       L"The following applications should be closed before you continue to install Tavo PC Suite.\n\n"
       L"(Tavo Internet Kit)"},
      {402, 0x0809,
       L"The following applications should be closed before you continue to install PC internet via the "
       L"phone.\n\n(Tavo PC Suite)"},
      {403, 0x0809,
       L"The following applications should be closed before you continue to install PC internet via the "
       L"phone.\n\n(Tavo Internet Kit)"},
      {404, 0x0809,
       L"The following applications should be closed before you continue to install Tavo Internet Kit.\n\n"
       L"(PC internet via the phone)"},
      {405, 0x0809,
       L"The following applications should be closed before you continue to install Tavo Internet Kit.\n\n"
       L"(Tavo PC Suite)"},
      {-7, 0x0809, L"Unknown error code has been displayed.(error code is -7)"},
      {999, 0x0809, L"Unknown error code has been displayed.(error code is 999)"},
  };
  sim::SimPc pc;
  for (const auto& c : cases) {
    Texts texts(pc.modules, c.lang);
    EXPECT_EQ(ComposeResultText(c.code, texts), c.text) << c.code;
  }
}

TEST(Presentation, GermanSentencesForABlockedInstall) {
  sim::SimPc pc;
  Texts german(pc.modules, 0x0407);
  EXPECT_EQ(ComposeResultText(401, german),
            L"Die folgenden Anwendungen m\u00FCssen geschlossen werden, bevor Sie mit der Installation von Tavo PC "
            L"Suite fortfahren.\n\n(Tavo Internet Kit)");
  // The suffixes of the SCSI errors are never translated.
  EXPECT_EQ(ComposeResultText(104, german),
            L"Bei der \u00DCbertragung des SCSI-Befehls ist ein Fehler aufgetreten. (FAIL_TO_FIND_DRIVE)");
}

TEST(Presentation, BoxIsModalErrorWithCaptionDevstart) {
  sim::SimPc pc;
  Texts texts(pc.modules, 0x0809);
  ShowResult(205, texts, pc.windows, 0x1234);
  ShowResult(304, texts, pc.windows, 0x1234);
  auto boxes = pc.windows.MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].window, 0x1234u);
  EXPECT_EQ(boxes[0].caption, L"Devstart");
  EXPECT_EQ(boxes[0].a, win::kMbIconHand | win::kMbOk);
  EXPECT_EQ(boxes[0].text, L"Windows Service Management failed.");
}

}  // namespace
}  // namespace devstart
