// The few text helpers every layer needs, once.
#pragma once

#include <string>

namespace devstart {

// UTF-16LE bytes of a wide string, whatever the width of wchar_t (the trace
// file, pipe requests and registry strings all take this form).
std::string ToUtf16LeBytes(const std::wstring& text);

// An 8-bit text widened character by character (code units 0 to 255).
std::wstring Widen(const char* text);

}  // namespace devstart
