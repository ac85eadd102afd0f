// The few text helpers every layer needs, once.
#pragma once

#include <string>

namespace devstart {

// UTF-16LE bytes of a wide string, whatever the width of wchar_t (the trace
// file, pipe requests and registry strings all take this form).
std::string ToUtf16LeBytes(const std::wstring& text);

// An 8-bit text widened character by character (code units 0 to 255).
std::wstring Widen(const char* text);

// `folder`, one backslash, `name`: the backslash is left out when `folder`
// already ends in one. An empty folder is not special: it gives "\" + name,
// the root of the current drive, so a caller that must not land there checks
// for it first. An empty name gives the folder with its trailing backslash.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);

}  // namespace devstart
