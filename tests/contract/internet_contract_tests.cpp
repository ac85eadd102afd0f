// What the live-update library relies on from WinINet and the URL download,
// checked alike on the simulated PC and on Wine against the loopback update
// server. A program of its own under Wine, and the downloads last in it: in a
// 32-bit process under qemu-user a socket's connect never completes once the
// process has a second thread, and URLDownloadToFileA leaves threads behind
// (so does SCOPED_TRACE, hence the row names in the messages).
#include <gtest/gtest.h>

#include <cstring>

#include "contract/contract_env.h"

namespace devstart::contract {
namespace {

// What an out-parameter holds before a call that must leave it alone.
const std::string kPoison = "poison";
constexpr std::uint32_t kPoisonCount = 0xBADBAD;

class InternetContract : public ::testing::Test {
 protected:
  void SetUp() override {
    env = MakeContractEnv();
    origin = env->UpdateServer();
    session = net().InternetOpenA("contract", win::kInternetOpenTypePreconfig, 0);
    ASSERT_NE(session, kNullHandle);
  }
  void TearDown() override {
    if (session != kNullHandle) {
      EXPECT_TRUE(net().InternetCloseHandle(session));
    }
  }
  IInternet& net() { return env->machine().internet; }
  // The body to its end in 64 KiB reads, as the library reads it.
  std::string ReadAll(const char* row, Handle file, int* reads) {
    std::string body;
    std::string chunk(65536, '\0');
    for (*reads = 1;; ++*reads) {
      std::uint32_t got = kPoisonCount;
      if (!net().InternetReadFile(file, chunk.data(), static_cast<std::uint32_t>(chunk.size()), &got)) {
        ADD_FAILURE() << row << ": read " << *reads << " failed";
        return body;
      }
      EXPECT_LE(got, chunk.size()) << row << ": read " << *reads;
      if (got == 0 || got > chunk.size()) return body;
      body.append(chunk.data(), got);
    }
  }
  std::string Header(const char* row, Handle request, std::uint32_t level) {
    std::string text = kPoison;
    EXPECT_TRUE(net().HttpQueryInfoA(request, level, 32, &text)) << row << ": header " << level;
    return text;
  }
  std::unique_ptr<ContractEnv> env;
  std::string origin;
  Handle session = kNullHandle;
};

const std::string& kErrorPage = kUpdateServerErrorPage;

TEST_F(InternetContract, AnswersReadToTheirEnd) {
  struct Row {
    const char* name;
    const char* path;
    const char* status;
    std::string length;  // Content-Length as the server announced it
    std::string body;
    int reads;  // including the last one, which reads nothing
  };
  const std::string large = LargeBody();
  const Row rows[] = {
      {"small", "/contract/hello", "200", "20", "Hello, update client", 2},
      {"larger_than_two_reads", "/files/large.bin", "200", std::to_string(large.size()), large, 4},
      {"missing_page", "/contract/missing", "404", std::to_string(kErrorPage.size()), kErrorPage, 2},
      {"unscripted_path", "/contract/nowhere", "404", std::to_string(kErrorPage.size()), kErrorPage, 2},
      {"server_error", "/contract/broken", "500", "14", "server trouble", 2},
      // The connection closes halfway: the read ends early, without error.
      {"cut_short", "/contract/cut", "200", "64", "0123456789abcdef0123456789abcdef", 2},
  };
  for (const Row& row : rows) {
    Handle file = net().InternetOpenUrlA(
        session, origin + row.path, win::kInternetFlagReload | win::kInternetFlagTransferBinary, 1);
    ASSERT_NE(file, kNullHandle) << row.name;
    EXPECT_EQ(Header(row.name, file, win::kHttpQueryStatusCode), row.status) << row.name;
    EXPECT_EQ(Header(row.name, file, win::kHttpQueryContentLength), row.length) << row.name;
    int reads = 0;
    std::string body = ReadAll(row.name, file, &reads);
    EXPECT_EQ(body.size(), row.body.size()) << row.name;
    EXPECT_TRUE(body == row.body) << row.name << ": the body differs";
    EXPECT_EQ(reads, row.reads) << row.name;
    EXPECT_TRUE(net().InternetCloseHandle(file)) << row.name;
  }
}

TEST_F(InternetContract, HeaderNeedsRoomForItsTerminator) {
  Handle file = net().InternetOpenUrlA(session, origin + "/contract/hello",
                                       win::kInternetFlagReload | win::kInternetFlagNoCacheWrite, 0);
  ASSERT_NE(file, kNullHandle);
  struct Row {
    const char* name;
    std::uint32_t level;
    std::uint32_t buffer;
    std::optional<std::string> text;  // nullopt: the call fails and leaves the text alone
  };
  // No row for a status code in three bytes: Wine fits it without its
  // terminator where Windows asks for four.
  const Row rows[] = {{"status_roomy", win::kHttpQueryStatusCode, 32, "200"},
                      {"status_exact", win::kHttpQueryStatusCode, 4, "200"},
                      {"status_no_buffer", win::kHttpQueryStatusCode, 0, std::nullopt},
                      {"length_exact", win::kHttpQueryContentLength, 3, "20"},
                      {"length_no_room_for_the_terminator", win::kHttpQueryContentLength, 2, std::nullopt}};
  for (const Row& row : rows) {
    std::string text = kPoison;
    EXPECT_EQ(net().HttpQueryInfoA(file, row.level, row.buffer, &text), row.text.has_value()) << row.name;
    EXPECT_EQ(text, row.text.value_or(kPoison)) << row.name;
  }
  EXPECT_TRUE(net().InternetCloseHandle(file));
}

TEST_F(InternetContract, NothingListeningMeansNoHandle) {
  EXPECT_EQ(net().InternetOpenUrlA(session, env->NothingListens() + "/contract/hello",
                                   win::kInternetFlagReload | win::kInternetFlagTransferBinary, 1),
            kNullHandle);
}

// The program's wide calls: a session with time-outs, the status before a
// byte is kept, and what is ready to read never more than what remains.
TEST_F(InternetContract, WideSessionReadsWhatIsAvailable) {
  Handle wide = net().InternetOpenW(L"HTTP File Transfer", win::kInternetOpenTypePreconfig, 0);
  ASSERT_NE(wide, kNullHandle);
  EXPECT_TRUE(net().InternetSetOption(wide, win::kInternetOptionConnectTimeout, 10000));
  EXPECT_TRUE(net().InternetSetOption(wide, win::kInternetOptionReceiveTimeout, 30000));
  Handle file = net().InternetOpenUrlW(wide, std::wstring(origin.begin(), origin.end()) + L"/contract/hello",
                                       win::kInternetFlagReload);
  ASSERT_NE(file, kNullHandle);
  EXPECT_EQ(Header("wide", file, win::kHttpQueryStatusCode), "200");
  std::uint32_t available = kPoisonCount;
  ASSERT_TRUE(net().InternetQueryDataAvailable(file, &available));
  EXPECT_GE(available, 1u);
  EXPECT_LE(available, 20u);
  int reads = 0;
  EXPECT_EQ(ReadAll("wide", file, &reads), "Hello, update client");
  EXPECT_TRUE(net().InternetCloseHandle(file));
  std::string refused = env->NothingListens() + "/contract/hello";
  EXPECT_EQ(net().InternetOpenUrlW(wide, std::wstring(refused.begin(), refused.end()), win::kInternetFlagReload),
            kNullHandle);
  EXPECT_TRUE(net().InternetCloseHandle(wide));
}

TEST_F(InternetContract, ClosedHandleDoesNotCloseAgain) {
  Handle file = net().InternetOpenUrlA(session, origin + "/contract/hello", win::kInternetFlagReload, 0);
  ASSERT_NE(file, kNullHandle);
  EXPECT_TRUE(net().InternetCloseHandle(file));
  EXPECT_FALSE(net().InternetCloseHandle(file));
}

// Not a row: an error page. Windows fails the download of a 404 answer, Wine
// saves the page and reports success; the library tells a cabinet by its head.
TEST(DownloadContract, WritesTheBodyToTheFile) {
  auto env = MakeContractEnv();
  IInternet& net = env->machine().internet;
  std::string origin = env->UpdateServer();
  struct Row {
    const char* name;
    std::string url;
    bool ok;
    std::optional<std::string> file;
  };
  const Row rows[] = {{"small", origin + "/contract/hello", true, "Hello, update client"},
                      {"large", origin + "/files/large.bin", true, LargeBody()},
                      {"nothing_listening", env->NothingListens() + "/files/large.bin", false, std::nullopt}};
  for (const Row& row : rows) {
    std::wstring target = env->Scratch() + L"download-" + std::wstring(row.name, row.name + strlen(row.name));
    std::int32_t hr = net.URLDownloadToFileA(row.url, Narrow(target), {60000, 1u << 30});
    EXPECT_EQ(hr >= 0, row.ok) << row.name << ": HRESULT " << hr;
    if (row.ok) {
      EXPECT_EQ(hr, static_cast<std::int32_t>(win::kSOk)) << row.name;
    }
    std::optional<std::string> written = env->ReadFile(target);
    EXPECT_EQ(written.has_value(), row.file.has_value()) << row.name;
    EXPECT_TRUE(written == row.file) << row.name << ": the file differs";
  }
}

}  // namespace
}  // namespace devstart::contract
