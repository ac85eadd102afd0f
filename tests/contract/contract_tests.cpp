// The ports' behaviour that the program relies on, checked the same way on the
// simulated PC and on Windows (Wine).
#include <gtest/gtest.h>

#include "contract/contract_env.h"

namespace devstart::contract {
namespace {

std::string Utf16Bom(const std::wstring& text) {
  std::string out = "\xFF\xFE";
  for (wchar_t c : text) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>((c >> 8) & 0xFF));
  }
  return out;
}

struct ProfileCase {
  const char* name;
  std::string file;  // bytes of config.ini; empty = no file
  const wchar_t* section;
  const wchar_t* key;
  std::uint32_t size;
  std::wstring expected;
};

class ProfileContract : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(ProfileContract, ReadsLikeWindows) {
  const ProfileCase& c = GetParam();
  auto env = MakeContractEnv();
  std::wstring path = env->Scratch() + L"config.ini";
  if (!c.file.empty()) env->PutFile(path, c.file);
  ProfileRead r = env->profile().GetPrivateProfileString(c.section, c.key, L"", c.size, path);
  EXPECT_EQ(r.text, c.expected);
  EXPECT_EQ(r.returned, c.expected.size());
}

const std::string kLong(600, 'x');

INSTANTIATE_TEST_SUITE_P(
    Awkward, ProfileContract,
    ::testing::Values(
        ProfileCase{"missing_file", "", L"DRIVER", L"driver_name", 512, L""},
        ProfileCase{"plain", "[DRIVER]\r\ndriver_name=tools\\Setup.exe\r\n", L"DRIVER", L"driver_name", 512,
                    L"tools\\Setup.exe"},
        ProfileCase{"missing_section", "[ITK]\r\nitk_type=1\r\n", L"DRIVER", L"itk_type", 512, L""},
        ProfileCase{"missing_key", "[ITK]\r\nitk_type=1\r\n", L"ITK", L"itk_run", 512, L""},
        ProfileCase{"case_of_names", "[driver]\r\nDRIVER_NAME=a.exe\r\n", L"DRIVER", L"driver_name", 512, L"a.exe"},
        ProfileCase{"blanks_around_equals", "[SYSTEM]\r\n  iso_type0   =   1  \r\n", L"SYSTEM", L"iso_type0", 512,
                    L"1"},
        ProfileCase{"double_quotes", "[ITK]\r\nitk_setup=\"tools\\v s.exe\"\r\n", L"ITK", L"itk_setup", 512,
                    L"tools\\v s.exe"},
        ProfileCase{"single_quotes", "[ITK]\r\nitk_setup='a b'\r\n", L"ITK", L"itk_setup", 512, L"a b"},
        ProfileCase{"unmatched_quote", "[ITK]\r\nitk_setup=\"a b\r\n", L"ITK", L"itk_setup", 512, L"\"a b"},
        ProfileCase{"duplicate_key_first_wins", "[DRIVER]\r\nsciscmd_wait=250\r\nsciscmd_wait=900\r\n", L"DRIVER",
                    L"sciscmd_wait", 512, L"250"},
        ProfileCase{"comment_line", "[DRIVER]\r\n;sciscmd_wait=5\r\nsciscmd_wait=7\r\n", L"DRIVER", L"sciscmd_wait",
                    512, L"7"},
        ProfileCase{"unix_newlines", "[A]\nk=v\n[B]\nk=w\n", L"B", L"k", 512, L"w"},
        ProfileCase{"long_value_cut", "[PCSUITE]\r\npcsuite_url=" + kLong + "\r\n", L"PCSUITE", L"pcsuite_url", 512,
                    std::wstring(511, L'x')},
        ProfileCase{"long_value_whole", "[PCSUITE]\r\npcsuite_url=" + kLong + "\r\n", L"PCSUITE", L"pcsuite_url",
                    1024, std::wstring(600, L'x')},
        ProfileCase{"utf16_with_bom", Utf16Bom(L"[ITK]\r\nitk_version=2.0.\u00E9\r\n"), L"ITK", L"itk_version", 512,
                    L"2.0.\u00E9"},
        ProfileCase{"key_without_value", "[FILES]\r\nfilecount=\r\n", L"FILES", L"filecount", 512, L""}),
    [](const ::testing::TestParamInfo<ProfileCase>& info) { return std::string(info.param.name); });

TEST(FilesContract, CreateAlwaysTruncatesAndWritesAppend) {
  auto env = MakeContractEnv();
  std::wstring path = env->Scratch() + L"Devstart.Log";
  env->PutFile(path, "old content that must go");
  constexpr auto kShare = win::kFileShareRead | win::kFileShareWrite;
  Handle h = env->files().CreateFile(path, win::kGenericAll, kShare, win::kCreateAlways, win::kFileAttributeNormal);
  ASSERT_NE(h, kInvalidHandle);
  EXPECT_TRUE(env->files().WriteFile(h, "ab", 2));
  EXPECT_TRUE(env->files().WriteFile(h, "cd", 2));
  // Shared for reading while open: a viewer can follow the log.
  EXPECT_EQ(env->ReadFile(path).value_or("<none>"), "abcd");
  EXPECT_TRUE(env->files().CloseHandle(h));
}

TEST(FilesContract, MissingFolderGivesInvalidHandleAndWritesFail) {
  auto env = MakeContractEnv();
  std::wstring path = env->Scratch() + L"no-such-folder\\Devstart.Log";
  Handle h = env->files().CreateFile(path, win::kGenericAll, 3, win::kCreateAlways, win::kFileAttributeNormal);
  EXPECT_EQ(h, kInvalidHandle);
  EXPECT_FALSE(env->files().WriteFile(h, "x", 1));
}

TEST(SyncContract, SecondCreateOfANameReportsAlreadyExists) {
  auto env = MakeContractEnv();
  std::wstring name = L"DevstartContractMutex-" + std::to_wstring(env->system().GetTickCount());
  MutexResult first = env->sync().CreateMutex(true, name);
  ASSERT_NE(first.handle, kNullHandle);
  EXPECT_NE(first.last_error, win::kErrorAlreadyExists);
  MutexResult second = env->sync().CreateMutex(true, name);
  ASSERT_NE(second.handle, kNullHandle);
  EXPECT_EQ(second.last_error, win::kErrorAlreadyExists);
  env->sync().CloseHandle(second.handle);
  env->sync().CloseHandle(first.handle);
}

TEST(SystemContract, FactsHaveTheirWindowsShape) {
  auto env = MakeContractEnv();
  std::wstring temp = env->system().GetTempPath();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), L'\\');
  EXPECT_EQ(temp[1], L':');
  std::optional<OsVersion> v = env->system().GetVersion();
  ASSERT_TRUE(v.has_value());
  EXPECT_EQ(v->platform_id, win::kVerPlatformWin32Nt);
  EXPECT_GE(v->major, 5u);
  std::uint32_t t1 = env->system().GetTickCount();
  std::uint32_t t2 = env->system().GetTickCount();
  EXPECT_LE(t2 - t1, 1000u);
  EXPECT_NE(env->system().GetUserDefaultUILanguage(), 0);
  std::wstring module = env->system().GetModuleFileName();
  ASSERT_GT(module.size(), 4u);
  EXPECT_EQ(module[1], L':');
  std::wstring cwd = env->system().GetCurrentDirectory();
  ASSERT_GE(cwd.size(), 2u);
  EXPECT_EQ(cwd[1], L':');
}

TEST(SystemContract, ThreadLanguageCanBeSetBothWays) {
  auto env = MakeContractEnv();
  // Systems of version 6 and later carry SetThreadUILanguage and answer with
  // the language they set; the locale call is the fallback everywhere.
  std::optional<std::uint16_t> set = env->system().SetThreadUILanguageByName(0x0407);
  if (set) EXPECT_EQ(*set, 0x0407);
  EXPECT_TRUE(env->system().SetThreadLocale(0x0407));
  EXPECT_TRUE(env->system().SetThreadLocale(0x0809));
  env->system().OutputDebugString(L"[0]contract\r\n");  // never fails, never blocks without a debugger
}

}  // namespace
}  // namespace devstart::contract
