// Win32 adapters of the ports: one system call per operation, nothing decided.
#pragma once

#include "platform/ports.h"

namespace devstart {

class Win32System : public ISystem {
 public:
  std::wstring GetTempPath() override;
  std::wstring GetCurrentDirectory() override;
  std::wstring GetModuleFileName() override;
  std::optional<OsVersion> GetVersion() override;
  std::uint16_t GetUserDefaultUILanguage() override;
  std::optional<std::uint16_t> SetThreadUILanguageByName(std::uint16_t lang) override;
  bool SetThreadLocale(std::uint32_t lcid) override;
  std::uint32_t GetTickCount() override;
  void OutputDebugString(const std::wstring& text) override;
};

class Win32Files : public IFiles {
 public:
  Handle CreateFile(const std::wstring& path, std::uint32_t access, std::uint32_t share,
                    std::uint32_t disposition, std::uint32_t attributes) override;
  bool WriteFile(Handle file, const void* bytes, std::uint32_t size) override;
  bool CloseHandle(Handle h) override;
};

class Win32Profile : public IProfile {
 public:
  ProfileRead GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                      const std::wstring& default_value, std::uint32_t size,
                                      const std::wstring& file) override;
};

class Win32Sync : public ISync {
 public:
  MutexResult CreateMutex(bool initial_owner, const std::wstring& name) override;
  bool CloseHandle(Handle h) override;
};

class Win32Windows : public IWindows {
 public:
  WindowHandle FindWindow(const std::wstring& class_name, const std::wstring& title) override;
  bool SetWindowPos(WindowHandle w, WindowHandle insert_after, int x, int y, int cx, int cy,
                    std::uint32_t flags) override;
  std::intptr_t SendMessage(WindowHandle w, std::uint32_t msg, std::uintptr_t wparam,
                            std::intptr_t lparam) override;
  int MessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
                 std::uint32_t type) override;
};

// String tables of one module (the program itself unless told otherwise).
class Win32StringResources : public IStringResources {
 public:
  explicit Win32StringResources(void* module = nullptr) : module_(module) {}
  std::optional<std::wstring> LoadString(std::uint32_t id, std::uint16_t lang) override;

 private:
  void* module_;
};

}  // namespace devstart
