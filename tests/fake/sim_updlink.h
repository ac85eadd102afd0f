// The simulated PC as the live-update library sees it: registry, files and
// folders, cabinets, the update server's answers, the phone identity DLLs,
// COM, the shell, the clock and the locale. Every port of upd_ports.h.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "updlink/upd_ports.h"

namespace updsim {

using namespace updlink;

struct HttpAnswer {
  int status = 200;
  std::string body;
  bool unreachable = false;    // the connection itself fails
  long contentLength = -1;     // -1: the body's length
};

struct SimPhone {
  bool phonelinkPresent = true;
  bool authPresent = true;
  bool fillOk = true;                 // _A123's result
  std::set<int> missingSlots;
  int count = 1;
  std::string serial = "ESN0001";
  bool serialOk = true;
  std::string model = "AB-100";
  std::string software = "1.0+A";
  std::string authSerial = "AUTH77";
  std::vector<std::string> calls;     // "12:115200,400", "0", "11", "5", ...
};

class SimUpdlink final : public IRegistry, public IInternet, public IUrlDownload, public ICabinet,
                         public IFiles, public IShell, public IModules, public ICom, public ISystem {
 public:
  SimUpdlink();
  ~SimUpdlink() override;
  UpdEnv env{*this, *this, *this, *this, *this, *this, *this, *this, *this};

  // ---- shaping ----
  std::string base = "http://127.0.0.1:9002";
  void Answer(const std::string& pathAndQuery, HttpAnswer a) { answers[base + pathAndQuery] = std::move(a); }
  void Answer(const std::string& pathAndQuery, const std::string& body) { Answer(pathAndQuery, HttpAnswer{200, body}); }
  std::map<std::string, HttpAnswer> answers;  // by full URL; unscripted URLs are unreachable
  std::vector<std::string> requests;          // every URL opened, in order
  std::vector<std::string> agents;            // user agent of each session

  std::map<std::string, std::map<std::string, std::string>> keys;  // lower-case key path -> values
  bool registryBroken = false;
  std::map<std::string, int> valueReads;  // QueryValue calls by value name
  std::string Value(const std::string& key, const std::string& name);

  struct File { std::string content; std::uint32_t attributes = 0x80; std::string version; };
  std::map<std::string, File> files;  // by lower-case path
  std::set<std::string> folders;      // lower-case, no trailing backslash
  std::string cwd = "C:\\Sync";
  void AddFolder(const std::string& path);
  void AddFile(const std::string& path, const std::string& content, const std::string& version = "");
  bool HasFile(const std::string& path) const;
  std::string Content(const std::string& path) const;
  // A cabinet's content "MSCF<id>" stands for the entries registered here.
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> cabinets;

  std::string commonAppData = "C:\\ProgramData";
  bool specialFolderFails = false;
  struct Launch { std::string verb, file, params, dir; int show; };
  std::vector<Launch> launches;

  SimPhone phone;
  bool msxmlPresent = true;
  int comInits = 0, comUninits = 0, documentsCreated = 0, documentsReleased = 0;

  std::string countryAbbrev = "KOR";
  LocalTime now{2026, 12, 7, 10, 30, 15, 123};
  std::vector<std::uint32_t> sleeps;

  // ---- ports ----
  long OpenKey(Handle root, const std::string& subkey, std::uint32_t sam, Handle* out) override;
  long CreateKey(Handle root, const std::string& subkey, std::uint32_t options, std::uint32_t sam, Handle* out) override;
  long QueryValue(Handle key, const std::string& name, std::uint32_t size, std::string* data) override;
  long SetValue(Handle key, const std::string& name, std::uint32_t type, const std::string& data) override;
  long Flush(Handle) override { return 0; }
  long Close(Handle key) override;

  Handle Open(const std::string& agent, std::uint32_t accessType, std::uint32_t flags) override;
  Handle OpenUrl(Handle session, const std::string& url, std::uint32_t flags, std::uintptr_t context) override;
  bool Read(Handle file, char* buffer, std::uint32_t size, std::uint32_t* read) override;
  bool QueryInfo(Handle request, std::uint32_t level, std::uint32_t bufferSize, std::string* out) override;
  void CloseHandle(Handle h) override { handles_.erase(h); }

  long DownloadToFile(const std::string& url, const std::string& path) override;
  bool Iterate(const std::string& cabinet, const CabinetCallback& cb) override;

  std::string CurrentDirectory() override { return cwd; }
  bool CreateDirectory(const std::string& path) override;
  std::uint32_t GetAttributes(const std::string& path) override;
  bool SetAttributes(const std::string& path, std::uint32_t attributes) override;
  bool DeleteFile(const std::string& path) override;
  bool CanOpenForRead(const std::string& path) override { return HasFile(path); }
  std::optional<std::string> ReadHead(const std::string& path, std::uint32_t count) override;
  std::optional<std::string> VersionValue(const std::string& path, const std::string& subBlock) override;

  bool SpecialFolder(int csidl, bool create, std::string* path) override;
  std::intptr_t Execute(const std::string& verb, const std::string& file, const std::string& params,
                        const std::string& dir, int show) override;

  Handle Load(const std::string& name) override;
  void* Proc(Handle module, const std::string& name) override;

  long Initialize() override { ++comInits; return 0; }
  void* CreateDocument(const std::string& progId) override;
  void Release(void*) override { ++documentsReleased; }
  void Uninitialize() override { ++comUninits; }

  std::string LocaleInfo(std::uint32_t locale, std::uint32_t type, int bufferChars) override;
  LocalTime Now() override { return now; }
  void Sleep(std::uint32_t ms) override { sleeps.push_back(ms); }
  std::u16string MultiByteToWide(std::uint32_t codePage, const std::string& text) override;
  std::string WideToMultiByte(std::uint32_t codePage, const std::u16string& text) override;

 private:
  struct Open_ { std::string key; std::string url; std::size_t pos = 0; bool isSession = false; };
  std::map<Handle, Open_> handles_;
  Handle next_ = 100;
  int document_ = 0;
};

std::string Lower(std::string s);

}  // namespace updsim
