// Kernel handles and named mutexes, processes and the thread's messages,
// windows and message boxes.
#include "platform/win32/convert.h"

#include <vector>

#include "platform/win32/adapters.h"

namespace devstart {

using win32::FromHandle;
using win32::LookUp;
using win32::OrNull;
using win32::ToHandle;
using win32::ToHwnd;

// The ports name the 32-bit program's record sizes; a 64-bit build has its own.
static_assert(sizeof(void*) == 8 || sizeof(SHELLEXECUTEINFOW) == 60);
static_assert(sizeof(void*) == 8 || sizeof(PROCESSENTRY32W) == 556);

namespace {
std::optional<ProcessEntry> Entry(BOOL ok, const PROCESSENTRY32W& e) {
  if (!ok) return std::nullopt;
  return ProcessEntry{e.th32ProcessID, reinterpret_cast<const wchar_t*>(e.szExeFile)};
}
}  // namespace

bool Win32KernelObjects::CloseHandle(Handle h) { return ::CloseHandle(ToHandle(h)) != FALSE; }

MutexResult Win32KernelObjects::CreateMutex(bool initial_owner, const std::wstring& name) {
  // GetLastError matters on success too: ERROR_ALREADY_EXISTS is the second instance.
  HANDLE h = ::CreateMutexW(nullptr, initial_owner ? TRUE : FALSE, name.c_str());
  DWORD err = ::GetLastError();
  return MutexResult{FromHandle(h), err};
}

Handle Win32Processes::CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t process_id) {
  return FromHandle(::CreateToolhelp32Snapshot(flags, process_id));
}

std::optional<ProcessEntry> Win32Processes::Process32First(Handle snapshot) {
  PROCESSENTRY32W e{};
  e.dwSize = sizeof(e);
  return Entry(::Process32FirstW(ToHandle(snapshot), &e), e);
}

std::optional<ProcessEntry> Win32Processes::Process32Next(Handle snapshot) {
  PROCESSENTRY32W e{};
  e.dwSize = sizeof(e);
  return Entry(::Process32NextW(ToHandle(snapshot), &e), e);
}

ShellExecuteResult Win32Processes::ShellExecuteEx(std::uint32_t mask, const std::wstring& verb,
                                                  const std::wstring& file, const std::wstring& parameters,
                                                  const std::wstring& directory, int show) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = mask;
  info.lpVerb = verb.c_str();
  info.lpFile = file.c_str();
  info.lpParameters = OrNull(parameters);
  info.lpDirectory = OrNull(directory);
  info.nShow = show;
  ShellExecuteResult r;
  r.ok = ::ShellExecuteExW(&info) != FALSE;
  r.error = r.ok ? 0 : ::GetLastError();
  r.process = FromHandle(info.hProcess);
  return r;
}

std::optional<std::uint32_t> Win32Processes::GetProcessIdByName(Handle process) {
  // Windows XP SP1 and later only.
  using Fn = DWORD(WINAPI*)(HANDLE);
  static Fn fn = LookUp<Fn>(L"kernel32.dll", "GetProcessId");
  if (!fn) return std::nullopt;
  return fn(ToHandle(process));
}

std::optional<std::uint32_t> Win32Processes::NtQueryProcessIdByName(Handle process) {
  // PROCESS_BASIC_INFORMATION: six pointer-sized fields, the identifier fifth.
  using Fn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  static Fn fn = LookUp<Fn>(L"ntdll.dll", "NtQueryInformationProcess");
  if (!fn) return std::nullopt;
  ULONG_PTR info[6] = {};
  if (fn(ToHandle(process), 0, info, sizeof(info), nullptr) < 0) return std::nullopt;
  return static_cast<std::uint32_t>(info[4]);
}

std::uint32_t Win32Processes::MsgWaitForMultipleObjects(const std::vector<Handle>& handles, std::uint32_t timeout_ms,
                                                        std::uint32_t wake_mask) {
  std::vector<HANDLE> hs;
  for (Handle h : handles) hs.push_back(ToHandle(h));
  return ::MsgWaitForMultipleObjects(static_cast<DWORD>(hs.size()), hs.empty() ? nullptr : hs.data(), FALSE,
                                     timeout_ms, wake_mask);
}

PumpedMessage Win32Processes::DispatchOneMessage() {
  MSG msg;
  if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return {};
  if (msg.message == WM_QUIT) return {true, static_cast<int>(msg.wParam)};
  ::TranslateMessage(&msg);
  ::DispatchMessageW(&msg);
  return {true, std::nullopt};
}

void Win32Processes::PostQuitMessage(int exit_code) { ::PostQuitMessage(exit_code); }

std::intptr_t Win32Processes::ShellExecute(WindowHandle owner, const std::wstring& verb, const std::wstring& file,
                                          const std::wstring& parameters, const std::wstring& directory, int show) {
  return reinterpret_cast<std::intptr_t>(::ShellExecuteW(ToHwnd(owner), OrNull(verb), file.c_str(), OrNull(parameters),
                                                         OrNull(directory), show));
}

std::intptr_t Win32Processes::ShellExecuteA(const std::string& verb, const std::string& file,
                                           const std::string& parameters, const std::string& directory, int show) {
  return reinterpret_cast<std::intptr_t>(
      ::ShellExecuteA(nullptr, OrNull(verb), file.c_str(), OrNull(parameters), OrNull(directory), show));
}

WindowHandle Win32Windows::FindWindow(const std::wstring& class_name, const std::wstring& title) {
  // NULL matches any class or title; an empty string would match only an empty one.
  return reinterpret_cast<WindowHandle>(::FindWindowW(OrNull(class_name), OrNull(title)));
}

bool Win32Windows::SetWindowPos(WindowHandle w, WindowHandle insert_after, int x, int y, int cx, int cy,
                                std::uint32_t flags) {
  return ::SetWindowPos(ToHwnd(w), ToHwnd(insert_after), x, y, cx, cy, flags) != FALSE;
}

std::intptr_t Win32Windows::SendMessage(WindowHandle w, std::uint32_t msg, std::uintptr_t wparam,
                                        std::intptr_t lparam) {
  return ::SendMessageW(ToHwnd(w), msg, wparam, lparam);
}

bool Win32Windows::PostMessage(WindowHandle w, std::uint32_t msg, std::uintptr_t wparam, std::intptr_t lparam) {
  return ::PostMessageW(ToHwnd(w), msg, wparam, lparam) != FALSE;
}

int Win32Windows::MessageBox(WindowHandle owner, const std::wstring& text, const BoxCaption& caption,
                             std::uint32_t type) {
  return ::MessageBoxW(ToHwnd(owner), text.c_str(), caption ? caption->c_str() : nullptr, type);
}

}  // namespace devstart
