#include "updlink/flows.h"

#include <cctype>
#include <vector>

#include "updlink/cabinets.h"
#include "updlink/catalogue.h"
#include "updlink/encoding.h"
#include "updlink/history.h"
#include "updlink/phone_identity.h"
#include "updlink/registry_state.h"
#include "updlink/reports.h"
#include "updlink/words.h"

namespace updlink {

using devstart::Machine;
namespace w = devstart::win;

namespace {
std::string At(const std::vector<std::string>& list, std::size_t i) { return i < list.size() ? list[i] : std::string(); }
}  // namespace

Country LookupCountry(ExportCall& call, bool phoneCheck) {
  std::string abbrev = call.machine().system.GetLocaleInfoA(w::kLocaleUserDefault, w::kLocaleSAbbrevCtryName, 7);
  if (abbrev == "SCG" || abbrev == "BIH") abbrev = "SRB";
  Country c;
  AnswerParser answer;
  if (FetchAnswer(call, "/csmg/b2c/client/ftp_country_info.jsp", answer) != Reply::kAccepted) {
    c.code = "KR";
    c.region = phoneCheck ? "" : "K";
    return c;
  }
  auto codes = FindAll(answer.Root(), "country_code");
  auto iso = FindAll(answer.Root(), "country_isocode");
  auto regions = FindAll(answer.Root(), "region_code");
  std::size_t rows = phoneCheck ? FindAll(answer.Root(), "country").size() : codes.size();
  std::size_t chosen = 0;
  for (std::size_t i = 0; i < rows; ++i)
    if (At(iso, i) == abbrev) chosen = i;  // the last match wins
  c.code = At(codes, chosen);
  std::string region = At(regions, chosen);
  c.region = phoneCheck ? region : region.substr(0, region.empty() ? 0 : 1);
  return c;
}

namespace {

// The serial is stored for this download's reports, empty when none was read.
PhoneIdentity::Serial ReadAndStoreSerial(Machine& m) {
  PhoneIdentity::Serial serial = PhoneIdentity(m).ReadSerial();
  WriteSyncValue(m, "S_NUM", serial.serial);
  return serial;
}

struct Model { std::string model, buyer; };
std::optional<Model> CheckModel(ExportCall& call, const std::string& serial) {
  AnswerParser answer;
  if (FetchAnswer(call, "/svc/popup/model_check.jsp?esn=" + EncodeQueryValue(serial), answer, "ok") != Reply::kAccepted)
    return std::nullopt;
  return Model{FindFirst(answer.Root(), "model"), FindFirst(answer.Root(), "buyer")};
}

Offer P4Row(const AnswerNode& root) {
  auto versions = FindAll(root, "sw_version");
  for (std::size_t i = 0; i < versions.size(); ++i)
    if (versions[i].compare(0, 3, "P4.") == 0)
      return Offer{At(FindAll(root, "sw_uri"), i),           At(FindAll(root, "sw_recommand_uri"), i),
                   At(FindAll(root, "sw_recommand_type"), i), At(FindAll(root, "sw_recommand_uri2"), i),
                   At(FindAll(root, "sw_recommand_type2"), i), At(FindAll(root, "sw_chk_uri"), i),
                   At(FindAll(root, "sw_chk_uri2"), i)};
  return Offer{};
}

// The offer list is asked ever more broadly: model and buyer, model alone,
// buyer alone, neither, and last the global list. An empty answer on any rung
// fails the check, but the ladder still climbs to the first accepted answer.
struct OfferSearch { bool accepted = false, answered = true; Offer offer; };
OfferSearch FindOffer(ExportCall& call, const Model& m, const Country& country, const std::string& version) {
  const bool testing = !version.empty();
  struct Rung { bool model, buyer, global; };
  constexpr Rung kLadder[] = {{true, true, false}, {true, false, false}, {false, true, false},
                              {false, false, false}, {false, false, true}};
  OfferSearch found;
  for (const Rung& r : kLadder) {
    std::string q = std::string(testing ? "/csmg/b2c/client/pcsync_ftp_upload_testing.jsp" : "/csmg/b2c/client/pcsync_ftp_upload_list.jsp") +
                    "?model=" + (r.model ? EncodeQueryValue(m.model) : "") + "&buyer=" + (r.buyer ? EncodeQueryValue(m.buyer) : "") +
                    "&region=" + EncodeQueryValue(country.region) + "&country=" + (r.global ? std::string("GO") : EncodeQueryValue(country.code));
    if (testing) q += "&version=" + EncodeQueryValue(version);
    AnswerParser list;
    Reply reply = FetchAnswer(call, q, list);
    if (reply == Reply::kNone) found.answered = false;
    if (reply == Reply::kAccepted) {
      found.accepted = true;
      found.offer = P4Row(list.Root());
      break;
    }
  }
  return found;
}

std::optional<LoadFigures> ReadLoadFigures(ExportCall& call) {
  AnswerParser answer;
  if (FetchAnswer(call, "/csmg/b2c/client/ric_hit_rate_monitoring.jsp", answer) != Reply::kAccepted) return std::nullopt;
  auto figure = [&](const char* field) { return LeadingInt(FindFirst(answer.Root(), field)); };
  LoadFigures f;
  f.global = figure(kMainServer.users);
  for (const Mirror& m : kMirrors)
    if (m.load) f.*m.load = MirrorLoad{figure(m.users), figure(m.cap)};
  return f;
}

// The mirror's letter, the country and its region's first letter, the model
// and the moment of the check.
std::string HistoryId(const std::string& mirrorCode, const Country& country, const std::string& model,
                      const devstart::LocalTime& now) {
  return HistoryLetter(mirrorCode) + country.code + country.region.substr(0, country.region.empty() ? 0 : 1) + model + ":" +
         FormatStamp(now);
}

}  // namespace

MirrorChoice ChooseMirror(const Offer& offer, const std::optional<LoadFigures>& load, const SizeProbe& probe) {
  const LoadFigures f = load.value_or(LoadFigures{});
  std::string type = offer.type1, url = offer.uri1;
  // KIC takes the download while it is below its cap, RUBA otherwise.
  if (type == "KIC/GLOBAL" || offer.type2 == "RUBA/GLOBAL") {
    if (f.kic.cap != 0 && f.kic.users < f.kic.cap) { type = "KIC/GLOBAL"; url = offer.uri1; }
    else { type = "RUBA/GLOBAL"; url = offer.uri2; }
  }
  auto slash = type.find('/');
  MirrorChoice c;
  c.code = slash == std::string::npos ? std::string() : type.substr(0, slash);
  for (const Mirror& m : kMirrors) {
    if (!m.load) continue;  // the main server has no cap
    const MirrorLoad& l = f.*m.load;
    if (c.code == m.code && (l.cap == 0 || l.users >= l.cap)) c.code = "GLOBAL";
  }
  // A mirror whose check file is missing or short has not got the files yet.
  if (c.code != "GLOBAL" && probe(c.code == "RUBA" ? offer.chk2 : offer.chk1) >= 1000) {
    c.url = url;
  } else {
    c.code = "GLOBAL";
    c.url = offer.uri;
  }
  if (!load) c.message = kMsgConnFail;
  else if (c.code == "GLOBAL" && f.global >= 100) c.message = kMsgMaxUser;
  if (!c.message.empty()) c.url.clear();
  return c;
}

CheckResult CheckLVUpdate(Machine& m, const std::string& version) {
  ExportCall call(m);
  RefreshPhoneComponent(call);
  ReportPendingDownload(call);
  CheckResult r;
  PhoneIdentity::Serial serial = ReadAndStoreSerial(m);
  if (serial.serial.empty()) {
    r.message = serial.phoneFound ? kMsgAuthFail : kMsgPhoneFail;
    return r;
  }
  std::optional<Model> model = CheckModel(call, serial.serial);
  if (!model) {
    r.message = kMsgAuthFail;
    return r;
  }
  Country country = LookupCountry(call, false);
  OfferSearch search = FindOffer(call, *model, country, version);
  if (search.accepted && search.offer.uri1.empty()) {
    r.message = kMsgNoUrlFail;
    return r;
  }
  if (!search.answered) {
    r.message = kMsgAuthFail;
    return r;
  }
  // With no list accepted the offer is empty: the choice falls to the main
  // server's (empty) address.
  std::optional<LoadFigures> load = ReadLoadFigures(call);
  MirrorChoice mirror =
      ChooseMirror(search.offer, load, [&](const std::string& url) { return call.Query().GetContentLength(url); });
  r.message = mirror.message.empty() ? kMsgReady : mirror.message;
  if (mirror.message.empty()) {
    r.url = mirror.url;
    r.history = HistoryId(mirror.code, country, model->model, m.system.GetLocalTime());
  }
  return r;
}

PhoneCheckResult CheckPhoneSWUpdate(Machine& m) {
  ExportCall call(m);
  RefreshPhoneComponent(call);
  Country country = LookupCountry(call, true);
  PhoneIdentity phone(m);
  PhoneIdentity::Identity id = phone.ReadIdentity();
  PhoneCheckResult r;
  if (!id.phoneFound) { r.message = kMsgConnectFail; return r; }
  AnswerParser answer;
  std::string path = "/csmg/b2c/client/auth_model_check.jsp?esn=" + EncodeQueryValue(id.serial) +
                     "&model=" + EncodeQueryValue(id.model) + "&country=" + EncodeQueryValue(country.code) +
                     "&region=" + EncodeQueryValue(country.region);
  if (FetchAnswer(call, path, answer) != Reply::kAccepted) { r.message = kMsgAuthFail; return r; }
  std::string result = FindFirst(answer.Root(), "result");
  std::string server = FindFirst(answer.Root(), "sw_version");
  if (id.software.empty() || result != "OK") { r.message = kMsgNoNewVersion; return r; }
  auto norm = [](std::string s) {
    for (char& c : s) c = c == '+' ? '0' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  if (norm(id.software) == norm(server)) { r.message = kMsgNoNewVersion; return r; }
  r.result = 1;
  return r;
}

int StartUpdate(Machine& m) {
  ExportCall call(m);
  {
    RegistryKey key(m.registry);
    key.OpenOrCreate(w::kHkeyCurrentUser, kMobileAxKey);
    key.WriteString("SYNCUPDATE", "TRUE");
  }
  std::string folder = GetCommonAppDataFolder(m) + "TAVOMOBILEAX";
  CreateFolderPath(m, folder + "\\");
  std::string launcher = folder + "\\TavoMLauncher.exe";
  if (m.files.GetFileAttributesA(launcher) != w::kInvalidFileAttributes) {
    m.processes.ShellExecuteA("open", launcher, "", folder, w::kSwShowNormal);
    return 1;
  }
  std::string catalogue = call.Fetch(kCataloguePath);
  if (catalogue.empty()) return 0;
  CatalogueEntry entry = ScanCatalogueEntry(catalogue, "name='B2C_PCSynclink_setup'");
  if (!entry.found) return 0;
  if (!InstallCabinet(m, entry.url, folder + "\\B2CSetup.cab", folder)) return 0;
  m.processes.ShellExecuteA("open", folder + "\\B2CAppSetup.exe", "", folder, w::kSwShowNormal);
  return 1;
}

}  // namespace updlink
