// The live-update library's logic: server queries, mirror choice, reports,
// cabinets and the phone identity, all through the ports of upd_ports.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "updlink/answer.h"
#include "updlink/upd_ports.h"

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

class RegKey {
 public:
  explicit RegKey(IRegistry& reg) : reg_(reg) {}
  ~RegKey() { Close(); }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  bool Open(Handle root, const std::string& subkey);
  bool Create(Handle root, const std::string& subkey);
  bool OpenOrCreate(Handle root, const std::string& subkey) { return Open(root, subkey) || Create(root, subkey); }
  bool ReadString(const std::string& name, std::string* out);
  std::string Read(const std::string& name) { std::string s; ReadString(name, &s); return s; }
  bool WriteString(const std::string& name, const std::string& text);
  void Close();
  bool IsOpen() const { return key_ != 0; }

 private:
  IRegistry& reg_;
  Handle key_ = 0;
};

std::string ServerBase(UpdEnv& env);

// ---- HTTP -----------------------------------------------------------------
std::string Utf8ToAnsi(UpdEnv& env, const std::string& line);
// Percent-encodes the bytes that would break or rewrite a query: space, "&",
// "#", "%" and every non-ASCII byte. Anything else passes unchanged.
std::string EncodeQueryValue(std::string_view value);

// One conversation with the server: COM on the calling thread and the
// document object for its lifetime, the handles of the last size probe.
class ServerQuery {
 public:
  explicit ServerQuery(UpdEnv& env);
  ~ServerQuery();
  ServerQuery(const ServerQuery&) = delete;
  ServerQuery& operator=(const ServerQuery&) = delete;
  std::string FetchUrlText(const std::string& url);
  int GetContentLength(const std::string& url);
  bool HasDocument() const { return document_ != nullptr; }

 private:
  void CloseProbe();
  UpdEnv& env_;
  long comResult_;
  void* document_ = nullptr;
  Handle probeSession_ = 0, probeRequest_ = 0;
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
  explicit PhoneIdentity(UpdEnv& env) : env_(env) {}
  struct Serial { std::string serial; bool phoneFound = false; };
  Serial ReadSerial();
  struct Identity { bool phoneFound = false; std::string serial, model, software; };
  Identity ReadIdentity();

 private:
  bool FillTable(PhoneFunctionTable* table, std::initializer_list<int> required);
  UpdEnv& env_;
};

// ---- files, cabinets, setup ---------------------------------------------
std::string GetCommonAppDataFolder(UpdEnv& env);
void CreateFolderPath(UpdEnv& env, const std::string& path);
// Names that would land outside the destination folder.
bool IsSafeCabinetName(std::string_view name);
bool ExtractCabinet(UpdEnv& env, const std::string& cabinet, const std::string& destination);
std::string GetFileVersionString(UpdEnv& env, const std::string& path);
// Downloads `url` to `path` and accepts the result only when it is a cabinet,
// since some systems report success for an HTTP error page.
bool DownloadCabinet(UpdEnv& env, const std::string& url, const std::string& path);
void UpdatePhoneComponent(UpdEnv& env, ServerQuery& query, const std::string& localVersion);
int StartUpdate(UpdEnv& env);

// ---- history ids and reports --------------------------------------------
struct HistoryParts { std::string letter, country, region, model, stamp; };
HistoryParts SplitHistoryId(std::string_view id);
std::string MirrorNameFromLetter(const std::string& letter);
std::string HistoryLetter(const std::string& mirrorCode);
std::string FormatStamp(const LocalTime& t);
// Seconds of the time-of-day part of now minus the stamp; -1 when the stamp
// is not six two-digit numbers forming a date and time.
long long StampElapsedSeconds(std::string_view stamp, const LocalTime& now);
std::string DownloadTime(const std::string& status, std::string_view stamp, const LocalTime& now);
bool ReportHistory(UpdEnv& env, const std::string& historyId, const std::string& status);
std::string UpdateGBCforSync(UpdEnv& env, const std::string& historyId, const std::string& status);

// ---- checks -------------------------------------------------------------
struct Country { std::string code, region; };
Country LookupCountry(UpdEnv& env, ServerQuery& query, bool phoneCheck);

struct CheckResult { std::string url, history, message; };
CheckResult CheckLVUpdate(UpdEnv& env, const std::string& version);
struct PhoneCheckResult { int result = 0; std::string message; };
PhoneCheckResult CheckPhoneSWUpdate(UpdEnv& env);

int LeadingInt(std::string_view text);

}  // namespace updlink
