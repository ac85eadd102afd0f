// Between the ports' plain values and the SDK's types, for the adapters only.
#pragma once

#include "platform/win32/win_api.h"

#include <string>

#include "platform/ports.h"

namespace devstart::win32 {

inline HANDLE ToHandle(Handle h) { return reinterpret_cast<HANDLE>(h); }
inline Handle FromHandle(const void* h) { return reinterpret_cast<Handle>(h); }
inline HWND ToHwnd(WindowHandle w) { return reinterpret_cast<HWND>(w); }
inline HKEY ToHkey(RegKey k) { return reinterpret_cast<HKEY>(k); }
inline SC_HANDLE ToSc(Handle h) { return reinterpret_cast<SC_HANDLE>(h); }

// An empty string stands for "none" where the call takes NULL.
inline const wchar_t* OrNull(const std::wstring& s) { return s.empty() ? nullptr : s.c_str(); }
inline const char* OrNull(const std::string& s) { return s.empty() ? nullptr : s.c_str(); }

// A BOOL call's result; GetLastError must be taken before anything else runs.
inline CallResult Result(BOOL ok) { return CallResult{ok != FALSE, ok ? 0u : ::GetLastError()}; }

// A handle call's result: `failed` says which value the call uses for failure.
inline HandleResult HandleOf(const void* h, bool failed) {
  return HandleResult{FromHandle(h), failed ? ::GetLastError() : 0u};
}

// Entry points that older systems lack, looked up by name in a module the
// process has loaded already (kernel32, ntdll, advapi32); null when missing.
template <typename F>
F LookUp(const wchar_t* module, const char* name) {
  HMODULE m = ::GetModuleHandleW(module);
  return m ? reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(m, name))) : nullptr;
}

}  // namespace devstart::win32
