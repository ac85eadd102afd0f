#include "ui/texts.h"

#include <algorithm>
#include <array>

namespace devstart {

namespace {
constexpr std::array<std::uint16_t, 35> kSupported = {
    0x0402, 0x0404, 0x0405, 0x0406, 0x0407, 0x0408, 0x040A, 0x040B, 0x040C,
    0x040E, 0x0410, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0418, 0x0419,
    0x041A, 0x041B, 0x041D, 0x041E, 0x041F, 0x0421, 0x0424, 0x042A, 0x043E,
    0x0804, 0x080A, 0x0816, 0x081A, 0x0C04, 0x0C0A, 0x0C0C, 0x2C0A};
constexpr std::size_t kMaxText = 999;
}  // namespace

bool IsSupportedUiLanguage(std::uint16_t lang) {
  return std::find(kSupported.begin(), kSupported.end(), lang) != kSupported.end();
}

std::uint16_t ChooseUiLanguage(std::uint16_t system_language) {
  if (system_language == kLangEnglishUK) return system_language;
  if (system_language == kLangSpanishModern) return kLangSpanishTraditional;
  if (IsSupportedUiLanguage(system_language)) return system_language;
  return kLangEnglishUK;
}

std::uint16_t SelectUiLanguage(ISystemInfo& system) {
  std::uint16_t lang = ChooseUiLanguage(system.GetUserDefaultUILanguage());
  std::optional<OsVersion> version = system.GetVersion();
  bool set = false;
  if (version && version->major == 6) {
    std::optional<std::uint16_t> r = system.SetThreadUILanguageByName(lang);
    set = r.has_value();
  }
  if (!set) system.SetThreadLocale(lang);
  return lang;
}

std::wstring Texts::Load(std::uint32_t id) const {
  std::optional<std::wstring> text = resources_.LoadString(id, lang_);
  if (!text && lang_ != kLangEnglishUK) text = resources_.LoadString(id, kLangEnglishUK);
  if (!text) return {};
  if (text->size() > kMaxText) text->resize(kMaxText);
  return *text;
}

}  // namespace devstart
