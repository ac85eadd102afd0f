// Kernel handles of the simulated PC. Files, pipes, snapshots, processes,
// tokens and mutexes come from different fakes but are all closed by the one
// CloseHandle, so every kernel handle is entered in one table together with
// the fake that handed it out; CloseHandle finds the owner there and lets it
// forget the handle. Each fake's own set of open handles (what the leak checks
// of the tests read) therefore stays true whichever way a handle is closed.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/ports.h"

namespace devstart::sim {

// Case-insensitive key for paths and names, as Windows compares them.
std::wstring Fold(std::wstring s);
std::string Utf8(const std::wstring& s);
// The simulated PC's ANSI code page is Latin-1: a byte widens to the same
// code unit, and what has no single-byte form narrows to "?".
std::wstring Widen(const std::string& s);
std::string Narrow(const std::wstring& s);
// "0x1f": the form the fakes' call logs show masks and flags in.
std::wstring Hex(std::uint32_t v);

// A fake that hands out kernel handles.
class KernelObjectOwner {
 public:
  virtual ~KernelObjectOwner() = default;
  // Forgets an open handle of this owner; false when it was not open.
  virtual bool Release(Handle h) = 0;
};

class KernelHandles {
 public:
  // A fresh handle value, owned by `owner` until it is closed. Values are
  // multiples of four and never reused, so a stale handle stays invalid.
  Handle Open(KernelObjectOwner& owner);
  // CloseHandle: false when no fake has the handle open.
  bool Close(Handle h);
  bool IsOpen(Handle h) const { return owners_.count(h) != 0; }

 private:
  std::map<Handle, KernelObjectOwner*> owners_;
  Handle next_ = 0x100;
};

// CloseHandle for every kernel handle, and the named mutexes.
class FakeKernelObjects : public IKernelObjects, public KernelObjectOwner {
 public:
  explicit FakeKernelObjects(KernelHandles& handles) : handles_(handles) {}
  // Mutex names that exist. Tests put the names other processes hold here;
  // a name the program creates stays here too (tests clear it between runs).
  std::set<std::wstring> existing;
  std::vector<std::wstring> created;
  std::set<Handle> open_mutexes;
  // Every CloseHandle asked for, and the error of the last failed one.
  std::vector<Handle> closed;
  std::uint32_t last_error = 0;

  bool CloseHandle(Handle h) override;
  MutexResult CreateMutex(bool initial_owner, const std::wstring& name) override;
  bool Release(Handle h) override { return open_mutexes.erase(h) == 1; }

 private:
  KernelHandles& handles_;
};

}  // namespace devstart::sim
