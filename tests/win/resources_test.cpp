// The built program's resources, read from the binary itself.
#include "platform/win32/win_api.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
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

// A resource's bytes, or empty when the program lacks it.
std::string_view ResourceBytes(HMODULE module, UINT id, LPCWSTR type) {
  HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
  if (!found) return {};
  HGLOBAL loaded = ::LoadResource(module, found);
  return {static_cast<const char*>(::LockResource(loaded)), ::SizeofResource(module, found)};
}

template <typename T>
T At(std::string_view bytes, size_t offset) {
  T value{};
  if (offset + sizeof(T) <= bytes.size()) memcpy(&value, bytes.data() + offset, sizeof(T));
  return value;
}

struct SkinBitmap {
  UINT id;
  LONG width, height;
};
const SkinBitmap kSkin[] = {{163, 320, 28}, {164, 64, 16},  {165, 400, 28},  {166, 400, 28},
                            {168, 115, 115}, {169, 100, 80}, {170, 100, 80},  {171, 160, 25},
                            {172, 30, 30},  {174, 1, 270},  {175, 1, 282},   {176, 391, 165}};

TEST_F(ProgramResources, SkinBitmapsAndTheGuideDialog) {
  for (const auto& b : kSkin) {
    std::string_view bytes = ResourceBytes(module_, b.id, RT_BITMAP);
    ASSERT_GE(bytes.size(), sizeof(BITMAPINFOHEADER)) << "bitmap " << b.id;
    auto info = At<BITMAPINFOHEADER>(bytes, 0);
    EXPECT_EQ(info.biWidth, b.width) << b.id;
    EXPECT_EQ(info.biHeight, b.height) << b.id;
    EXPECT_EQ(info.biBitCount, 24) << b.id;
    EXPECT_EQ(info.biCompression, DWORD(BI_RGB)) << b.id;
  }
  // DLGTEMPLATEEX: dlgVer, signature, helpID, exStyle, style, cDlgItems.
  std::string_view guide = ResourceBytes(module_, 134, RT_DIALOG);
  ASSERT_GE(guide.size(), 26u) << "dialog 134";
  EXPECT_EQ(At<WORD>(guide, 2), 0xFFFF);
  EXPECT_TRUE(At<DWORD>(guide, 8) & WS_EX_APPWINDOW);
  EXPECT_TRUE(At<DWORD>(guide, 12) & WS_POPUP);
  EXPECT_FALSE(At<DWORD>(guide, 12) & WS_VISIBLE) << "the guide is created hidden";
  EXPECT_EQ(At<WORD>(guide, 16), 0) << "controls";
}

// Normal, hover, pressed and disabled must look different where the caption
// sits, and the corners outside the rounding are the transparent magenta.
TEST_F(ProgramResources, ButtonStripFramesDifferAndHaveTransparentCorners) {
  const struct {
    UINT id;
    LONG frame_width;
  } kStrips[] = {{163, 80}, {165, 100}, {166, 100}, {164, 16}};
  for (const auto& s : kStrips) {
    std::string_view bytes = ResourceBytes(module_, s.id, RT_BITMAP);
    ASSERT_GE(bytes.size(), sizeof(BITMAPINFOHEADER)) << "bitmap " << s.id;
    auto info = At<BITMAPINFOHEADER>(bytes, 0);
    const size_t stride = (info.biWidth * 3 + 3) & ~3;
    auto pixel = [&](LONG x, LONG y) {  // rows are stored bottom-up, BGR
      size_t at = info.biSize + (info.biHeight - 1 - y) * stride + x * 3;
      return RGB(At<BYTE>(bytes, at + 2), At<BYTE>(bytes, at + 1), At<BYTE>(bytes, at));
    };
    std::vector<COLORREF> centres;
    for (LONG f = 0; f < 4; ++f) {
      centres.push_back(pixel(f * s.frame_width + s.frame_width / 2, info.biHeight / 2));
      EXPECT_EQ(pixel(f * s.frame_width, 0), RGB(255, 0, 255)) << s.id << " frame " << f;
    }
    std::sort(centres.begin(), centres.end());
    EXPECT_EQ(std::unique(centres.begin(), centres.end()), centres.end()) << "strip " << s.id;
  }
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
