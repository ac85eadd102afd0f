// The live-update library's world: the installer's simulated PC with the
// sync software's folder as current directory and a phone behind the
// identity DLLs, and helpers in the library's ANSI terms.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fake/sim_pc.h"

namespace updsim {

using devstart::sim::HttpAnswer;

class SimUpdlink {
 public:
  SimUpdlink();
  SimUpdlink(const SimUpdlink&) = delete;
  SimUpdlink& operator=(const SimUpdlink&) = delete;

  devstart::sim::SimPc pc;
  devstart::Machine machine = pc.machine();

  // ---- the update server ----
  std::string base = "http://127.0.0.1:9002";
  void Answer(const std::string& pathAndQuery, HttpAnswer a) { answers[base + pathAndQuery] = std::move(a); }
  void Answer(const std::string& pathAndQuery, const std::string& body) { Answer(pathAndQuery, HttpAnswer{200, body}); }
  std::map<std::string, HttpAnswer>& answers = pc.internet.answers;  // by full URL
  const std::vector<std::string>& requests = pc.internet.requests;
  const std::vector<std::string>& agents = pc.internet.agents;

  // ---- registry: string values under HKCU unless another root is given ----
  // "<no key>" or "<none>" when missing.
  std::string Value(const std::string& key, const std::string& name) const;
  // Written through the registry port, so that an HKLM key lands in the view
  // the 32-bit library reads.
  void SetValue(const std::string& key, const std::string& name, const std::string& text,
                devstart::RegKey root = devstart::win::kHkeyCurrentUser);
  // The key refuses opening and creating.
  void DenyKey(const std::string& key);
  // How often the value was read, under any key.
  int ValueReads(const std::string& name) const;

  // ---- files ----
  void AddFolder(const std::string& path);
  // With a version, the file's string table (English, Unicode) has it as FileVersion.
  void AddFile(const std::string& path, const std::string& content, const std::string& version = "");
  bool HasFile(const std::string& path) const;
  std::string Content(const std::string& path) const;  // "<none>" when missing
  // What a folder holds, sorted: "a.txt=bytes bin\\{x.dll=x} empty\\".
  std::string Listing(const std::string& folder);
  std::map<std::string, std::vector<std::pair<std::string, std::string>>>& cabinets = pc.cabinets.by_content;
  // CSIDL_COMMON_APPDATA; nullopt: the folder lookup fails.
  void SetCommonAppData(const std::optional<std::string>& path);

  // ---- the rest of the PC ----
  // Keys, files and internet handles not closed yet.
  int OpenHandles() const;
  const std::vector<devstart::sim::FakeProcesses::ShellLaunch>& launches = pc.processes.shell_launches;
  devstart::sim::IdentityPhone& phone = pc.modules.identity;
  devstart::sim::FakeCom& com = pc.com;
  std::string& countryAbbrev = pc.system.user_locale[devstart::win::kLocaleSAbbrevCtryName];
  const std::vector<std::uint32_t>& sleeps = pc.system.sleep_calls;
};

}  // namespace updsim
