// The library's ports as the logic relies on them; the same cases run against
// the simulated PC and, under Wine, against the Win32 adapters.
#include <gtest/gtest.h>

#include "contract_env.h"
#include "updlink/updlink.h"

using namespace updlink;

namespace {

TEST(UpdContract, RegistryStringsRoundTripWithinTheReadBuffer) {
  UpdContractEnv& c = ContractEnv();
  const std::string key = c.KeyName();
  {
    RegKey k(c.env().reg);
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
  RegKey again(c.env().reg);
  EXPECT_TRUE(again.Open(win::kHkeyCurrentUser, key));
}

TEST(UpdContract, FoldersAndFiles) {
  UpdContractEnv& c = ContractEnv();
  IFiles& f = c.env().files;
  const std::string s = c.Scratch();
  EXPECT_TRUE(f.CreateDirectory(s + "\\a"));
  EXPECT_FALSE(f.CreateDirectory(s + "\\a"));         // exists already
  EXPECT_FALSE(f.CreateDirectory(s + "\\x\\y"));      // parent missing
  EXPECT_TRUE(f.GetAttributes(s + "\\a") & win::kFileAttributeDirectory);
  EXPECT_EQ(f.GetAttributes(s + "\\nothing"), win::kInvalidFileAttributes);
  c.PutFile(s + "\\a\\f.bin", "MSCF-and-more");
  EXPECT_EQ(f.ReadHead(s + "\\a\\f.bin", 4), std::optional<std::string>("MSCF"));
  EXPECT_EQ(f.ReadHead(s + "\\a\\short.bin", 4), std::nullopt);
  EXPECT_TRUE(f.CanOpenForRead(s + "\\a\\f.bin"));
  EXPECT_FALSE(f.CanOpenForRead(s + "\\a\\gone.bin"));
  EXPECT_TRUE(f.SetAttributes(s + "\\a\\f.bin", 1));  // read-only
  EXPECT_FALSE(f.DeleteFile(s + "\\a\\f.bin"));
  EXPECT_TRUE(f.SetAttributes(s + "\\a\\f.bin", win::kFileAttributeNormal));
  EXPECT_TRUE(f.DeleteFile(s + "\\a\\f.bin"));
  EXPECT_EQ(c.ReadFile(s + "\\a\\f.bin"), "<none>");
  EXPECT_EQ(f.VersionValue(s + "\\a\\none.dll", "\\VarFileInfo\\Translation"), std::nullopt);
  CreateFolderPath(c.env(), s + "\\p\\q\\r\\");
  EXPECT_TRUE(f.GetAttributes(s + "\\p\\q\\r") & win::kFileAttributeDirectory);
}

TEST(UpdContract, CabinetNamesReachTheCallbackUnchanged) {
  UpdContractEnv& c = ContractEnv();
  const std::string s = c.Scratch();
  c.PutCabinet(s + "\\t.cab", {{"a.txt", "A"}, {"..\\up.txt", "U"}, {"sub\\b.txt", "B"}});
  std::vector<std::string> names;
  EXPECT_TRUE(c.env().cabinet.Iterate(s + "\\t.cab", [&](std::uint32_t note, const std::string& name, std::string*) {
    if (note == win::kSpFileNotifyFileInCabinet) { names.push_back(name); return win::kFileOpSkip; }
    return win::kNoError;
  }));
  EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "..\\up.txt", "sub\\b.txt"}));
  // A target in a folder that does not exist fails the extraction.
  EXPECT_FALSE(c.env().cabinet.Iterate(s + "\\t.cab", [&](std::uint32_t note, const std::string&, std::string* target) {
    if (note == win::kSpFileNotifyFileInCabinet) { *target = s + "\\missing\\x.txt"; return win::kFileOpDoIt; }
    return win::kNoError;
  }));
  EXPECT_FALSE(c.env().cabinet.Iterate(s + "\\none.cab", [](std::uint32_t, const std::string&, std::string*) {
    return win::kNoError;
  }));
}

TEST(UpdContract, ExtractionKeepsEveryFileInsideTheDestination) {
  UpdContractEnv& c = ContractEnv();
  const std::string s = c.Scratch();
  c.env().files.CreateDirectory(s + "\\dest");
  c.PutFile(s + "\\dest\\a.txt", "old");
  c.env().files.SetAttributes(s + "\\dest\\a.txt", 1);
  c.PutCabinet(s + "\\t.cab", {{"a.txt", "A"}, {"..\\up.txt", "U"}, {"sub\\b.txt", "B"}, {"../up2.txt", "U"}});
  EXPECT_TRUE(ExtractCabinet(c.env(), s + "\\t.cab", s + "\\dest\\"));
  EXPECT_EQ(c.ReadFile(s + "\\dest\\a.txt"), "A");
  EXPECT_EQ(c.ReadFile(s + "\\dest\\sub\\b.txt"), "B");
  EXPECT_EQ(c.ReadFile(s + "\\up.txt"), "<none>");
  EXPECT_EQ(c.ReadFile(s + "\\up2.txt"), "<none>");
}

TEST(UpdContract, Utf8Decoding) {
  UpdContractEnv& c = ContractEnv();
  struct Case { std::string in; std::u16string out; };
  const Case cases[] = {{"abc", u"abc"}, {"Caf\xC3\xA9", u"Caf\u00E9"}, {"\xE2\x82\xAC", u"\u20AC"},
                        {"\xF0\x9F\x98\x80", u"\U0001F600"}, {"", u""}};
  for (const Case& cs : cases) EXPECT_EQ(c.env().sys.MultiByteToWide(win::kCpUtf8, cs.in), cs.out) << cs.in;
  EXPECT_EQ(c.env().sys.WideToMultiByte(win::kCpAcp, u"plain <x/>"), "plain <x/>");
}

}  // namespace
