#include "fake/sim_kernel.h"

#include <cwchar>
#include <cwctype>

namespace devstart::sim {

std::wstring Fold(std::wstring out) {
  // Taken by value so a fresh path is folded where it lies, and ASCII by
  // hand: every path and name of the simulated PC passes here, thousands of
  // times a second in a fuzz run.
  for (wchar_t& c : out) {
    if (c >= L'A' && c <= L'Z') {
      c = static_cast<wchar_t>(c + (L'a' - L'A'));
    } else if (c >= 0x80) {
      c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    }
  }
  return out;
}

std::string Utf8(const std::wstring& s) {
  std::string out;
  out.reserve(s.size());
  for (wchar_t wc : s) {
    auto c = static_cast<std::uint32_t>(wc);
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::wstring Widen(const std::string& s) {
  std::wstring out;
  out.reserve(s.size());
  for (char c : s) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return out;
}

std::string Narrow(const std::wstring& s) {
  std::string out;
  out.reserve(s.size());
  for (wchar_t c : s) out.push_back(static_cast<std::uint32_t>(c) < 0x100 ? static_cast<char>(c) : '?');
  return out;
}

std::wstring Hex(std::uint32_t v) {
  wchar_t buf[16];
  std::swprintf(buf, 16, L"0x%x", v);
  return buf;
}

Handle KernelHandles::Open(KernelObjectOwner& owner) {
  Handle h = next_;
  next_ += 4;
  owners_[h] = &owner;
  return h;
}

bool KernelHandles::Close(Handle h) {
  auto it = owners_.find(h);
  if (it == owners_.end()) return false;
  KernelObjectOwner* owner = it->second;
  owners_.erase(it);
  return owner->Release(h);
}

bool FakeKernelObjects::CloseHandle(Handle h) {
  closed.push_back(h);
  if (handles_.Close(h)) return true;
  last_error = static_cast<std::uint32_t>(win::kErrorInvalidHandle);
  return false;
}

MutexResult FakeKernelObjects::CreateMutex(bool, const std::wstring& name) {
  Handle h = handles_.Open(*this);
  open_mutexes.insert(h);
  created.push_back(name);
  bool existed = !existing.insert(name).second;
  return MutexResult{h, existed ? win::kErrorAlreadyExists : 0u};
}

}  // namespace devstart::sim
