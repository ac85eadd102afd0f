// One owning type for every handle the logic holds. The traits name the port
// that closes the handle, the value that means "no handle" for that kind
// (NULL for keys, processes and services, INVALID_HANDLE_VALUE for files,
// find handles and snapshots) and the close call itself, so that no path out
// of a function can leak a handle and no kind is closed by the wrong call.
//
//   struct RegKeyTraits {
//     using Port = IRegistry;
//     using Value = RegKey;
//     static constexpr Value kInvalid = 0;
//     static void Close(Port& p, Value v) { p.RegCloseKey(v); }
//   };
//   ScopedHandle<RegKeyTraits> key(registry, opened);
#pragma once

#include <utility>

namespace devstart {

template <typename Traits>
class ScopedHandle {
 public:
  using Port = typename Traits::Port;
  using Value = typename Traits::Value;

  ScopedHandle() = default;
  ScopedHandle(Port& port, Value value) : port_(&port), value_(value) {}
  ~ScopedHandle() { reset(); }

  ScopedHandle(ScopedHandle&& other) noexcept : port_(other.port_), value_(other.release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) {
      reset();
      port_ = other.port_;
      value_ = other.release();
    }
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  bool valid() const { return value_ != Traits::kInvalid; }
  explicit operator bool() const { return valid(); }
  Value get() const { return value_; }

  // Gives the handle up without closing it.
  Value release() {
    Value v = value_;
    value_ = Traits::kInvalid;
    return v;
  }

  // Closes the handle held (if any) and takes `value`, closed later through `port`.
  void reset(Port& port, Value value) {
    reset();
    port_ = &port;
    value_ = value;
  }
  void reset() {
    if (valid() && port_ != nullptr) Traits::Close(*port_, value_);
    value_ = Traits::kInvalid;
  }

 private:
  Port* port_ = nullptr;
  Value value_ = Traits::kInvalid;
};

}  // namespace devstart
