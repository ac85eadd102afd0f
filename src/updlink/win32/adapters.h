// Thin Win32 adapters of the live-update library's ports.
#pragma once

#include "updlink/upd_ports.h"

namespace updlink::win32 {

class Registry final : public IRegistry {
 public:
  long OpenKey(Handle root, const std::string& subkey, std::uint32_t sam, Handle* out) override;
  long CreateKey(Handle root, const std::string& subkey, std::uint32_t options, std::uint32_t sam, Handle* out) override;
  long QueryValue(Handle key, const std::string& name, std::uint32_t size, std::string* data) override;
  long SetValue(Handle key, const std::string& name, std::uint32_t type, const std::string& data) override;
  long Flush(Handle key) override;
  long Close(Handle key) override;
};

class Internet final : public IInternet {
 public:
  Handle Open(const std::string& agent, std::uint32_t accessType, std::uint32_t flags) override;
  Handle OpenUrl(Handle session, const std::string& url, std::uint32_t flags, std::uintptr_t context) override;
  bool Read(Handle file, char* buffer, std::uint32_t size, std::uint32_t* read) override;
  bool QueryInfo(Handle request, std::uint32_t level, std::uint32_t bufferSize, std::string* out) override;
  void CloseHandle(Handle h) override;
};

class UrlDownload final : public IUrlDownload {
 public:
  long DownloadToFile(const std::string& url, const std::string& path) override;
};

class Cabinet final : public ICabinet {
 public:
  bool Iterate(const std::string& cabinet, const CabinetCallback& cb) override;
};

class Files final : public IFiles {
 public:
  std::string CurrentDirectory() override;
  bool CreateDirectory(const std::string& path) override;
  std::uint32_t GetAttributes(const std::string& path) override;
  bool SetAttributes(const std::string& path, std::uint32_t attributes) override;
  bool DeleteFile(const std::string& path) override;
  bool CanOpenForRead(const std::string& path) override;
  std::optional<std::string> ReadHead(const std::string& path, std::uint32_t count) override;
  std::optional<std::string> VersionValue(const std::string& path, const std::string& subBlock) override;
};

class Shell final : public IShell {
 public:
  bool SpecialFolder(int csidl, bool create, std::string* path) override;
  std::intptr_t Execute(const std::string& verb, const std::string& file, const std::string& params,
                        const std::string& dir, int show) override;
};

class Modules final : public IModules {
 public:
  Handle Load(const std::string& name) override;
  void* Proc(Handle module, const std::string& name) override;
};

class Com final : public ICom {
 public:
  long Initialize() override;
  void* CreateDocument(const std::string& progId) override;
  void Release(void* object) override;
  void Uninitialize() override;
};

class System final : public ISystem {
 public:
  std::string LocaleInfo(std::uint32_t locale, std::uint32_t type, int bufferChars) override;
  LocalTime Now() override;
  void Sleep(std::uint32_t ms) override;
  std::u16string MultiByteToWide(std::uint32_t codePage, const std::string& text) override;
  std::string WideToMultiByte(std::uint32_t codePage, const std::u16string& text) override;
};

// One of each, bundled for an export call.
struct Win32Env {
  Registry reg;
  Internet net;
  UrlDownload download;
  Cabinet cabinet;
  Files files;
  Shell shell;
  Modules modules;
  Com com;
  System sys;
  UpdEnv env{reg, net, download, cabinet, files, shell, modules, com, sys};
};

}  // namespace updlink::win32
