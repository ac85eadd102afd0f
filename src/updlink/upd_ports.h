// The live-update library's view of the OS: small interfaces in Win32
// vocabulary, arguments passed through unchanged. The Win32 adapters live in
// win32/; the simulated PC for tests lives in tests/fake/sim_updlink.h.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace updlink {

// SDK values the logic passes through (static_asserted in win32/adapters.cpp).
namespace win {
constexpr std::uintptr_t kHkeyCurrentUser = 0x80000001u;
constexpr std::uintptr_t kHkeyLocalMachine = 0x80000002u;
constexpr std::uint32_t kKeyAllAccess = 0xF003F;
constexpr std::uint32_t kKeyRead = 0x20019;
constexpr std::uint32_t kRegOptionNonVolatile = 0;
constexpr std::uint32_t kRegSz = 1;
constexpr long kErrorSuccess = 0;
constexpr std::uint32_t kInternetOpenTypePreconfig = 0;
constexpr std::uint32_t kInternetFlagReload = 0x80000000u;
constexpr std::uint32_t kInternetFlagTransferBinary = 0x2;
constexpr std::uint32_t kInternetFlagNoCacheWrite = 0x04000000u;
constexpr std::uint32_t kHttpQueryContentLength = 5;
constexpr std::uint32_t kHttpQueryStatusCode = 19;
constexpr std::uint32_t kSpFileNotifyFileInCabinet = 0x11;
constexpr std::uint32_t kSpFileNotifyFileExtracted = 0x13;
constexpr std::uint32_t kFileOpSkip = 2;
constexpr std::uint32_t kFileOpDoIt = 1;
constexpr std::uint32_t kNoError = 0;
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kFileAttributeNormal = 0x80;
constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
constexpr std::uint32_t kFileAttributeDirectory = 0x10;
constexpr int kCsidlCommonAppData = 0x23;
constexpr int kSwShowNormal = 1;
constexpr std::uint32_t kCpUtf8 = 65001;
constexpr std::uint32_t kCpAcp = 0;
constexpr std::uint32_t kLocaleUserDefault = 0x400;
constexpr std::uint32_t kLocaleSAbbrevCtryName = 0x7;
constexpr long kSOk = 0;
}  // namespace win

using Handle = std::uintptr_t;  // 0 = none

class IRegistry {
 public:
  virtual ~IRegistry() = default;
  virtual long OpenKey(Handle root, const std::string& subkey, std::uint32_t sam, Handle* out) = 0;
  virtual long CreateKey(Handle root, const std::string& subkey, std::uint32_t options,
                         std::uint32_t sam, Handle* out) = 0;
  // RegQueryValueExA into a buffer of `size` bytes; `data` receives the bytes.
  virtual long QueryValue(Handle key, const std::string& name, std::uint32_t size,
                          std::string* data) = 0;
  virtual long SetValue(Handle key, const std::string& name, std::uint32_t type,
                        const std::string& data) = 0;
  virtual long Flush(Handle key) = 0;
  virtual long Close(Handle key) = 0;
};

// WinINet, one call per operation.
class IInternet {
 public:
  virtual ~IInternet() = default;
  virtual Handle Open(const std::string& agent, std::uint32_t accessType, std::uint32_t flags) = 0;
  virtual Handle OpenUrl(Handle session, const std::string& url, std::uint32_t flags,
                         std::uintptr_t context) = 0;
  virtual bool Read(Handle file, char* buffer, std::uint32_t size, std::uint32_t* read) = 0;
  virtual bool QueryInfo(Handle request, std::uint32_t level, std::uint32_t bufferSize,
                         std::string* out) = 0;
  virtual void CloseHandle(Handle h) = 0;
};

// URL moniker download: URLDownloadToFileA with the library's status callback.
class IUrlDownload {
 public:
  virtual ~IUrlDownload() = default;
  virtual long DownloadToFile(const std::string& url, const std::string& path) = 0;
};

// SetupIterateCabinetA; the callback sees the notification, the name inside
// the cabinet (FILEINCABINET) or the extracted target (FILEEXTRACTED), and may
// set the full target name.
using CabinetCallback =
    std::function<std::uint32_t(std::uint32_t notification, const std::string& name, std::string* target)>;
class ICabinet {
 public:
  virtual ~ICabinet() = default;
  virtual bool Iterate(const std::string& cabinet, const CabinetCallback& cb) = 0;
};

class IFiles {
 public:
  virtual ~IFiles() = default;
  virtual std::string CurrentDirectory() = 0;
  virtual bool CreateDirectory(const std::string& path) = 0;
  virtual std::uint32_t GetAttributes(const std::string& path) = 0;
  virtual bool SetAttributes(const std::string& path, std::uint32_t attributes) = 0;
  virtual bool DeleteFile(const std::string& path) = 0;
  // CreateFileA for reading, shared read, existing only; closed at once.
  virtual bool CanOpenForRead(const std::string& path) = 0;
  // The first `count` bytes of a file, nullopt when it cannot be read.
  virtual std::optional<std::string> ReadHead(const std::string& path, std::uint32_t count) = 0;
  // VerQueryValueA on the file's version block: the raw bytes of one value.
  virtual std::optional<std::string> VersionValue(const std::string& path, const std::string& subBlock) = 0;
};

class IShell {
 public:
  virtual ~IShell() = default;
  virtual bool SpecialFolder(int csidl, bool create, std::string* path) = 0;
  virtual std::intptr_t Execute(const std::string& verb, const std::string& file,
                                const std::string& params, const std::string& dir, int show) = 0;
};

// LoadLibraryA / GetProcAddress; modules are never freed by the library.
class IModules {
 public:
  virtual ~IModules() = default;
  virtual Handle Load(const std::string& name) = 0;
  virtual void* Proc(Handle module, const std::string& name) = 0;
};

// COM on the calling thread and the document object the queries hold.
class ICom {
 public:
  virtual ~ICom() = default;
  virtual long Initialize() = 0;
  virtual void* CreateDocument(const std::string& progId) = 0;
  virtual void Release(void* object) = 0;
  virtual void Uninitialize() = 0;
};

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, milliseconds = 0;
};

class ISystem {
 public:
  virtual ~ISystem() = default;
  virtual std::string LocaleInfo(std::uint32_t locale, std::uint32_t type, int bufferChars) = 0;
  virtual LocalTime Now() = 0;
  virtual void Sleep(std::uint32_t ms) = 0;
  virtual std::u16string MultiByteToWide(std::uint32_t codePage, const std::string& text) = 0;
  virtual std::string WideToMultiByte(std::uint32_t codePage, const std::u16string& text) = 0;
};

struct UpdEnv {
  IRegistry& reg;
  IInternet& net;
  IUrlDownload& download;
  ICabinet& cabinet;
  IFiles& files;
  IShell& shell;
  IModules& modules;
  ICom& com;
  ISystem& sys;
};

}  // namespace updlink
