// The built program's resources, read from the binary itself.
#include "platform/win32/win_api.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/adapters.h"

namespace {

std::wstring g_program;

class ProgramResources : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = ::LoadLibraryExW(g_program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module_, nullptr) << "cannot load the program's resources";
  }
  void TearDown() override {
    if (module_) ::FreeLibrary(module_);
  }
  HMODULE module_ = nullptr;
};

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD lang, LONG_PTR param) {
  reinterpret_cast<std::vector<WORD>*>(param)->push_back(lang);
  return TRUE;
}

const std::vector<UINT> kIds = {103,  106,  2000, 2001, 2002, 2003, 2004, 2005, 2006, 2007, 2008,
                                2009, 2010, 2011, 2012, 2013, 2014, 2015, 2016, 2017, 2018, 2020,
                                2021, 2022, 2023, 2024, 2100, 2101, 2102, 2103, 2200, 2201, 2202,
                                2203, 2204, 2205, 2206, 2300, 2301, 2302, 2303, 2400, 2401};

const std::vector<WORD> kLanguages = {1026, 1028, 1029, 1030, 1031, 1032, 1033, 1034, 1035, 1036, 1038, 1040,
                                      1042, 1043, 1044, 1045, 1046, 1048, 1049, 1050, 1051, 1053, 1054, 1055,
                                      1057, 1060, 1066, 1086, 2052, 2057, 2058, 2070, 2074, 3076, 3084, 11274};

TEST_F(ProgramResources, EveryLanguageCarriesEveryText) {
  devstart::Win32Modules strings(module_);
  for (WORD lang : kLanguages) {
    for (UINT id : kIds) {
      std::optional<std::wstring> text = strings.LoadString(id, lang);
      ASSERT_TRUE(text.has_value()) << "language " << lang << " lacks id " << id;
      EXPECT_FALSE(text->empty()) << "language " << lang << " id " << id;
    }
  }
  EXPECT_TRUE(strings.LoadString(2104, 1054).has_value()) << "Thai carries its extra text";
  EXPECT_FALSE(strings.LoadString(2104, 2057).has_value());
}

struct TextEntry {
  WORD lang;
  UINT id;
  const wchar_t* text;
};
const TextEntry kSource[] = {
#include "texts_table.inc"
};

TEST_F(ProgramResources, EveryTextIsTheSourceTextExactly) {
  devstart::Win32Modules strings(module_);
  for (const auto& e : kSource) {
    EXPECT_EQ(strings.LoadString(e.id, e.lang).value_or(L"<missing>"), e.text) << e.lang << " " << e.id;
  }
}

TEST_F(ProgramResources, TitlesAndEnglishTextsAreAsShipped) {
  devstart::Win32Modules strings(module_);
  for (WORD lang : kLanguages) {
    EXPECT_EQ(strings.LoadString(103, lang).value_or(L""), L"Devstart") << lang;
    EXPECT_EQ(strings.LoadString(106, lang).value_or(L""), L"Devstart") << lang;
  }
  EXPECT_EQ(strings.LoadString(2003, 2057).value_or(L""), L"SCSI Command transmission error has occurred.");
  EXPECT_EQ(strings.LoadString(2102, 1033), strings.LoadString(2102, 2057));
  EXPECT_EQ(strings.LoadString(2100, 1031).value_or(L""), L"Abbrechen");
}

TEST_F(ProgramResources, StringBlockLanguagesAreExactlyTheShippedOnes) {
  std::vector<WORD> langs;
  // Block 126 holds ids 2000-2015 in every language.
  ::EnumResourceLanguagesW(module_, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(2000 / 16 + 1), CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&langs));
  std::sort(langs.begin(), langs.end());
  EXPECT_EQ(langs, kLanguages);
}

TEST_F(ProgramResources, VersionIconAndSubsystem) {
  DWORD ignored = 0;
  DWORD size = ::GetFileVersionInfoSizeW(g_program.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> data(size);
  ASSERT_TRUE(::GetFileVersionInfoW(g_program.c_str(), 0, size, data.data()));
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &len));
  EXPECT_EQ(info->dwFileVersionMS, MAKELONG(0, 1));
  EXPECT_EQ(info->dwFileVersionLS, MAKELONG(14, 0));
  EXPECT_NE(::FindResourceW(module_, MAKEINTRESOURCEW(129), MAKEINTRESOURCEW(14)), nullptr) << "icon group 129";
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  int wargc = 0;
  LPWSTR* wargv = ::CommandLineToArgvW(::GetCommandLineW(), &wargc);
  if (wargc < 2) {
    fprintf(stderr, "usage: win_tests <path of Devstart.exe>\n");
    return 2;
  }
  g_program = wargv[wargc - 1];
  return RUN_ALL_TESTS();
}
