// The ports' ANSI calls as the library relies on them, partly through the
// library's own file helpers; the same cases run against the simulated PC and,
// under Wine, against the Win32 adapters.
#include <gtest/gtest.h>

#include "contract_env.h"
#include "updlink/updlink.h"

using namespace updlink;
namespace win = devstart::win;

namespace {

TEST(UpdContract, RegistryStringsRoundTripWithinTheReadBuffer) {
  UpdContractEnv& c = ContractEnv();
  const std::string key = c.KeyName();
  {
    RegistryKey k(c.machine().registry);
    EXPECT_FALSE(k.Open(win::kHkeyCurrentUser, key));
    ASSERT_TRUE(k.Create(win::kHkeyCurrentUser, key));
    struct Case { std::string value; bool readable; };
    const Case cases[] = {{"", true}, {"ESN0001", true}, {std::string(255, 'K'), true}, {std::string(256, 'K'), false}};
    for (const Case& cs : cases) {
      ASSERT_TRUE(k.WriteString("S_KEY", cs.value));
      std::string got = "x";
      EXPECT_EQ(k.ReadString("S_KEY", &got), cs.readable) << cs.value.size();
      EXPECT_EQ(got, cs.readable ? cs.value : "") << cs.value.size();
    }
    std::string none = "x";
    EXPECT_FALSE(k.ReadString("missing", &none));
    EXPECT_EQ(none, "");
  }
  RegistryKey again(c.machine().registry);
  EXPECT_TRUE(again.Open(win::kHkeyCurrentUser, key));
}

TEST(UpdContract, FoldersAndFiles) {
  UpdContractEnv& c = ContractEnv();
  devstart::Machine& m = c.machine();
  devstart::IFileSystem& f = m.files;
  const std::string s = c.Scratch();
  EXPECT_TRUE(f.CreateDirectoryA(s + "\\a").ok);
  EXPECT_FALSE(f.CreateDirectoryA(s + "\\a").ok);         // exists already
  EXPECT_FALSE(f.CreateDirectoryA(s + "\\x\\y").ok);      // parent missing
  EXPECT_TRUE(f.GetFileAttributesA(s + "\\a") & win::kFileAttributeDirectory);
  EXPECT_EQ(f.GetFileAttributesA(s + "\\nothing"), win::kInvalidFileAttributes);
  c.PutFile(s + "\\a\\f.bin", "MSCF-and-more");
  EXPECT_EQ(ReadHead(m, s + "\\a\\f.bin", 4), std::optional<std::string>("MSCF"));
  EXPECT_EQ(ReadHead(m, s + "\\a\\short.bin", 4), std::nullopt);
  EXPECT_TRUE(CanOpenForRead(m, s + "\\a\\f.bin"));
  EXPECT_FALSE(CanOpenForRead(m, s + "\\a\\gone.bin"));
  EXPECT_TRUE(f.SetFileAttributesA(s + "\\a\\f.bin", 1).ok);  // read-only
  EXPECT_FALSE(f.DeleteFileA(s + "\\a\\f.bin").ok);
  EXPECT_TRUE(f.SetFileAttributesA(s + "\\a\\f.bin", win::kFileAttributeNormal).ok);
  EXPECT_TRUE(f.DeleteFileA(s + "\\a\\f.bin").ok);
  EXPECT_EQ(c.ReadFile(s + "\\a\\f.bin"), "<none>");
  EXPECT_EQ(VersionValue(m, s + "\\a\\none.dll", "\\VarFileInfo\\Translation"), std::nullopt);
  CreateFolderPath(m, s + "\\p\\q\\r\\");
  EXPECT_TRUE(f.GetFileAttributesA(s + "\\p\\q\\r") & win::kFileAttributeDirectory);
}

TEST(UpdContract, ExtractionKeepsEveryFileInsideTheDestination) {
  UpdContractEnv& c = ContractEnv();
  const std::string s = c.Scratch();
  c.machine().files.CreateDirectoryA(s + "\\dest");
  c.PutFile(s + "\\dest\\a.txt", "old");
  c.machine().files.SetFileAttributesA(s + "\\dest\\a.txt", 1);
  c.PutCabinet(s + "\\t.cab", {{"a.txt", "A"}, {"..\\up.txt", "U"}, {"sub\\b.txt", "B"}, {"../up2.txt", "U"}});
  EXPECT_TRUE(ExtractCabinet(c.machine(), s + "\\t.cab", s + "\\dest\\"));
  EXPECT_EQ(c.ReadFile(s + "\\dest\\a.txt"), "A");
  EXPECT_EQ(c.ReadFile(s + "\\dest\\sub\\b.txt"), "B");
  EXPECT_EQ(c.ReadFile(s + "\\up.txt"), "<none>");
  EXPECT_EQ(c.ReadFile(s + "\\up2.txt"), "<none>");
}

}  // namespace
