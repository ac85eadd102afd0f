// A hostile or broken update server and broken cabinets on the simulated PC:
// every request ends, and the folder a cabinet goes into keeps what it had.
#include <gtest/gtest.h>

#include "fake/sim_updlink.h"
#include "updlink/updlink.h"

using namespace updlink;
using updsim::HttpAnswer;
using updsim::SimUpdlink;

namespace {

const char* kCatalogue =
    "<catalogue result='OK'><item name='PCSyncDLL' version='1.0.0.2' url='http://127.0.0.1:9002/files/PCSyncDLL.cab' />"
    "</catalogue>";
const char* kBefore = "AuthDll.dll=AUTHOLD Phonelink.dll=OLD";

HttpAnswer Body(const std::string& body) { return HttpAnswer{200, body}; }
HttpAnswer Shaped(std::function<void(HttpAnswer&)> shape) {
  HttpAnswer a{200, "MSCFpair"};
  shape(a);
  return a;
}

TEST(Names, HostileCabinetNamesAreRefused) {
  const std::pair<const char*, bool> rows[] = {
      {"Phonelink.dll", true}, {"bin\\x.dll", true}, {"bin/x.dll", true}, {"..x", true}, {"a..b.txt", true},
      {"console.txt", true}, {"com10.txt", true}, {"lpt.txt", true}, {"nul_x", true},
      {"..\\evil.dll", false}, {"a\\..\\..\\b", false}, {"../evil.dll", false}, {"a/../../b", false},
      {"a\\.\\b", false}, {"a\\\\b", false}, {"bin\\", false},
      {"C:\\x", false}, {"C:x", false}, {"\\\\server\\share\\x", false}, {"//server/share/x", false}, {"\\x", false},
      {"CON", false}, {"nul", false}, {"COM1", false}, {"lpt1", false}, {"AUX", false}, {"PRN", false},
      {"con.txt", false}, {"NUL.tar.gz", false}, {"bin\\nul", false}, {"bin/Com9.log", false}, {"aux .txt", false},
      {"conout$", false}, {"COM\xB9", false},
      {"x.dll:evil", false}, {"x.dll::$DATA", false},
      {"x.dll.", false}, {"x.dll ", false}, {"bin.\\x.dll", false}, {"bin \\x.dll", false}, {"...", false},
      {"a<b", false}, {"a|b", false}, {"a?b", false}, {"a*b", false}, {"a\"b", false}, {"a\x01" "b", false},
  };
  for (auto [name, safe] : rows) EXPECT_EQ(IsSafeCabinetName(name), safe) << name;
}

// Phonelink.dll 1.0.0.1 and AuthDll.dll in the current folder; the catalogue
// offers 1.0.0.2 as a cabinet that replaces both.
TEST(PhoneComponent, FailedUpdateLeavesTheFolderAsItWas) {
  struct Row {
    const char* label;
    HttpAnswer cab;
    std::uint64_t room;
    const char* after;
  };
  const std::uint64_t all = UINT64_MAX;
  const Row rows[] = {
      {"whole cabinet", Body("MSCFpair"), all, "AuthDll.dll=AUTHNEW Phonelink.dll=NEW"},
      {"corrupt cabinet", Body("MSCFgarbage"), all, kBefore},
      {"truncated cabinet", Body("MSCFpa"), all, kBefore},
      {"empty file", Body(""), all, kBefore},
      {"cabinet larger than 32 MiB by its head", Body(std::string("MSCF\0\0\0\0\0\0\0\x04", 12)), all, kBefore},
      {"no room for the second file", Body("MSCFpair"), 5, kBefore},
      {"hostile names only", Body("MSCFhostile"), all, kBefore},
      {"error page", HttpAnswer{404, "<html>404</html>"}, all, kBefore},
      {"partial content", HttpAnswer{206, "MSCFpair"}, all, kBefore},
      {"endless body", Shaped([](HttpAnswer& a) { a.endless = true; }), all, kBefore},
      {"trickling body", Shaped([](HttpAnswer& a) { a.endless = true; a.ms_per_read = 30000; }), all, kBefore},
      {"length beyond the cap", Shaped([](HttpAnswer& a) { a.content_length = 40L << 20; }), all, kBefore},
      {"longer length than body", Shaped([](HttpAnswer& a) { a.content_length = 400; }), all, kBefore},
      {"shorter length than body", Shaped([](HttpAnswer& a) { a.content_length = 6; }), all, kBefore},
      {"redirect loop", Shaped([](HttpAnswer& a) { a.redirect = "http://127.0.0.1:9002/files/PCSyncDLL.cab"; }), all,
       kBefore},
      {"redirect to a file", Shaped([](HttpAnswer& a) { a.redirect = "file:///C:/Sync/Phonelink.dll"; }), all, kBefore},
      {"redirect to ftp", Shaped([](HttpAnswer& a) { a.redirect = "ftp://127.0.0.1/x.cab"; }), all, kBefore},
      {"redirect to https", Shaped([](HttpAnswer& a) { a.redirect = "https://203.0.113.9/x.cab"; }), all, kBefore},
      {"server down", HttpAnswer{200, "", true}, all, kBefore},
  };
  for (const Row& row : rows) {
    SimUpdlink pc;
    pc.AddFile("C:\\Sync\\Phonelink.dll", "OLD", "1, 0, 0, 1");
    pc.AddFile("C:\\Sync\\AuthDll.dll", "AUTHOLD");
    pc.Answer("/client/app/live_update.jsp", kCatalogue);
    pc.Answer("/files/PCSyncDLL.cab", row.cab);
    pc.cabinets["MSCFpair"] = {{"Phonelink.dll", "NEW"}, {"AuthDll.dll", "AUTHNEW"}};
    pc.cabinets["MSCFhostile"] = {{"..\\Phonelink.dll", "X"}, {"nul.dll", "X"}, {"Phonelink.dll:s", "X"}};
    pc.pc.cabinets.disk_room = row.room;
    ExportCall call(pc.machine);
    RefreshPhoneComponent(call);
    EXPECT_EQ(pc.Listing("C:\\Sync"), row.after) << row.label;
    EXPECT_FALSE(pc.HasFile("C:\\Phonelink.dll")) << row.label;
    ASSERT_EQ(pc.pc.internet.download_limits.size(), 1u) << row.label;
    EXPECT_EQ(pc.pc.internet.download_limits[0].deadline_ms, 600000u) << row.label;
    EXPECT_EQ(pc.pc.internet.download_limits[0].max_bytes, 33554432u) << row.label;
    EXPECT_EQ(pc.OpenHandles(), 0) << row.label;
  }
}

TEST(Cabinet, ReadOnlyOldFileIsRestoredWhenTheUnpackFails) {
  SimUpdlink pc;
  pc.AddFile("C:\\Sync\\Phonelink.dll", "OLD");
  pc.machine.files.SetFileAttributesA("C:\\Sync\\Phonelink.dll", 1);
  pc.cabinets["MSCFpair"] = {{"Phonelink.dll", "NEW"}, {"bin\\AuthDll.dll", "AUTHNEW"}};
  pc.AddFile("C:\\c.cab", "MSCFpair");
  pc.pc.cabinets.disk_room = 3;
  EXPECT_FALSE(ExtractCabinet(pc.machine, "C:\\c.cab", "C:\\Sync"));
  EXPECT_EQ(pc.Listing("C:\\Sync"), "Phonelink.dll=OLD");
  EXPECT_EQ(pc.machine.files.GetFileAttributesA("C:\\Sync\\Phonelink.dll"), 1u);
  pc.pc.cabinets.disk_room = UINT64_MAX;
  EXPECT_TRUE(ExtractCabinet(pc.machine, "C:\\c.cab", "C:\\Sync"));
  EXPECT_EQ(pc.Listing("C:\\Sync"), "Phonelink.dll=NEW bin\\{AuthDll.dll=AUTHNEW}");
}

TEST(Fetch, AnswersEndAtTheirBounds) {
  struct Row {
    const char* label;
    HttpAnswer answer;
    std::size_t text_size;
  };
  const Row rows[] = {
      {"a 10 MiB answer", HttpAnswer{200, "<" + std::string(10u << 20, 'a')}, 10485761},
      {"endless answer", Shaped([](HttpAnswer& a) { a.body = "<r>"; a.endless = true; a.no_length = true; }), 0},
      {"trickling answer",
       Shaped([](HttpAnswer& a) { a.body = "<r>"; a.endless = true; a.no_length = true; a.ms_per_read = 1000; }), 0},
      {"length longer than body", Shaped([](HttpAnswer& a) { a.body = "<r/>"; a.content_length = 99; }), 0},
  };
  for (const Row& row : rows) {
    SimUpdlink pc;
    pc.answers["http://h/a"] = row.answer;
    pc.pc.internet.available_chunk = 65536;
    ServerQuery q(pc.machine);
    EXPECT_EQ(q.FetchUrlText("http://h/a").size(), row.text_size) << row.label;
    ASSERT_EQ(pc.pc.internet.options.size(), 2u) << row.label;
    EXPECT_EQ(pc.pc.internet.options[0].value, 10000u) << row.label;  // connect
    EXPECT_EQ(pc.pc.internet.options[1].value, 30000u) << row.label;  // receive
    EXPECT_EQ(pc.OpenHandles(), 0) << row.label;
  }
}

TEST(Fetch, RedirectsAreFollowedFiveTimesAndOnlyOnTheWeb) {
  struct Row {
    const char* label;
    const char* location;
    const char* text;
    int probe;
    int kept;  // handles the query keeps: the probe's session, and its request when it answered
  };
  const Row rows[] = {
      {"to a path", "/b", "<b/>", 4, 2},
      {"to another origin", "http://g/b", "<g/>", 4, 2},
      {"to itself", "http://h/a", "", 0, 1},
      {"to ftp", "ftp://h/b", "", 0, 1},
      {"to a file", "file:///C:/Sync/Phonelink.dll", "", 0, 1},
      {"to another server by a relative form", "//evil/b", "", 0, 1},
  };
  for (const Row& row : rows) {
    SimUpdlink pc;
    pc.answers["http://h/a"] = Shaped([&](HttpAnswer& a) { a.redirect = row.location; });
    pc.answers["http://h/b"] = Body("<b/>");
    pc.answers["http://g/b"] = Body("<g/>");
    ServerQuery q(pc.machine);
    EXPECT_EQ(q.FetchUrlText("http://h/a"), row.text) << row.label;
    EXPECT_EQ(q.GetContentLength("http://h/a"), row.probe) << row.label;
    EXPECT_LE(pc.requests.size(), 12u) << row.label;
    EXPECT_EQ(pc.OpenHandles(), row.kept) << row.label;
  }
}

TEST(Encode, ValuesReachTheServerWhole) {
  const std::pair<const char*, const char*> rows[] = {
      {"1.0+A", "1.0%2BA"}, {"a=b", "a=b"}, {"a&b=c#d", "a%26b=c%23d"}, {"E 1", "E%201"}, {"\t\r\n", "%09%0D%0A"},
      {"\x7F", "%7F"}, {"Caf\xC3\xA9", "Caf%C3%A9"}, {"M\xFCller", "M%FCller"}, {"?/;:@", "?/;:@"},
  };
  for (auto [in, out] : rows) EXPECT_EQ(EncodeQueryValue(in), out) << in;

  SimUpdlink pc;
  pc.phone.serial = "E 1&2=3#4+5\xE9";
  pc.phone.model = "A+B &C";
  CheckPhoneSWUpdate(pc.machine);
  ASSERT_FALSE(pc.requests.empty());
  EXPECT_EQ(pc.requests.back(),
            "http://127.0.0.1:9002/csmg/b2c/client/auth_model_check.jsp?esn=E%201%262=3%234%2B5%E9&model=A%2BB%20%26C"
            "&country=KR&region=");
}

}  // namespace
