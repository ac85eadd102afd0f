// Localised texts: the UI language chosen at start-up and the string loader.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ports.h"

namespace devstart {

constexpr std::uint16_t kLangEnglishUK = 0x0809;
constexpr std::uint16_t kLangEnglishUS = 0x0409;
constexpr std::uint16_t kLangSpanishModern = 0x0C0A;
constexpr std::uint16_t kLangSpanishTraditional = 0x040A;

// The language the program shows for a system UI language: the supported
// ones unchanged (modern Spanish as traditional), everything else English (UK).
std::uint16_t ChooseUiLanguage(std::uint16_t system_language);

// True for the 35 supported identifiers besides English (UK).
bool IsSupportedUiLanguage(std::uint16_t lang);

// Chooses the language from the system default and sets it on the thread;
// returns the language chosen.
std::uint16_t SelectUiLanguage(ISystemInfo& system);

// Loads texts by id in one language, falling back to English (UK) when the
// language lacks an id; a text is cut to 999 characters like the 1000-character
// buffer the program always used.
class Texts {
 public:
  Texts(IModules& resources, std::uint16_t lang) : resources_(resources), lang_(lang) {}
  std::wstring Load(std::uint32_t id) const;
  std::uint16_t language() const { return lang_; }
  void set_language(std::uint16_t lang) { lang_ = lang; }

 private:
  IModules& resources_;
  std::uint16_t lang_;
};

}  // namespace devstart
