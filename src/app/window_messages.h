// The installer window's private messages (WM_USER + 100 ...): its stages,
// and the wrong-mode box that a second start of the program asks it for.
#pragma once

#include <cstdint>

namespace devstart {

enum WindowMessage : std::uint32_t {
  kUmPcSuiteStage = 1124,
  kUmStartStage = 1125,
  kUmItkStage = 1126,
  kUmRunStage = 1127,
  kUmFailStage = 1128,
  // From a second start in PC-suite mode while this run is in Internet Kit
  // mode: the box over the window.
  kUmWrongMode = 1129,
  // From a second start in another mode while this run is not in Internet
  // Kit mode: the box over the guide dialog.
  kUmWrongModeDialog = 1130,
  kUmSwUpdateStage = 1131,
};

}  // namespace devstart
