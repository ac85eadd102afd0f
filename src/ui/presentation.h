// Turns a final autorun result code into the sentence the user sees and shows
// it in a modal error box.
#pragma once

#include <optional>
#include <string>

#include "platform/ports.h"
#include "ui/texts.h"

namespace devstart {

// The text for a code, or nullopt for the codes that show nothing.
std::optional<std::wstring> ComposeResultText(int code, const Texts& texts);

// Shows the result over `owner` (0 while there is no window). Code 1 only
// writes "NORMAL_EXIT" to the trace.
void ShowResult(int code, const Texts& texts, IWindows& windows, WindowHandle owner);

}  // namespace devstart
