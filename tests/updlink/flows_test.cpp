// The library's flows on the simulated PC: checks, mirror choice, reports,
// cabinets and the setup launch.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "fake/sim_updlink.h"
#include "updlink/updlink.h"

using namespace updlink;
using updsim::HttpAnswer;
using updsim::SimUpdlink;
namespace win = devstart::win;

namespace {

const std::string kBase = "http://127.0.0.1:9002";
const char* kList = "/csmg/b2c/client/pcsync_ftp_upload_list.jsp";
const char* kTesting = "/csmg/b2c/client/pcsync_ftp_upload_testing.jsp";

std::string Countries(const std::vector<std::array<std::string, 3>>& rows) {
  std::string s = "<countries result='OK'><totcount>" + std::to_string(rows.size()) + "</totcount>";
  for (const auto& r : rows)
    s += "<row><country>c</country><country_code>" + r[0] + "</country_code><country_isocode>" + r[1] +
         "</country_isocode><region_code>" + r[2] + "</region_code></row>";
  return s + "</countries>";
}

struct Row {
  std::string version = "P4.2", uri = "http://global/sync.exe", uri1 = "http://kic/sync.exe", type1 = "KIC/GLOBAL",
              uri2 = "http://ruba/sync.exe", type2 = "RUBA/GLOBAL", chk1 = "http://kic/chk.bin", chk2 = "http://ruba/chk.bin";
};
std::string List(const std::vector<Row>& rows, const char* root = "<list result='OK'>") {
  std::string s = root;
  for (const Row& r : rows)
    s += "<row><sw_version>" + r.version + "</sw_version><sw_uri>" + r.uri + "</sw_uri><sw_recommand_uri>" + r.uri1 +
         "</sw_recommand_uri><sw_recommand_type>" + r.type1 + "</sw_recommand_type><sw_recommand_uri2>" + r.uri2 +
         "</sw_recommand_uri2><sw_recommand_type2>" + r.type2 + "</sw_recommand_type2><sw_chk_uri>" + r.chk1 +
         "</sw_chk_uri><sw_chk_uri2>" + r.chk2 + "</sw_chk_uri2></row>";
  return s + "</list>";
}

struct Load {
  int global = 10, ruba = 0, rubaCap = 50, kic = 0, kicCap = 50, aic = 0, aicCap = 50, cic = 0, cicCap = 50, eic = 0, eicCap = 50;
};
std::string Figures(const Load& l) {
  auto f = [](const char* n, int v) { return std::string("<") + n + ">" + std::to_string(v) + "</" + n + ">"; };
  return "<hit result='OK'>" + f("pcsync_global", l.global) + f("pcsync_ruba", l.ruba) + f("pcsync_ruba_control_cnt", l.rubaCap) +
         f("pcsync_kic", l.kic) + f("pcsync_kic_control_cnt", l.kicCap) + f("pcsync_aic", l.aic) +
         f("pcsync_aic_control_cnt", l.aicCap) + f("pcsync_cic", l.cic) + f("pcsync_cic_control_cnt", l.cicCap) +
         f("pcsync_eic", l.eic) + f("pcsync_eic_control_cnt", l.eicCap) + "</hit>";
}

// A PC with a phone and a server that answers every request of a check.
struct Rig {
  SimUpdlink pc;
  Rig() {
    pc.Answer("/svc/popup/model_check.jsp?esn=ESN0001", "<check result='ok'><model>AB100</model><buyer>TAV</buyer></check>");
    pc.Answer("/csmg/b2c/client/ftp_country_info.jsp", Countries({{"KR", "KOR", "K1"}, {"DE", "DEU", "E2"}}));
    ListAnswer(std::string(kList) + "?model=AB100&buyer=TAV&region=K&country=KR", List({Row{}}));
    pc.Answer("/csmg/b2c/client/ric_hit_rate_monitoring.jsp", Figures(Load{}));
    Probe("http://kic/chk.bin", 1000);
    Probe("http://ruba/chk.bin", 1000);
  }
  void ListAnswer(const std::string& q, const std::string& body) { pc.Answer(q, body); }
  void Probe(const std::string& url, long length) { pc.answers[url] = HttpAnswer{200, "x", false, length}; }
  std::vector<std::string> Sent(const std::string& prefix) {
    std::vector<std::string> out;
    for (const auto& r : pc.requests)
      if (r.rfind(kBase + prefix, 0) == 0) out.push_back(r.substr(kBase.size()));
    return out;
  }
};

// ---- CheckLVUpdate -----------------------------------------------------------
TEST(CheckLV, ReadyOnKicMirrorWithHistoryId) {
  Rig rig;
  CheckResult r = CheckLVUpdate(rig.pc.machine, "");
  EXPECT_EQ(r.message, "MSG_READY");
  EXPECT_EQ(r.url, "http://kic/sync.exe");
  EXPECT_EQ(r.history, "KKRKAB100:261207103015123");
  EXPECT_EQ(rig.pc.Value(kSyncKey, "S_NUM"), "ESN0001");
  EXPECT_EQ(rig.pc.com.initialized, rig.pc.com.uninitialized);
  EXPECT_EQ(rig.pc.com.documents_created, rig.pc.com.documents_released);
}

TEST(CheckLV, PhoneAbsenceAndSerialFailures) {
  struct Case { const char* label; int count; bool serialOk; bool auth; bool phonelink; const char* message; const char* sNum; };
  const Case cases[] = {
      {"no phone", 0, true, true, true, "MSG_PHONE_FAIL", ""},
      {"serial from AuthDll", 1, false, true, true, "MSG_READY", "AUTH77"},
      {"no serial anywhere", 1, false, false, true, "MSG_AUTH_FAIL", ""},
      {"no Phonelink, AuthDll serial", 1, true, true, false, "MSG_READY", "AUTH77"},
      {"nothing at all", 1, true, false, false, "MSG_PHONE_FAIL", ""},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.pc.phone.count = c.count;
    rig.pc.phone.serial_ok = c.serialOk;
    rig.pc.phone.auth_present = c.auth;
    rig.pc.phone.phonelink_present = c.phonelink;
    rig.pc.Answer("/svc/popup/model_check.jsp?esn=AUTH77", "<check result='ok'><model>AB100</model><buyer>TAV</buyer></check>");
    CheckResult r = CheckLVUpdate(rig.pc.machine, "");
    EXPECT_EQ(r.message, c.message) << c.label;
    EXPECT_EQ(rig.pc.Value(kSyncKey, "S_NUM"), c.sNum) << c.label;
    if (std::string(c.message) != "MSG_READY") {
      EXPECT_EQ(r.url, "") << c.label;
      EXPECT_EQ(r.history, "") << c.label;
    }
  }
}

TEST(CheckLV, PhoneCallOrder) {
  Rig rig;
  CheckLVUpdate(rig.pc.machine, "");
  EXPECT_EQ(rig.pc.phone.calls, (std::vector<std::string>{"A123", "12:115200,400", "0", "11", "5"}));
  EXPECT_NE(std::find(rig.pc.sleeps.begin(), rig.pc.sleeps.end(), 100u), rig.pc.sleeps.end());
}

TEST(CheckLV, ModelCheckRejections) {
  struct Case { const char* label; HttpAnswer answer; };
  const Case cases[] = {
      {"empty", HttpAnswer{200, ""}},
      {"upper-case OK only", HttpAnswer{200, "<c result='OK'><model>X</model></c>"}},
      {"ok at position 0", HttpAnswer{200, "<c ok><model>X</model></c>"}},
      {"server error page", HttpAnswer{500, "<c result='ok'></c>"}},
      {"unreachable", HttpAnswer{200, "", true}},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.pc.Answer("/svc/popup/model_check.jsp?esn=ESN0001", c.answer);
    CheckResult r = CheckLVUpdate(rig.pc.machine, "");
    EXPECT_EQ(r.message, "MSG_AUTH_FAIL") << c.label;
    EXPECT_EQ(r.history, "") << c.label;
    EXPECT_TRUE(rig.Sent("/csmg/b2c/client/pcsync").empty()) << c.label;
  }
}

TEST(CheckLV, LadderRequestsWithAndWithoutVersion) {
  struct Case { const char* version; std::vector<std::string> sent; };
  const std::string t = kTesting, l = kList;
  const Case cases[] = {
      {"", {l + "?model=AB100&buyer=TAV&region=K&country=KR", l + "?model=AB100&buyer=&region=K&country=KR",
            l + "?model=&buyer=TAV&region=K&country=KR", l + "?model=&buyer=&region=K&country=KR",
            l + "?model=&buyer=&region=K&country=GO"}},
      {"1.2", {t + "?model=AB100&buyer=TAV&region=K&country=KR&version=1.2", t + "?model=AB100&buyer=&region=K&country=KR&version=1.2",
               t + "?model=&buyer=TAV&region=K&country=KR&version=1.2", t + "?model=&buyer=&region=K&country=KR&version=1.2",
               t + "?model=&buyer=&region=K&country=GO&version=1.2"}},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.pc.answers.clear();
    Rig fresh;  // same answers, but no list answer is accepted
    rig.pc.answers = fresh.pc.answers;
    for (const auto& q : c.sent) rig.pc.Answer(q, "<list result='NO'></list>");
    CheckResult r = CheckLVUpdate(rig.pc.machine, c.version);
    EXPECT_EQ(rig.Sent("/csmg/b2c/client/pcsync"), c.sent) << c.version;
    // Every rung rejected but the figures were read: ready with no address.
    EXPECT_EQ(r.message, "MSG_READY");
    EXPECT_EQ(r.url, "");
  }
}

TEST(CheckLV, LadderStopsAtFirstAcceptedAnswerAndEmptyAnswersStick) {
  Rig rig;
  const std::string l = kList;
  rig.pc.answers.erase(kBase + l + "?model=AB100&buyer=TAV&region=K&country=KR");  // unreachable: empty
  rig.pc.Answer(l + "?model=AB100&buyer=&region=K&country=KR", List({Row{}}));
  CheckResult r = CheckLVUpdate(rig.pc.machine, "");
  EXPECT_EQ(rig.Sent("/csmg/b2c/client/pcsync").size(), 2u);
  EXPECT_EQ(r.message, "MSG_AUTH_FAIL");
  EXPECT_TRUE(rig.Sent("/csmg/b2c/client/ric_hit_rate_monitoring").empty());
}

TEST(CheckLV, RowSelection) {
  struct Case { const char* label; std::vector<Row> rows; const char* message; const char* url; };
  Row p3; p3.version = "P3.1"; p3.uri1 = "http://kic/p3.exe";
  Row p4; p4.version = "P4.2";
  Row noUrl; noUrl.uri1 = "";
  const Case cases[] = {
      {"P3 then P4 picks P4", {p3, p4}, "MSG_READY", "http://kic/sync.exe"},
      {"only P3", {p3}, "NO_URL_FAIL", ""},
      {"P4 without address", {noUrl}, "NO_URL_FAIL", ""},
      {"no rows", {}, "NO_URL_FAIL", ""},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.ListAnswer(std::string(kList) + "?model=AB100&buyer=TAV&region=K&country=KR", List(c.rows));
    CheckResult r = CheckLVUpdate(rig.pc.machine, "");
    EXPECT_EQ(r.message, c.message) << c.label;
    EXPECT_EQ(r.url, c.url) << c.label;
  }
}

TEST(CheckLV, RowListsShorterThanVersionsReadEmpty) {
  Rig rig;
  rig.ListAnswer(std::string(kList) + "?model=AB100&buyer=TAV&region=K&country=KR",
                 "<list result='OK'><sw_version>P3.0</sw_version><sw_version>P4.0</sw_version><sw_recommand_uri>u</sw_recommand_uri></list>");
  CheckResult r = CheckLVUpdate(rig.pc.machine, "");
  EXPECT_EQ(r.message, "NO_URL_FAIL");
}

TEST(CheckLV, MirrorSelection) {
  struct Case { const char* label; std::string type1, type2; Load load; long kicProbe, rubaProbe; const char* message, *url, *letter; };
  Load kicFull; kicFull.kic = 50;
  Load kicOff; kicOff.kicCap = 0;
  Load bothFull; bothFull.kic = 50; bothFull.ruba = 50;
  Load eicOff; eicOff.eicCap = 0;
  Load global99; global99.kicCap = 0; global99.rubaCap = 0; global99.global = 99;
  Load global100 = global99; global100.global = 100;
  const Case cases[] = {
      {"KIC below cap", "KIC/GLOBAL", "RUBA/GLOBAL", Load{}, 1000, 1000, "MSG_READY", "http://kic/sync.exe", "K"},
      {"KIC at cap goes to RUBA", "KIC/GLOBAL", "RUBA/GLOBAL", kicFull, 1000, 1000, "MSG_READY", "http://ruba/sync.exe", "N"},
      {"KIC switched off goes to RUBA", "KIC/GLOBAL", "x", kicOff, 1000, 1000, "MSG_READY", "http://ruba/sync.exe", "N"},
      {"RUBA full too goes global", "KIC/GLOBAL", "RUBA/GLOBAL", bothFull, 1000, 1000, "MSG_READY", "http://global/sync.exe", "G"},
      {"EIC cap 0 goes global", "EIC/GLOBAL", "x", eicOff, 1000, 1000, "MSG_READY", "http://global/sync.exe", "G"},
      {"EIC open keeps EIC", "EIC/GLOBAL", "x", Load{}, 1000, 1000, "MSG_READY", "http://kic/sync.exe", "E"},
      {"check file 999 bytes", "KIC/GLOBAL", "x", Load{}, 999, 1000, "MSG_READY", "http://global/sync.exe", "G"},
      {"check file 1000 bytes", "KIC/GLOBAL", "x", Load{}, 1000, 0, "MSG_READY", "http://kic/sync.exe", "K"},
      {"RUBA probed on its own check file", "KIC/GLOBAL", "x", kicFull, 1000, 999, "MSG_READY", "http://global/sync.exe", "G"},
      {"global 99 ready", "KIC/GLOBAL", "x", global99, 0, 0, "MSG_READY", "http://global/sync.exe", "G"},
      {"global 100 max user", "KIC/GLOBAL", "x", global100, 0, 0, "MSG_MAX_USER", "", ""},
      {"type without slash probes first check file", "PLAIN", "x", Load{}, 1000, 0, "MSG_READY", "http://kic/sync.exe", "G"},
  };
  for (const Case& c : cases) {
    Rig rig;
    Row row; row.type1 = c.type1; row.type2 = c.type2;
    rig.ListAnswer(std::string(kList) + "?model=AB100&buyer=TAV&region=K&country=KR", List({row}));
    rig.pc.Answer("/csmg/b2c/client/ric_hit_rate_monitoring.jsp", Figures(c.load));
    rig.Probe("http://kic/chk.bin", c.kicProbe);
    rig.Probe("http://ruba/chk.bin", c.rubaProbe);
    CheckResult r = CheckLVUpdate(rig.pc.machine, "");
    EXPECT_EQ(r.message, c.message) << c.label;
    EXPECT_EQ(r.url, c.url) << c.label;
    EXPECT_EQ(r.history.substr(0, r.history.empty() ? 0 : 1), c.letter) << c.label;
  }
}

TEST(Mirror, ChoiceFromOfferFiguresAndProbe) {
  const Offer kic{"http://global/s.exe", "http://kic/s.exe", "KIC/GLOBAL", "http://ruba/s.exe", "RUBA/GLOBAL", "http://kic/chk", "http://ruba/chk"};
  auto types = [&](const char* t1, const char* t2) { Offer o = kic; o.type1 = t1; o.type2 = t2; return o; };
  LoadFigures open;
  open.global = 10;
  for (MirrorLoad* m : {&open.ruba, &open.kic, &open.aic, &open.cic, &open.eic}) *m = {0, 50};
  auto with = [&](MirrorLoad LoadFigures::*mirror, MirrorLoad l, int global = 10) {
    LoadFigures f = open; f.*mirror = l; f.global = global; return f;
  };
  LoadFigures kicFull = with(&LoadFigures::kic, {50, 50}), bothFull = kicFull;
  bothFull.ruba = {50, 50};
  struct Case { const char* label; Offer offer; std::optional<LoadFigures> load; int size; const char* probed, *code, *url, *message; };
  const Case cases[] = {
      {"KIC below its cap", kic, open, 1000, "http://kic/chk", "KIC", "http://kic/s.exe", ""},
      {"KIC at its cap", kic, kicFull, 1000, "http://ruba/chk", "RUBA", "http://ruba/s.exe", ""},
      {"KIC switched off", types("KIC/GLOBAL", "x"), with(&LoadFigures::kic, {0, 0}), 1000, "http://ruba/chk", "RUBA", "http://ruba/s.exe", ""},
      {"RUBA full too", kic, bothFull, 1000, "-", "GLOBAL", "http://global/s.exe", ""},
      {"RUBA second type moves AIC to KIC", types("AIC/GLOBAL", "RUBA/GLOBAL"), open, 1000, "http://kic/chk", "KIC", "http://kic/s.exe", ""},
      {"EIC open", types("EIC/GLOBAL", "x"), open, 1000, "http://kic/chk", "EIC", "http://kic/s.exe", ""},
      {"EIC switched off", types("EIC/GLOBAL", "x"), with(&LoadFigures::eic, {0, 0}), 1000, "-", "GLOBAL", "http://global/s.exe", ""},
      {"check file 999 bytes", kic, open, 999, "http://kic/chk", "GLOBAL", "http://global/s.exe", ""},
      {"type without slash", types("PLAIN", "x"), open, 1000, "http://kic/chk", "", "http://kic/s.exe", ""},
      {"mirror outside the table", types("XYZ/GLOBAL", "x"), open, 1000, "http://kic/chk", "XYZ", "http://kic/s.exe", ""},
      {"global 99", kic, with(&LoadFigures::kic, {0, 0}, 99), 0, "http://ruba/chk", "GLOBAL", "http://global/s.exe", ""},
      {"global 100", kic, with(&LoadFigures::kic, {0, 0}, 100), 0, "http://ruba/chk", "GLOBAL", "", "MSG_MAX_USER"},
      {"global 100 on a mirror", kic, with(&LoadFigures::aic, {0, 50}, 100), 1000, "http://kic/chk", "KIC", "http://kic/s.exe", ""},
      {"unreadable figures", kic, std::nullopt, 1000, "-", "GLOBAL", "", "MSG_CONN_FAIL"},
      {"unreadable figures still probe", types("PLAIN", "x"), std::nullopt, 1000, "http://kic/chk", "", "", "MSG_CONN_FAIL"},
      {"no list accepted", Offer{}, open, 0, "", "GLOBAL", "", ""},
  };
  for (const Case& c : cases) {
    std::string probed = "-";
    MirrorChoice m = ChooseMirror(c.offer, c.load, [&](const std::string& url) { probed = url; return c.size; });
    EXPECT_EQ(probed, c.probed) << c.label;
    EXPECT_EQ(m.code, c.code) << c.label;
    EXPECT_EQ(m.url, c.url) << c.label;
    EXPECT_EQ(m.message, c.message) << c.label;
  }
}

TEST(CheckLV, UnreadableFiguresGiveConnFail) {
  for (const char* body : {"", "<hit result='NO'></hit>"}) {
    Rig rig;
    rig.pc.Answer("/csmg/b2c/client/ric_hit_rate_monitoring.jsp", body);
    CheckResult r = CheckLVUpdate(rig.pc.machine, "");
    EXPECT_EQ(r.message, "MSG_CONN_FAIL") << body;
    EXPECT_EQ(r.url, "");
    EXPECT_EQ(r.history, "");
  }
}

TEST(CheckLV, CountryLookup) {
  struct Case { const char* label; const char* abbrev; std::string countries; const char* code; const char* region; };
  const Case cases[] = {
      {"match", "DEU", Countries({{"KR", "KOR", "K1"}, {"DE", "DEU", "E2"}}), "DE", "E"},
      {"last match wins", "DEU", Countries({{"D1", "DEU", "A"}, {"KR", "KOR", "K"}, {"D2", "DEU", "B"}}), "D2", "B"},
      {"no match takes row 0", "FRA", Countries({{"KR", "KOR", "K1"}, {"DE", "DEU", "E2"}}), "KR", "K"},
      {"SCG reads as SRB", "SCG", Countries({{"KR", "KOR", "K"}, {"RS", "SRB", "E"}}), "RS", "E"},
      {"BIH reads as SRB", "BIH", Countries({{"RS", "SRB", "E"}, {"KR", "KOR", "K"}}), "RS", "E"},
      {"rejected answer", "DEU", "<c result='NO'></c>", "KR", "K"},
      {"empty answer", "DEU", "", "KR", "K"},
      {"no rows", "DEU", "<c result='OK'></c>", "", ""},
  };
  for (const Case& c : cases) {
    SimUpdlink pc;
    pc.countryAbbrev = c.abbrev;
    pc.Answer("/csmg/b2c/client/ftp_country_info.jsp", c.countries);
    ExportCall call(pc.machine);
    Country got = LookupCountry(call, false);
    EXPECT_EQ(got.code, c.code) << c.label;
    EXPECT_EQ(got.region, c.region) << c.label;
  }
}

TEST(CheckLV, QueryValuesArePercentEncoded) {
  Rig rig;
  rig.pc.phone.serial = "E 1&2#3%4\xE9";
  rig.pc.Answer("/svc/popup/model_check.jsp?esn=E%201%262%233%254%E9", "<c result='ok'><model>A B</model><buyer>T&amp;</buyer></c>");
  CheckLVUpdate(rig.pc.machine, "");
  ASSERT_FALSE(rig.Sent("/svc/popup/model_check.jsp").empty());
  EXPECT_EQ(rig.Sent("/svc/popup/model_check.jsp")[0], "/svc/popup/model_check.jsp?esn=E%201%262%233%254%E9");
  EXPECT_EQ(rig.Sent("/csmg/b2c/client/pcsync")[0], std::string(kList) + "?model=A%20B&buyer=T%26amp;&region=K&country=KR");
}

TEST(CheckLV, ServerBaseFromRegistry) {
  Rig rig;
  rig.pc.SetValue(kSyncKey, kServerValue, "http://127.0.0.1:9100/");
  CheckLVUpdate(rig.pc.machine, "");
  ASSERT_FALSE(rig.pc.requests.empty());
  for (const auto& r : rig.pc.requests)
    if (r.rfind("http://127.0.0.1", 0) == 0) { EXPECT_EQ(r.rfind("http://127.0.0.1:9100/", 0), 0u) << r; }
}

TEST(CheckLV, PendingDownloadReportedAsFailed) {
  struct Case { const char* label; std::vector<HttpAnswer> reports; std::string sKeyAfter; std::size_t sent; };
  const Case cases[] = {
      {"first report accepted", {HttpAnswer{200, "<r result='OK'/>"}}, "", 1},
      {"second try accepted", {HttpAnswer{200, "<r result='NO'/>"}}, "KKRKAB100:261207102845000", 2},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.pc.SetValue(kSyncKey, "S_KEY", "KKRKAB100:261207102845000");
    rig.pc.SetValue(kSyncKey, "S_NUM", "OLD");
    const std::string q = "/csmg/b2c/client/ric_hit_rate_pcsync_log.jsp?region=K&country=KR&status=FAIL&ric=KIC&client=SYNC_LU"
                          "&model=AB100&esn=OLD&version=&history_id=261207102845000&userid=&filesize=0&download_time=0.5";
    rig.pc.Answer(q, c.reports[0]);
    CheckLVUpdate(rig.pc.machine, "");
    EXPECT_EQ(rig.Sent("/csmg/b2c/client/ric_hit_rate_pcsync_log.jsp").size(), c.sent) << c.label;
    EXPECT_EQ(rig.pc.Value(kSyncKey, "S_KEY"), c.sKeyAfter) << c.label;
  }
}

// ---- reports -----------------------------------------------------------------
TEST(History, SplitsIntoPieces) {
  struct Case { const char* id; const char* letter, *country, *region, *model, *stamp; };
  const Case cases[] = {
      {"KKRKAB100:261207103015123", "K", "KR", "K", "AB100", "261207103015123"},
      {"GKRK:261207103015123", "G", "KR", "K", "", "261207103015123"},
      {"NDEEX:Y:Z", "N", "DE", "E", "X", "Y:Z"},
      {"AKRKnocolon", "A", "KR", "K", "", "nocolon"},
      {"K", "K", "", "", "", ""},
      {"KK", "K", "K", "", "", ""},
      {"KKR", "K", "KR", "", "", ""},
      {"", "", "", "", "", ""},
  };
  for (const Case& c : cases) {
    HistoryParts p = SplitHistoryId(c.id);
    EXPECT_EQ(p.letter, c.letter) << c.id;
    EXPECT_EQ(p.country, c.country) << c.id;
    EXPECT_EQ(p.region, c.region) << c.id;
    EXPECT_EQ(p.model, c.model) << c.id;
    EXPECT_EQ(p.stamp, c.stamp) << c.id;
  }
}

TEST(History, DownloadTimes) {
  const devstart::LocalTime now{2026, 12, 7, 10, 30, 15, 0};
  struct Case { const char* status; const char* stamp; const char* expected; };
  const Case cases[] = {
      {"OK", "261207102845999", "90"},
      {"OK", "261206093015000", "3600"},    // 25 hours: the whole day is dropped
      {"OK", "261207103015000", "0"},
      {"OK", "261130235959000", "37816"},   // across a month end: 7 days 10:30:16
      {"OK", "2612071028", "0"},            // too short
      {"OK", "26120710284x", "0"},
      {"OK", "261399102845", "0"},          // no such month
      {"OK", "", "0"},
      {"FAIL", "261207102845999", "0.5"},
      {"START", "261207102845999", "0.1"},
      {"", "", "0.1"},
  };
  for (const Case& c : cases) EXPECT_EQ(DownloadTime(c.status, c.stamp, now), c.expected) << c.status << " " << c.stamp;
}

TEST(History, MirrorNames) {
  const std::pair<const char*, const char*> cases[] = {
      {"K", "KIC"}, {"A", "AIC"}, {"C", "CIC"}, {"E", "EIC"}, {"G", "GLOBAL"}, {"N", "RUBA"}, {"Z", "Z"}, {"", ""}, {"KK", "KK"}};
  for (auto [letter, name] : cases) EXPECT_EQ(MirrorNameFromLetter(letter), name);
}

TEST(History, MirrorLetters) {
  const std::pair<const char*, const char*> cases[] = {
      {"RUBA", "N"}, {"KIC", "K"}, {"AIC", "A"}, {"CIC", "C"}, {"EIC", "E"}, {"GLOBAL", "G"}, {"XIC", "G"}, {"", "G"}};
  for (auto [code, letter] : cases) EXPECT_EQ(HistoryLetter(code), letter) << code;
}

struct ReportRig {
  SimUpdlink pc;
  std::string Url(const std::string& id, const std::string& status, const std::string& time, const std::string& esn = "ESN0001") {
    HistoryParts p = SplitHistoryId(id);
    return "/csmg/b2c/client/ric_hit_rate_pcsync_log.jsp?region=" + p.region + "&country=" + p.country + "&status=" + status +
           "&ric=" + MirrorNameFromLetter(p.letter) + "&client=SYNC_LU&model=" + p.model + "&esn=" + esn +
           "&version=&history_id=" + p.stamp + "&userid=&filesize=0&download_time=" + time;
  }
  ReportRig() { pc.SetValue(kSyncKey, "S_NUM", "ESN0001"); }
  std::vector<std::string> Reports() {
    std::vector<std::string> out;
    for (const auto& r : pc.requests) out.push_back(r.substr(kBase.size()));
    return out;
  }
};

TEST(Report, RequestOfAReport) {
  ReportRig rig;
  const std::string id = "NKRKAB100:261207102845000";
  rig.pc.Answer(rig.Url(id, "OK", "90"), "<r result='OK'/>");
  ExportCall call(rig.pc.machine);
  EXPECT_TRUE(ReportHistory(call, id, "OK"));
  EXPECT_EQ(rig.Reports(), std::vector<std::string>{rig.Url(id, "OK", "90")});
  EXPECT_NE(rig.Reports()[0].find("ric=RUBA"), std::string::npos);
  EXPECT_FALSE(ReportHistory(call, "", "OK"));
  EXPECT_EQ(rig.Reports().size(), 1u);
}

TEST(Report, UpdateGBCforSyncMovesPendingId) {
  const std::string id = "KKRKAB100:261207102845000", old = "GKRKAB100:261206000000000";
  struct Case { const char* label; std::string pending, status; bool accept; const char* message; std::string sKey; std::vector<std::string> statuses; };
  const Case cases[] = {
      {"START with nothing pending", "", "START", true, "MSG_SUCCESS", id, {"START"}},
      {"START rejected", "", "START", false, "MSG_FAIL", "", {"START"}},
      {"START with a pending id", old, "START", true, "MSG_SUCCESS", id, {"FAIL", "START"}},
      {"FAIL accepted", id, "FAIL", true, "MSG_SUCCESS", "", {"FAIL"}},
      {"FAIL rejected", id, "FAIL", false, "MSG_FAIL", id, {"FAIL"}},
      {"OK accepted", id, "OK", true, "MSG_SUCCESS", "", {"OK"}},
      {"OK rejected", id, "OK", false, "MSG_FAIL", id, {"OK"}},
      {"other status", id, "PAUSE", true, "MSG_SUCCESS", id, {}},
  };
  for (const Case& c : cases) {
    ReportRig rig;
    if (!c.pending.empty()) rig.pc.SetValue(kSyncKey, "S_KEY", c.pending);
    const std::string body = c.accept ? "<r result='OK'/>" : "<r result='NO'/>";
    rig.pc.Answer(rig.Url(id, "START", "0.1"), body);
    rig.pc.Answer(rig.Url(id, "FAIL", "0.5"), body);
    rig.pc.Answer(rig.Url(id, "OK", "90"), body);
    rig.pc.Answer(rig.Url(old, "FAIL", "0.5"), body);
    EXPECT_EQ(UpdateGBCforSync(rig.pc.machine, id, c.status), c.message) << c.label;
    EXPECT_EQ(rig.pc.Value(kSyncKey, "S_KEY"), c.sKey.empty() && c.pending.empty() && c.statuses.empty() ? "<none>" : c.sKey) << c.label;
    std::vector<std::string> statuses;
    for (const auto& r : rig.Reports()) {
      auto s = r.find("status=");
      statuses.push_back(r.substr(s + 7, r.find('&', s) - s - 7));
    }
    EXPECT_EQ(statuses, c.statuses) << c.label;
    if (c.pending == old && c.status == "START") { EXPECT_NE(rig.Reports()[0].find("history_id=261206000000000"), std::string::npos); }
  }
}

TEST(Report, BrokenRegistryStillReportsWithEmptySerial) {
  ReportRig rig;
  rig.pc.DenyKey(kSyncKey);
  const std::string id = "KKRKAB100:261207102845000";
  rig.pc.Answer(rig.Url(id, "FAIL", "0.5", ""), "<r result='OK'/>");
  EXPECT_EQ(UpdateGBCforSync(rig.pc.machine, id, "FAIL"), "MSG_SUCCESS");
}

TEST(Registry, OverlongPendingIdReadsEmpty) {
  SimUpdlink pc;
  pc.SetValue(kSyncKey, "S_KEY", std::string(256, 'K'));
  RegistryKey key(pc.machine.registry);
  ASSERT_TRUE(key.Open(win::kHkeyCurrentUser, kSyncKey));
  std::string v = "x";
  EXPECT_FALSE(key.ReadString("S_KEY", &v));
  EXPECT_EQ(v, "");
  pc.SetValue(kSyncKey, "S_KEY", std::string(255, 'K'));
  EXPECT_TRUE(key.ReadString("S_KEY", &v));
  EXPECT_EQ(v.size(), 255u);
}

// ---- one export call, one origin read, one conversation, nothing left open ---------
TEST(ExportCall, OriginReadOnceOneConversationNothingLeftOpen) {
  const std::string id = "KKRKAB100:261207102845000";
  struct Case { const char* label; std::function<void(SimUpdlink&)> run; int conversations; };
  const Case cases[] = {
      {"check with a pending download reported twice", [&](SimUpdlink& pc) { pc.SetValue(kSyncKey, "S_KEY", id); CheckLVUpdate(pc.machine, ""); }, 1},
      {"START with a pending download", [&](SimUpdlink& pc) { pc.SetValue(kSyncKey, "S_KEY", id); UpdateGBCforSync(pc.machine, id, "START"); }, 1},
      {"START with no id to report", [&](SimUpdlink& pc) { UpdateGBCforSync(pc.machine, "", "START"); }, 0},
      {"other status", [&](SimUpdlink& pc) { UpdateGBCforSync(pc.machine, id, "PAUSE"); }, 0},
      {"phone check", [](SimUpdlink& pc) { CheckPhoneSWUpdate(pc.machine); }, 1},
      {"setup download", [](SimUpdlink& pc) { StartUpdate(pc.machine); }, 1},
      {"launcher present", [](SimUpdlink& pc) { pc.AddFile("C:\\ProgramData\\TAVOMOBILEAX\\TavoMLauncher.exe", "MZ"); StartUpdate(pc.machine); }, 0},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.pc.SetValue(kSyncKey, kServerValue, kBase);
    c.run(rig.pc);
    EXPECT_EQ(rig.pc.ValueReads(kServerValue), 1) << c.label;
    EXPECT_EQ(rig.pc.com.initialized, c.conversations) << c.label;
    EXPECT_EQ(rig.pc.com.documents_created, c.conversations) << c.label;
    EXPECT_EQ(rig.pc.com.uninitialized, c.conversations) << c.label;
    EXPECT_EQ(rig.pc.com.documents_released, c.conversations) << c.label;
    EXPECT_EQ(rig.pc.OpenHandles(), 0) << c.label;
  }
}

// ---- phone software check -----------------------------------------------------
TEST(PhoneCheck, Outcomes) {
  struct Case { const char* label; int count; const char* phoneSw; const char* answer; int result; const char* message; };
  const Case cases[] = {
      {"1.0+A equals 1.00a", 1, "1.0+A", "<a result='OK'><result>OK</result><sw_version>1.00a</sw_version></a>", 0, "MSG_NO_NEW_VERSION"},
      {"newer offered", 1, "1.0+A", "<a result='OK'><result>OK</result><sw_version>1.01a</sw_version></a>", 1, ""},
      {"result not OK", 1, "1.0", "<a result='OK'><result>NO</result><sw_version>2.0</sw_version></a>", 0, "MSG_NO_NEW_VERSION"},
      {"phone version empty", 1, "", "<a result='OK'><result>OK</result><sw_version>2.0</sw_version></a>", 0, "MSG_NO_NEW_VERSION"},
      {"rejected", 1, "1.0", "<a result='NO'></a>", 0, "MSG_AUTH_FAIL"},
      {"empty answer", 1, "1.0", "", 0, "MSG_AUTH_FAIL"},
      {"no phone", 0, "1.0", "", 0, "MSG_CONNECT_FAIL"},
  };
  for (const Case& c : cases) {
    SimUpdlink pc;
    pc.phone.count = c.count;
    pc.phone.software = c.phoneSw;
    pc.Answer("/csmg/b2c/client/ftp_country_info.jsp", Countries({{"KR", "KOR", "K1"}}));
    if (*c.answer) pc.Answer("/csmg/b2c/client/auth_model_check.jsp?esn=ESN0001&model=AB100&country=KR&region=K1", c.answer);
    PhoneCheckResult r = CheckPhoneSWUpdate(pc.machine);
    EXPECT_EQ(r.result, c.result) << c.label;
    EXPECT_EQ(r.message, c.message) << c.label;
  }
}

TEST(PhoneCheck, ModelOnlyWithExactlyOnePhone) {
  SimUpdlink pc;
  pc.phone.count = 2;
  pc.Answer("/csmg/b2c/client/ftp_country_info.jsp", "");
  CheckPhoneSWUpdate(pc.machine);
  ASSERT_FALSE(pc.requests.empty());
  EXPECT_EQ(pc.requests.back(), kBase + "/csmg/b2c/client/auth_model_check.jsp?esn=ESN0001&model=&country=KR&region=");
}

TEST(PhoneCheck, MissingSlotMeansNoPhone) {
  for (int slot : {0, 1, 5, 8, 11, 12}) {
    SimUpdlink pc;
    pc.phone.missing_slots = {slot};
    EXPECT_EQ(CheckPhoneSWUpdate(pc.machine).message, "MSG_CONNECT_FAIL") << slot;
  }
}

// Every flow loads the identity DLLs by full path from the current directory,
// and only from there: a phone whose DLLs are in another folder is no phone.
TEST(PhoneIdentityLoads, FullPathInTheCurrentDirectoryOnly) {
  using Names = std::vector<std::string>;
  const Names kPhonelink = {"C:\\Sync\\Phonelink.dll"};
  const Names kBoth = {"C:\\Sync\\Phonelink.dll", "C:\\Sync\\AuthDll.dll"};
  struct Case {
    const char* label;
    std::function<std::string(SimUpdlink&)> flow;  // its message
    bool serial_ok;
    const char* dll_folder;
    Names loads;
    const char* message;
  };
  const Case cases[] = {
      {"check", [](SimUpdlink& p) { return CheckLVUpdate(p.machine, "").message; }, true, "C:\\Sync", kPhonelink,
       "MSG_AUTH_FAIL"},
      {"check, serial from AuthDll", [](SimUpdlink& p) { return CheckLVUpdate(p.machine, "").message; }, false,
       "C:\\Sync", kBoth, "MSG_AUTH_FAIL"},
      {"check, DLLs elsewhere", [](SimUpdlink& p) { return CheckLVUpdate(p.machine, "").message; }, true,
       "C:\\Windows\\System32", kBoth, "MSG_PHONE_FAIL"},
      {"phone check", [](SimUpdlink& p) { return CheckPhoneSWUpdate(p.machine).message; }, true, "C:\\Sync",
       kPhonelink, "MSG_AUTH_FAIL"},
      {"phone check, DLLs elsewhere", [](SimUpdlink& p) { return CheckPhoneSWUpdate(p.machine).message; }, true,
       "C:\\Windows\\System32", kPhonelink, "MSG_CONNECT_FAIL"},
      {"report", [](SimUpdlink& p) { return UpdateGBCforSync(p.machine, "KKRKAB100:261207103015123", "OK"); }, true,
       "C:\\Sync", Names{}, ""},
      {"setup", [](SimUpdlink& p) { return std::to_string(StartUpdate(p.machine)); }, true, "C:\\Sync", Names{},
       "0"},
  };
  for (const Case& c : cases) {
    SimUpdlink pc;
    pc.phone.serial_ok = c.serial_ok;
    pc.phone.folder = c.dll_folder;
    std::string message = c.flow(pc);
    EXPECT_EQ(pc.pc.modules.loads_a, c.loads) << c.label;
    if (*c.message) { EXPECT_EQ(message, c.message) << c.label; }
  }
}

// ---- cabinets and setup --------------------------------------------------------
TEST(Cabinet, NamesThatLeaveTheDestinationAreSkipped) {
  struct Case { const char* name; bool safe; };
  const Case cases[] = {
      {"B2CAppSetup.exe", true}, {"bin\\x.dll", true}, {"bin/x.dll", true}, {"a..b.txt", true}, {"..x", true},
      {"..\\evil.exe", false}, {"../evil.exe", false}, {"bin\\..\\..\\evil.exe", false}, {"C:\\evil.exe", false},
      {"C:evil.exe", false}, {"\\evil.exe", false}, {"/evil.exe", false}, {"x.txt:stream", false}, {"..", false}, {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsSafeCabinetName(c.name), c.safe) << c.name;

  SimUpdlink pc;
  pc.AddFolder("C:\\Dest");
  pc.cabinets["MSCFevil"] = {{"good.txt", "g"}, {"..\\evil.exe", "e"}, {"C:\\top.exe", "t"}, {"bin\\x.dll", "x"}, {"/root.exe", "r"}};
  pc.AddFile("C:\\Dest\\in.cab", "MSCFevil");
  EXPECT_TRUE(ExtractCabinet(pc.machine, "C:\\Dest\\in.cab", "C:\\Dest\\"));
  EXPECT_EQ(pc.Content("C:\\Dest\\good.txt"), "g");
  EXPECT_EQ(pc.Content("C:\\Dest\\bin\\x.dll"), "x");  // a new subfolder
  EXPECT_FALSE(pc.HasFile("C:\\evil.exe"));
  EXPECT_FALSE(pc.HasFile("C:\\top.exe"));
  EXPECT_FALSE(pc.HasFile("C:\\Dest\\..\\evil.exe"));
  EXPECT_FALSE(pc.HasFile("C:\\root.exe"));
}

TEST(Cabinet, ReadOnlyFileInTheWayIsReplaced) {
  SimUpdlink pc;
  pc.AddFolder("C:\\Dest");
  pc.AddFile("C:\\Dest\\a.txt", "old");
  pc.machine.files.SetFileAttributesA("C:\\Dest\\a.txt", 1);
  pc.cabinets["MSCF1"] = {{"a.txt", "new"}};
  pc.AddFile("C:\\c.cab", "MSCF1");
  EXPECT_TRUE(ExtractCabinet(pc.machine, "C:\\c.cab", "C:\\Dest"));
  EXPECT_EQ(pc.Content("C:\\Dest\\a.txt"), "new");
  EXPECT_FALSE(ExtractCabinet(pc.machine, "C:\\missing.cab", "C:\\Dest"));
}

TEST(Files, FolderPathAndVersion) {
  SimUpdlink pc;
  CreateFolderPath(pc.machine, "C:\\A\\B\\C\\file.txt");
  EXPECT_EQ(pc.machine.files.GetFileAttributesA("C:\\A\\B\\C"), win::kFileAttributeDirectory);
  EXPECT_EQ(pc.machine.files.GetFileAttributesA("C:\\A\\B\\C\\file.txt"), win::kInvalidFileAttributes);
  CreateFolderPath(pc.machine, "C:/X/Y/");
  EXPECT_EQ(pc.machine.files.GetFileAttributesA("C:\\X\\Y"), win::kFileAttributeDirectory);
  pc.AddFile("C:\\Sync\\Phonelink.dll", "MZ", "1, 0, 0, 2");
  EXPECT_EQ(GetFileVersionString(pc.machine, "C:\\Sync\\Phonelink.dll"), "1.0.0.2");
  pc.AddFile("C:\\Sync\\plain.dll", "MZ");
  EXPECT_EQ(GetFileVersionString(pc.machine, "C:\\Sync\\plain.dll"), "");
  EXPECT_EQ(GetFileVersionString(pc.machine, "C:\\Sync\\none.dll"), "");
  pc.SetCommonAppData(std::nullopt);
  pc.SetValue("Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", "C:\\Program Files", win::kHkeyLocalMachine);
  EXPECT_EQ(GetCommonAppDataFolder(pc.machine), "C:\\Program Files\\");
  pc.SetCommonAppData("C:\\ProgramData\\");
  EXPECT_EQ(GetCommonAppDataFolder(pc.machine), "C:\\ProgramData\\");
}

const char* kCatalogue =
    "<catalogue result='OK'><item name='PCSyncDLL' version='1.0.0.2' url='http://127.0.0.1:9002/files/PCSyncDLL.cab' />"
    "<item name='B2C_PCSynclink_setup' version='2.0' url='http://127.0.0.1:9002/files/B2CSetup.cab' /></catalogue>";

TEST(PhoneComponent, ReplacedOnlyWhenVersionDiffers) {
  struct Case { const char* label; const char* local; HttpAnswer cab; const char* after; bool downloaded; };
  const Case cases[] = {
      {"older local", "1.0.0.1", HttpAnswer{200, "MSCFdll"}, "NEW", true},
      {"no local file", "", HttpAnswer{200, "MSCFdll"}, "NEW", true},
      {"same version", "1.0.0.2", HttpAnswer{200, "MSCFdll"}, "OLD", false},
      {"error page", "1.0.0.1", HttpAnswer{404, "<html>not found</html>"}, "OLD", true},
      {"server down", "1.0.0.1", HttpAnswer{200, "", true}, "OLD", true},
  };
  for (const Case& c : cases) {
    SimUpdlink pc;
    pc.AddFile("C:\\Sync\\Phonelink.dll", "OLD");
    pc.Answer("/client/app/live_update.jsp", kCatalogue);
    pc.Answer("/files/PCSyncDLL.cab", c.cab);
    pc.cabinets["MSCFdll"] = {{"Phonelink.dll", "NEW"}};
    ExportCall call(pc.machine);
    UpdatePhoneComponent(call, c.local);
    EXPECT_EQ(pc.Content("C:\\Sync\\Phonelink.dll"), c.after) << c.label;
    EXPECT_FALSE(pc.HasFile("C:\\Sync\\PCSyncDLL.cab")) << c.label;
    bool asked = std::find(pc.requests.begin(), pc.requests.end(), kBase + "/files/PCSyncDLL.cab") != pc.requests.end();
    EXPECT_EQ(asked, c.downloaded) << c.label;
    EXPECT_EQ(pc.OpenHandles(), 0) << c.label;
  }
}

TEST(Setup, StartUpdate) {
  const std::string app = "C:\\ProgramData\\TAVOMOBILEAX";
  struct Case { const char* label; bool launcher; std::string catalogue; HttpAnswer cab; int result; const char* started; bool network; };
  const Case cases[] = {
      {"launcher present", true, kCatalogue, HttpAnswer{200, "MSCFsetup"}, 1, "TavoMLauncher.exe", false},
      {"setup downloaded", false, kCatalogue, HttpAnswer{200, "MSCFsetup"}, 1, "B2CAppSetup.exe", true},
      {"404 cabinet", false, kCatalogue, HttpAnswer{404, "<html>404</html>"}, 0, "", true},
      {"no catalogue", false, "", HttpAnswer{200, "MSCFsetup"}, 0, "", true},
      {"no setup entry", false, "<c result='OK'><item name='PCSyncDLL' version='1' url='u' /></c>", HttpAnswer{200, "MSCFsetup"}, 0, "", true},
  };
  for (const Case& c : cases) {
    SimUpdlink pc;
    if (c.launcher) pc.AddFile(app + "\\TavoMLauncher.exe", "MZ");
    if (!c.catalogue.empty()) pc.Answer("/client/app/live_update.jsp", c.catalogue);
    pc.Answer("/files/B2CSetup.cab", c.cab);
    pc.cabinets["MSCFsetup"] = {{"B2CAppSetup.exe", "MZsetup"}};
    EXPECT_EQ(StartUpdate(pc.machine), c.result) << c.label;
    EXPECT_EQ(pc.Value(kMobileAxKey, "SYNCUPDATE"), "TRUE") << c.label;
    EXPECT_EQ(!pc.requests.empty(), c.network) << c.label;
    EXPECT_FALSE(pc.HasFile(app + "\\B2CSetup.cab")) << c.label;
    EXPECT_EQ(pc.OpenHandles(), 0) << c.label;
    if (*c.started) {
      ASSERT_EQ(pc.launches.size(), 1u) << c.label;
      EXPECT_EQ(pc.launches[0].verb, "open");
      EXPECT_EQ(pc.launches[0].file, app + "\\" + c.started);
      EXPECT_EQ(pc.launches[0].directory, app);
      EXPECT_EQ(pc.launches[0].show, 1);
    } else {
      EXPECT_TRUE(pc.launches.empty()) << c.label;
    }
  }
}

// ---- HTTP text -----------------------------------------------------------------
TEST(Fetch, AnswerText) {
  struct Case { const char* label; HttpAnswer answer; const char* text; };
  const Case cases[] = {
      {"byte-order mark", HttpAnswer{200, "\xEF\xBB\xBF<r a='OK'/>"}, "<r a='OK'/>"},
      {"white space first and last", HttpAnswer{200, "  \r\n<r/>\r\n  \r\n"}, "<r/>"},
      {"lines joined", HttpAnswer{200, "<r>\r\n<x>1</x>\n</r>"}, "<r><x>1</x></r>"},
      {"utf-8 to ANSI", HttpAnswer{200, "<r>Caf\xC3\xA9 \xE2\x82\xAC</r>"}, "<r>Caf\xE9 ?</r>"},
      {"no tag at all", HttpAnswer{200, "plain"}, "plain"},
      {"error status", HttpAnswer{404, "<html>missing</html>"}, ""},
      {"cut off", HttpAnswer{200, "<r a='OK'><x>1</x>", false, 400}, ""},
      {"longer than announced", HttpAnswer{200, "<r a='OK'/>", false, 5}, "<r a='OK'/>"},
      {"unreachable", HttpAnswer{200, "<r/>", true}, ""},
  };
  for (const Case& c : cases) {
    SimUpdlink pc;
    pc.answers["http://h/a"] = c.answer;
    ServerQuery q(pc.machine);
    EXPECT_EQ(q.FetchUrlText("http://h/a"), c.text) << c.label;
  }
}

TEST(Fetch, ContentLengthProbe) {
  SimUpdlink pc;
  pc.answers["http://h/ok"] = HttpAnswer{200, "x", false, 1234};
  pc.answers["http://h/missing"] = HttpAnswer{404, "<html>error page</html>"};
  ServerQuery q(pc.machine);
  EXPECT_EQ(q.GetContentLength("http://h/ok"), 1234);
  EXPECT_EQ(q.GetContentLength("http://h/missing"), 23);  // the error page's length
  EXPECT_EQ(q.GetContentLength("http://h/down"), 0);
  EXPECT_EQ(q.GetContentLength(""), 0);
  EXPECT_EQ(pc.agents.back(), "Tavoe-ActiveDP/0.9");
}

TEST(Fetch, MissingXmlClassChangesNothing) {
  Rig rig;
  rig.pc.com.msxml_present = false;
  EXPECT_EQ(CheckLVUpdate(rig.pc.machine, "").message, "MSG_READY");
  EXPECT_EQ(rig.pc.com.documents_released, 0);
  EXPECT_EQ(rig.pc.com.initialized, rig.pc.com.uninitialized);
}

TEST(Encode, OnlyTroublesomeBytes) {
  const std::pair<const char*, const char*> cases[] = {
      {"AB100", "AB100"}, {"a b", "a%20b"}, {"a&b=c", "a%26b=c"}, {"#", "%23"}, {"%", "%25"}, {"\xE9", "%E9"},
      {"P4.2-x_y", "P4.2-x_y"}, {"", ""},
  };
  for (auto [in, out] : cases) EXPECT_EQ(EncodeQueryValue(in), out);
}

}  // namespace
