// Owners of GDI objects and device contexts, and a count of the ones alive.
// GetGuiResources is no help for a leak check under Wine (it answers 0), so
// every object the skin makes is held through these types, which count.
#pragma once

#include "platform/win32/win_api.h"

namespace devstart::gdi {

// GDI objects and memory device contexts held through the owners below.
inline int& LiveObjects() {
  static int live = 0;
  return live;
}

template <typename Value, BOOL(WINAPI* Delete)(Value)>
class Owner {
 public:
  Owner() = default;
  explicit Owner(Value v) : value_(v) {
    if (value_) ++LiveObjects();
  }
  ~Owner() { reset(); }
  Owner(Owner&& o) noexcept : value_(o.value_) { o.value_ = nullptr; }
  Owner& operator=(Owner&& o) noexcept {
    if (this != &o) {
      reset();
      value_ = o.value_;
      o.value_ = nullptr;
    }
    return *this;
  }
  Owner(const Owner&) = delete;
  Owner& operator=(const Owner&) = delete;

  Value get() const { return value_; }
  explicit operator bool() const { return value_ != nullptr; }
  void reset() {
    if (value_) {
      Delete(value_);
      --LiveObjects();
    }
    value_ = nullptr;
  }

 private:
  Value value_ = nullptr;
};

inline BOOL WINAPI DeleteBitmap(HBITMAP b) { return ::DeleteObject(b); }
inline BOOL WINAPI DeleteFont(HFONT f) { return ::DeleteObject(f); }

using Bitmap = Owner<HBITMAP, DeleteBitmap>;
using Font = Owner<HFONT, DeleteFont>;
// A memory device context (CreateCompatibleDC), deleted with DeleteDC.
using MemoryDc = Owner<HDC, ::DeleteDC>;

// Selects an object into a device context for a scope and puts the previous
// one back, so that no owner deletes an object still selected.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(object ? ::SelectObject(dc, object) : nullptr) {}
  ~Selection() {
    if (previous_) ::SelectObject(dc_, previous_);
  }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace devstart::gdi
