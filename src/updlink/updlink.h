// The live-update library's logic: server queries, mirror choice, reports,
// cabinets and the phone identity, all through the machine's ports
// (platform/machine.h).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/handles.h"
#include "platform/machine.h"
#include "updlink/answer.h"

namespace updlink {

// ---- result words -------------------------------------------------------
inline constexpr const char* kMsgReady = "MSG_READY";
inline constexpr const char* kMsgAuthFail = "MSG_AUTH_FAIL";
inline constexpr const char* kMsgPhoneFail = "MSG_PHONE_FAIL";
inline constexpr const char* kMsgNoUrlFail = "NO_URL_FAIL";
inline constexpr const char* kMsgConnFail = "MSG_CONN_FAIL";
inline constexpr const char* kMsgMaxUser = "MSG_MAX_USER";
inline constexpr const char* kMsgSuccess = "MSG_SUCCESS";
inline constexpr const char* kMsgFail = "MSG_FAIL";
inline constexpr const char* kMsgConnectFail = "MSG_CONNECT_FAIL";
inline constexpr const char* kMsgNoNewVersion = "MSG_NO_NEW_VERSION";

// ---- registry -------------------------------------------------------------
inline constexpr const char* kSyncKey = "Software\\LowRegistry\\Tavo Electronics Inc\\TAVOSYNC";
inline constexpr const char* kMobileAxKey = "Software\\LowRegistry\\Tavo Electronics Inc\\TavoMobileAX";
// Where the server lives: this value under kSyncKey overrides the built-in
// origin (test rigs and staging servers set it; shipped PCs never do).
inline constexpr const char* kServerValue = "UPDATE_SERVER";
#ifndef UPDLINK_SERVER_BASE
#define UPDLINK_SERVER_BASE "http://127.0.0.1:9002"
#endif
inline constexpr const char* kDefaultServerBase = UPDLINK_SERVER_BASE;

// Owning handles: each kind closes through its own port, so that no path out
// of a step leaves a key, a file, an internet handle, the document or COM
// behind. Keys, files and internet handles are platform/handles.h's; COM is
// the library's alone.
// Held only when CoInitialize succeeded: only that is balanced by CoUninitialize.
struct ComApartmentTraits {
  using Port = devstart::ICom;
  using Value = bool;
  static constexpr Value kInvalid = false;
  static void Close(Port& p, Value) { p.CoUninitialize(); }
};
struct DocumentTraits {
  using Port = devstart::ICom;
  using Value = void*;
  static constexpr Value kInvalid = nullptr;
  static void Close(Port& p, Value v) { p.Release(v); }
};

class RegistryKey {
 public:
  explicit RegistryKey(devstart::IRegistry& reg) : reg_(reg) {}
  bool Open(devstart::RegKey root, const std::string& subkey, std::uint32_t sam = devstart::win::kKeyAllAccess);
  bool Create(devstart::RegKey root, const std::string& subkey);
  bool OpenOrCreate(devstart::RegKey root, const std::string& subkey) {
    return Open(root, subkey) || Create(root, subkey);
  }
  // Reads into a zeroed buffer of `size` bytes; a longer value reads as none.
  bool ReadString(const std::string& name, std::string* out, std::uint32_t size = 256);
  std::string Read(const std::string& name) { std::string s; ReadString(name, &s); return s; }
  bool WriteString(const std::string& name, const std::string& text);

 private:
  devstart::IRegistry& reg_;
  devstart::UniqueKey key_;
};

std::string ServerBase(devstart::Machine& m);

// ---- HTTP -----------------------------------------------------------------
std::string Utf8ToAnsi(devstart::Machine& m, const std::string& line);
// Percent-encodes the bytes that would break or rewrite a query: space, "&",
// "#", "%" and every non-ASCII byte. Anything else passes unchanged.
std::string EncodeQueryValue(std::string_view value);

// One conversation with the server: COM on the calling thread and the
// document object for its lifetime, the handles of the last size probe.
class ServerQuery {
 public:
  explicit ServerQuery(devstart::Machine& m);
  ServerQuery(const ServerQuery&) = delete;
  ServerQuery& operator=(const ServerQuery&) = delete;
  std::string FetchUrlText(const std::string& url);
  int GetContentLength(const std::string& url);
  bool HasDocument() const { return document_.valid(); }

 private:
  devstart::Machine& m_;
  // Declared in the order they are taken; released in reverse, COM last.
  devstart::ScopedHandle<ComApartmentTraits> com_;
  devstart::ScopedHandle<DocumentTraits> document_;
  devstart::UniqueInternet probeSession_, probeRequest_;
};

// What one export call hands down its steps: the server's origin, read once
// when the call begins, and a single conversation with the server, begun at
// the first request (a call that asks the server nothing starts no COM).
class ExportCall {
 public:
  explicit ExportCall(devstart::Machine& m) : m_(m), base_(ServerBase(m)) {}
  devstart::Machine& machine() const { return m_; }
  ServerQuery& Query();
  // The answer text for a path on the server.
  std::string Fetch(const std::string& pathAndQuery) { return Query().FetchUrlText(base_ + pathAndQuery); }

 private:
  devstart::Machine& m_;
  std::string base_;
  std::optional<ServerQuery> query_;
};

// ---- phone identity -------------------------------------------------------
struct PhoneFunctionTable {
  void* slot[32];
};
// The string object handed to slots 5 and 8 for the phone DLL to fill.
struct PhoneString {
  char text[256];
};
using A123Fn = int (*)(PhoneFunctionTable*);
using GetPhoneInfoFn = int (*)(char*, char*);

class PhoneIdentity {
 public:
  explicit PhoneIdentity(devstart::Machine& m) : m_(m) {}
  struct Serial { std::string serial; bool phoneFound = false; };
  Serial ReadSerial();
  struct Identity { bool phoneFound = false; std::string serial, model, software; };
  Identity ReadIdentity();

 private:
  bool FillTable(PhoneFunctionTable* table, std::initializer_list<int> required);
  devstart::Machine& m_;
};

// ---- files, cabinets, setup ---------------------------------------------
// An existing file opened for reading (shared) and closed again at once.
bool CanOpenForRead(devstart::Machine& m, const std::string& path);
// The first `count` bytes of a file, nullopt when it cannot be read.
std::optional<std::string> ReadHead(devstart::Machine& m, const std::string& path, std::uint32_t count);
// One value of the file's version resource, read afresh: the raw bytes.
std::optional<std::string> VersionValue(devstart::Machine& m, const std::string& path, const std::string& subBlock);
std::string GetCommonAppDataFolder(devstart::Machine& m);
void CreateFolderPath(devstart::Machine& m, const std::string& path);
// Names that would land outside the destination folder.
bool IsSafeCabinetName(std::string_view name);
bool ExtractCabinet(devstart::Machine& m, const std::string& cabinet, const std::string& destination);
std::string GetFileVersionString(devstart::Machine& m, const std::string& path);
// Downloads `url` to `path` and accepts the result only when it is a cabinet,
// since some systems report success for an HTTP error page.
bool DownloadCabinet(devstart::Machine& m, const std::string& url, const std::string& path);
// Replaces Phonelink.dll in the current folder when the catalogue offers another version.
void UpdatePhoneComponent(ExportCall& call, const std::string& localVersion);
int StartUpdate(devstart::Machine& m);

// ---- history ids and reports --------------------------------------------
struct HistoryParts { std::string letter, country, region, model, stamp; };
HistoryParts SplitHistoryId(std::string_view id);
std::string MirrorNameFromLetter(const std::string& letter);
std::string HistoryLetter(const std::string& mirrorCode);
std::string FormatStamp(const devstart::LocalTime& t);
// Seconds of the time-of-day part of now minus the stamp; -1 when the stamp
// is not six two-digit numbers forming a date and time.
long long StampElapsedSeconds(std::string_view stamp, const devstart::LocalTime& now);
std::string DownloadTime(const std::string& status, std::string_view stamp, const devstart::LocalTime& now);
bool ReportHistory(ExportCall& call, const std::string& historyId, const std::string& status);
std::string UpdateGBCforSync(devstart::Machine& m, const std::string& historyId, const std::string& status);

// ---- checks -------------------------------------------------------------
struct Country { std::string code, region; };
Country LookupCountry(ExportCall& call, bool phoneCheck);

// The P4 row of an accepted offer list: the main address, the two recommended
// mirrors with their types ("KIC/GLOBAL", ...) and the check file of each.
struct Offer { std::string uri, uri1, type1, uri2, type2, chk1, chk2; };
struct MirrorLoad { int users = 0, cap = 0; };
// The monitoring answer: users on the main server, and users and cap of each mirror.
struct LoadFigures { int global = 0; MirrorLoad ruba, kic, aic, cic, eic; };
// The length the server announces for a URL, 0 when it announces none.
using SizeProbe = std::function<int(const std::string& url)>;
// Where the download goes: the mirror code for the history id, the address,
// and the result word when there is none to give (empty when ready).
struct MirrorChoice { std::string code, url, message; };
// `load` is nullopt when the monitoring answer was unreadable: every figure
// then reads as 0 and the check fails, but the choice is still made as ever,
// probe included. The probe is asked only while a mirror is still chosen.
MirrorChoice ChooseMirror(const Offer& offer, const std::optional<LoadFigures>& load, const SizeProbe& probe);

struct CheckResult { std::string url, history, message; };
CheckResult CheckLVUpdate(devstart::Machine& m, const std::string& version);
struct PhoneCheckResult { int result = 0; std::string message; };
PhoneCheckResult CheckPhoneSWUpdate(devstart::Machine& m);

int LeadingInt(std::string_view text);

}  // namespace updlink
