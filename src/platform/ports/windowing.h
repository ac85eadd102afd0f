// Windows and message boxes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/results.h"

namespace devstart {

// A message box's caption: none, which MessageBoxW shows as the system's own
// localised "Error", or this text, which may be empty (an empty title bar).
// The program shows both kinds, so they are different values.
using BoxCaption = std::optional<std::wstring>;
inline const BoxCaption kSystemCaption = std::nullopt;

class IWindows {
 public:
  virtual ~IWindows() = default;
  // FindWindowW; an empty class or title is passed as NULL (any).
  virtual WindowHandle FindWindow(const std::wstring& class_name, const std::wstring& title) = 0;
  virtual bool SetWindowPos(WindowHandle w, WindowHandle insert_after, int x, int y, int cx, int cy,
                            std::uint32_t flags) = 0;
  virtual std::intptr_t SendMessage(WindowHandle w, std::uint32_t msg, std::uintptr_t wparam,
                                    std::intptr_t lparam) = 0;
  virtual bool PostMessage(WindowHandle w, std::uint32_t msg, std::uintptr_t wparam, std::intptr_t lparam) = 0;
  // MessageBoxW; returns the button pressed. Only kSystemCaption is passed
  // as NULL.
  virtual int MessageBox(WindowHandle owner, const std::wstring& text, const BoxCaption& caption,
                         std::uint32_t type) = 0;
};

}  // namespace devstart
