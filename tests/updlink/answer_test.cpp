// The answer scanner, its lookups and the catalogue entry scan.
#include <gtest/gtest.h>

#include "updlink/answer.h"
#include "updlink/catalogue.h"

using namespace updlink;

namespace {

struct ScanCase {
  const char* label;
  const char* text;
  const char* rootName;
  const char* rootAttributes;
  const char* field;
  std::vector<std::string> all;
  const char* first;
};

class Scanner : public ::testing::TestWithParam<ScanCase> {};

TEST_P(Scanner, ReadsTreeAndFields) {
  const ScanCase& c = GetParam();
  AnswerParser p;
  p.Load(c.text);
  EXPECT_EQ(p.Root().name(), c.rootName);
  EXPECT_EQ(p.RootAttributes(), c.rootAttributes);
  EXPECT_EQ(FindAll(p.Root(), c.field), c.all);
  EXPECT_EQ(FindFirst(p.Root(), c.field), c.first);
}

const char* kTwoRows = "<r result='OK'><row><sw_version>P4.1</sw_version></row><row><sw_version>P4.2</sw_version></row></r>";

INSTANTIATE_TEST_SUITE_P(
    Answers, Scanner,
    ::testing::Values(
        ScanCase{"plain", kTwoRows, "r", "result='OK'", "sw_version", {"P4.1", "P4.2"}, "P4.1"},
        ScanCase{"declaration", "<?xml version='1.0' encoding='utf-8'?><r result='OK'><row><sw_version>P4.1</sw_version></row><row><sw_version>P4.2</sw_version></row></r>",
                 "r", "result='OK'", "sw_version", {"P4.1", "P4.2"}, "P4.1"},
        ScanCase{"comment", "<r a='OK'><!-- note --><x>1</x></r>", "r", "a='OK'", "x", {"1"}, "1"},
        ScanCase{"line breaks joined", "<r result='OK'>\r\n<model>AB\n100</model>\t</r>", "r", "result='OK'", "model", {"AB100"}, "AB100"},
        ScanCase{"text trimmed", "<r result='OK'><buyer>   TAV  </buyer></r>", "r", "result='OK'", "buyer", {"TAV"}, "TAV"},
        ScanCase{"deep fields", "<r result='OK'><a><b><c><sw_uri>u1</sw_uri></c></b></a><sw_uri>u2</sw_uri></r>", "r", "result='OK'", "sw_uri", {"u1", "u2"}, "u1"},
        ScanCase{"unmatched closers stop at root", "<r result='OK'></a></b></c><x>7</x></r></r>", "r", "result='OK'", "x", {"7"}, "7"},
        ScanCase{"closing name not compared", "<r result='OK'><x>1</y><x>2</x></r>", "r", "result='OK'", "x", {"1", "2"}, "1"},
        ScanCase{"attributes trimmed", "<r    result='OK'   ><x>1</x></r>", "r", "result='OK'", "x", {"1"}, "1"},
        ScanCase{"no root", "just text", "", "", "x", {}, ""},
        ScanCase{"empty", "", "", "", "x", {}, ""},
        ScanCase{"missing field", kTwoRows, "r", "result='OK'", "sw_uri", {}, ""},
        ScanCase{"lone slash tag", "<r a='OK'></><x>5</x></r>", "r", "a='OK'", "x", {"5"}, "5"},
        ScanCase{"cut off", "<r result='OK'><row><sw_version>P4.1</sw_ver", "r", "result='OK'", "sw_version", {"P4.1"}, "P4.1"}),
    [](const auto& info) {
      std::string n = info.param.label;
      for (char& c : n) if (!isalnum(static_cast<unsigned char>(c))) c = '_';
      return n;
    });

TEST(Scanner, AcceptanceWordNeedsPositionOneOrMore) {
  struct { const char* text; const char* word; bool accepted; } cases[] = {
      {kTwoRows, "OK", true},        // "OK" at position 8
      {"<r OK='1'></r>", "OK", false},  // position 0 never counted
      {"<r xOK></r>", "OK", true},
      {"<r result='ok'></r>", "OK", false},
      {"<r result='ok'></r>", "ok", true},
      {"<r></r>", "OK", false},
  };
  for (const auto& c : cases) {
    AnswerParser p;
    p.Load(c.text);
    EXPECT_EQ(p.Accepted(c.word), c.accepted) << c.text;
  }
  AnswerParser p;
  p.Load(kTwoRows);
  EXPECT_EQ(p.RootAttributes().find("OK"), 8u);
}

TEST(Scanner, SelfClosingElementHasAttributesAndNoChildren) {
  AnswerParser p;
  p.Load("<r result='OK'><x a='1'/><y>2</y></r>");
  const AnswerNode* x = p.Root().firstChild();
  ASSERT_NE(x, nullptr);
  EXPECT_EQ(x->name(), "x");
  EXPECT_EQ(x->attributes(), "a='1'");
  EXPECT_EQ(x->firstChild(), nullptr);
  ASSERT_NE(x->nextSibling(), nullptr);
  EXPECT_EQ(x->nextSibling()->name(), "y");  // a sibling, not a child of x
  EXPECT_EQ(x->nextSibling()->nextSibling(), nullptr);
}

TEST(Scanner, OddShapesReadAsTheCharacterScanReadsThem) {
  struct Case { const char* text; const char* field; std::vector<std::string> all; };
  const Case cases[] = {
      // text between a declaration and the next tag joins that tag's text
      {"<?xml?>ab<r k='OK'><x>1</x></r>", "x", {"1"}},
      // a stray ">" in content opens a nameless element that takes the text,
      // without the ">" itself
      {"<r k='OK'><x>1>2</x></r>", "x", {""}},
      {"<r k='OK'><x>1>2</x></r>", "", {"12"}},
      // a "<" inside a tag empties the current text and joins the tag
      {"<r k='OK'><x>v</x><y <z>w</y></r>", "x", {"v"}},
      {"<r k='OK'><a/><b/></r>", "a", {""}},
      // "</x/>" reads as a self-closing x
      {"<r k='OK'></x/><x>3</x></r>", "x", {"", "3"}},
  };
  for (const Case& c : cases) {
    AnswerParser p;
    p.Load(c.text);
    EXPECT_EQ(FindAll(p.Root(), c.field), c.all) << c.text;
  }
  AnswerParser p;
  p.Load("<?xml?>ab<r k='OK'><x>1</x></r>");
  EXPECT_EQ(p.Root().name(), "abr");
}

TEST(Scanner, FirstMatchWithEmptyTextEndsOnlyItsParentsSearch) {
  AnswerParser p;
  // Inside <a> the first "v" is empty: the search of <a> ends there, the one
  // of <b> goes on. A direct child with an empty text ends the whole search.
  p.Load("<r k='OK'><a><v></v><v>skipped</v></a><b><v>found</v></b></r>");
  EXPECT_EQ(FindFirst(p.Root(), "v"), "found");
  p.Load("<r k='OK'><v></v><b><v>later</v></b></r>");
  EXPECT_EQ(FindFirst(p.Root(), "v"), "");
}

TEST(Scanner, ReloadForgetsThePreviousAnswer) {
  AnswerParser p;
  p.Load(kTwoRows);
  p.Load("<q z='OK'><m>1</m></q>");
  EXPECT_EQ(p.Root().name(), "q");
  EXPECT_TRUE(FindAll(p.Root(), "sw_version").empty());
}

TEST(Scanner, HostileNestingAMillionDeepIsWalkedAndFreed) {
  constexpr int kDepth = 1000000;
  std::string text = "<r result='OK'>";
  text.reserve(kDepth * 7 + 64);
  for (int i = 0; i < kDepth; ++i) text += "<a>";
  text += "<v>deep</v>";
  {
    AnswerParser p;
    p.Load(text);
    EXPECT_EQ(FindFirst(p.Root(), "v"), "deep");
    EXPECT_EQ(FindAll(p.Root(), "v"), std::vector<std::string>{"deep"});
    EXPECT_EQ(FindAll(p.Root(), "a").size(), static_cast<std::size_t>(kDepth));
  }  // teardown must not recurse either
}

struct EntryCase {
  const char* label;
  const char* text;
  const char* entry;
  bool found;
  const char* version;
  const char* url;
};

class Catalogue : public ::testing::TestWithParam<EntryCase> {};

TEST_P(Catalogue, ScansEntry) {
  const EntryCase& c = GetParam();
  CatalogueEntry e = ScanCatalogueEntry(c.text, c.entry);
  EXPECT_EQ(e.found, c.found);
  EXPECT_EQ(e.version, c.version);
  EXPECT_EQ(e.url, c.url);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, Catalogue,
    ::testing::Values(
        EntryCase{"well formed", "<list><item name='PCSyncDLL' version='1.0.0.2' url='http://h/p.cab' /></list>", "name='PCSyncDLL'", true, "1.0.0.2", "http://h/p.cab"},
        EntryCase{"second entry", "<l><item name='A' version='1' url='a' /><item name='B2C_PCSynclink_setup' version='2.5' url='http://h/B2CSetup.cab' /></l>",
                  "name='B2C_PCSynclink_setup'", true, "2.5", "http://h/B2CSetup.cab"},
        EntryCase{"absent", "<l><item name='A' version='1' url='a' /></l>", "name='PCSyncDLL'", false, "", ""},
        EntryCase{"at position zero", "name='PCSyncDLL' version='1' url='u' />", "name='PCSyncDLL'", false, "", ""},
        EntryCase{"no closing slash", "<l><item name='PCSyncDLL' version='1' url='u'></l>", "name='PCSyncDLL'", true, "", ""},
        EntryCase{"no version", "<l><item name='PCSyncDLL' url='http://u' /></l>", "name='PCSyncDLL'", true, "", "http://u"},
        EntryCase{"no url", "<l><item name='PCSyncDLL' version='3' /></l>", "name='PCSyncDLL'", true, "", ""},
        EntryCase{"url without quotes", "<l><item name='PCSyncDLL' version='3' url=x /></l>", "name='PCSyncDLL'", true, "3", ""},
        EntryCase{"closing right after name", "<l><item name='PCSyncDLL'/></l>", "name='PCSyncDLL'", true, "", ""},
        EntryCase{"url before version", "<l><item name='PCSyncDLL' url='u' version='3' /></l>", "name='PCSyncDLL'", true, "", "u' version='3"}),
    [](const auto& info) {
      std::string n = info.param.label;
      for (char& c : n) if (!isalnum(static_cast<unsigned char>(c))) c = '_';
      return n;
    });

}  // namespace
