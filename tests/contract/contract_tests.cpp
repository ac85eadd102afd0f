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
  ProfileRead r = env->machine().files.GetPrivateProfileString(c.section, c.key, L"", c.size, path);
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

// ---- files --------------------------------------------------------------------

constexpr std::uint32_t kShareReadWrite = win::kFileShareRead | win::kFileShareWrite;

TEST(FilesContract, CreateAlwaysTruncatesAndWritesAppend) {
  auto env = MakeContractEnv();
  Machine& m = env->machine();
  std::wstring path = env->Scratch() + L"Devstart.Log";
  env->PutFile(path, "old content that must go");
  HandleResult h = m.files.CreateFile(path, win::kGenericAll, kShareReadWrite, win::kCreateAlways,
                                      win::kFileAttributeNormal);
  ASSERT_NE(h.handle, kInvalidHandle);
  EXPECT_TRUE(m.files.WriteFile(h.handle, "ab", 2).ok);
  IoResult second = m.files.WriteFile(h.handle, "cd", 2);
  EXPECT_TRUE(second.ok);
  EXPECT_EQ(second.transferred, 2u);
  // Shared for reading while open: a viewer can follow the log.
  EXPECT_EQ(env->ReadFile(path).value_or("<none>"), "abcd");
  EXPECT_TRUE(m.kernel.CloseHandle(h.handle));
}

// Two openers of one log: the second's CREATE_ALWAYS needs the first to
// share delete as well (GENERIC_ALL takes delete access).
struct SharingCase {
  const char* name;
  std::uint32_t first_share;
  std::uint32_t second_access;
  std::uint32_t second_share;
  std::uint32_t error;  // of the second open; 0 = it opens
};

class Sharing : public ::testing::TestWithParam<SharingCase> {};

TEST_P(Sharing, SecondOpenerNeedsWhatTheFirstShares) {
  const SharingCase& c = GetParam();
  auto env = MakeContractEnv();
  Machine& m = env->machine();
  std::wstring path = env->Scratch() + L"Devstart.Log";
  HandleResult first = m.files.CreateFile(path, win::kGenericAll, c.first_share, win::kCreateAlways,
                                          win::kFileAttributeNormal);
  ASSERT_NE(first.handle, kInvalidHandle);
  HandleResult second = m.files.CreateFile(path, c.second_access, c.second_share, win::kCreateAlways,
                                           win::kFileAttributeNormal);
  EXPECT_EQ(second.error, c.error);
  EXPECT_EQ(second.handle == kInvalidHandle, c.error != 0);
  if (second.handle != kInvalidHandle) {
    EXPECT_TRUE(m.kernel.CloseHandle(second.handle));
  }
  EXPECT_TRUE(m.kernel.CloseHandle(first.handle));
}

constexpr std::uint32_t kShareAll = kShareReadWrite | win::kFileShareDelete;

INSTANTIATE_TEST_SUITE_P(
    Files, Sharing,
    ::testing::Values(SharingCase{"all_access_without_share_delete", kShareReadWrite, win::kGenericAll, kShareAll, 32},
                      SharingCase{"all_access_with_share_delete", kShareAll, win::kGenericAll, kShareAll, 0},
                      SharingCase{"second_shares_too_little", kShareAll, win::kGenericAll, kShareReadWrite, 32},
                      SharingCase{"reader_needs_share_read", win::kFileShareWrite, win::kGenericRead, kShareAll, 32}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FilesContract, SeekToEndWritesAfterAnotherOpenersLines) {
  auto env = MakeContractEnv();
  Machine& m = env->machine();
  std::wstring path = env->Scratch() + L"Devstart.Log";
  HandleResult old = m.files.CreateFile(path, win::kGenericAll, kShareAll, win::kCreateAlways, win::kFileAttributeNormal);
  ASSERT_NE(old.handle, kInvalidHandle);
  ASSERT_TRUE(m.files.WriteFile(old.handle, "0123456789", 10).ok);
  // A later run replaces the file while the first still holds it.
  HandleResult fresh = m.files.CreateFile(path, win::kGenericAll, kShareAll, win::kCreateAlways, win::kFileAttributeNormal);
  ASSERT_NE(fresh.handle, kInvalidHandle);
  ASSERT_TRUE(m.files.WriteFile(fresh.handle, "ab", 2).ok);
  EXPECT_EQ(m.files.SetFilePointer(old.handle, 0, win::kFileEnd), 2u);
  ASSERT_TRUE(m.files.WriteFile(old.handle, "XY", 2).ok);
  EXPECT_EQ(m.files.SetFilePointer(fresh.handle, 0, win::kFileEnd), 4u);
  ASSERT_TRUE(m.files.WriteFile(fresh.handle, "cd", 2).ok);
  EXPECT_EQ(env->ReadFile(path).value_or("<none>"), "abXYcd");
  EXPECT_TRUE(m.kernel.CloseHandle(old.handle));
  EXPECT_TRUE(m.kernel.CloseHandle(fresh.handle));
}

// How a download replaces the staged library: a finished temporary file
// moved over it, and a read-only target found by opening it for writing
// without truncating it.
TEST(FilesContract, MoveReplacesOnlyWhenAskedAndNeverAReadOnlyTarget) {
  struct Row {
    const char* name;
    bool target_exists, target_read_only;
    std::uint32_t flags;
    std::uint32_t error;  // 0: moved
  };
  const Row rows[] = {{"replace", true, false, win::kMoveFileReplaceExisting, 0},
                      {"no_target", false, false, 0, 0},
                      {"exists_without_replace", true, false, 0, win::kErrorAlreadyExists},
                      {"read_only_target", true, true, win::kMoveFileReplaceExisting, win::kErrorAccessDenied}};
  for (const Row& row : rows) {
    auto env = MakeContractEnv();
    if (row.target_read_only && !env->ReadOnlyEnforced()) continue;  // Wine as root: see ReadOnlyEnforced
    Machine& m = env->machine();
    std::wstring from = env->Scratch() + L"P4_Updlink.dll.download", to = env->Scratch() + L"P4_Updlink.dll";
    env->PutFile(from, "new");
    if (row.target_exists) env->PutFile(to, "old");
    if (row.target_read_only) {
      ASSERT_TRUE(m.files.SetFileAttributes(to, win::kFileAttributeReadonly).ok);
    }
    HandleResult open = m.files.CreateFile(to, win::kGenericWrite, 0, win::kOpenExisting, win::kFileAttributeNormal);
    EXPECT_EQ(open.error, !row.target_exists ? win::kErrorFileNotFound
                          : row.target_read_only ? win::kErrorAccessDenied : 0u) << row.name;
    if (open.handle != kInvalidHandle) {
      EXPECT_TRUE(m.kernel.CloseHandle(open.handle)) << row.name;
    }
    CallResult moved = m.files.MoveFileEx(from, to, row.flags);
    EXPECT_EQ(moved.ok, row.error == 0) << row.name;
    EXPECT_EQ(moved.error, row.error) << row.name;
    EXPECT_EQ(env->ReadFile(to).value_or("<none>"), row.error == 0 ? "new" : row.target_exists ? "old" : "<none>")
        << row.name;
    if (row.target_read_only) m.files.SetFileAttributes(to, win::kFileAttributeNormal);
  }
}

TEST(FilesContract, CurrentDirectoryIsKeptWithoutTrailingBackslash) {
  auto env = MakeContractEnv();
  Machine& m = env->machine();
  std::wstring before = m.files.GetCurrentDirectory();
  std::wstring folder = env->Scratch() + L"staged";
  ASSERT_TRUE(m.files.CreateDirectory(folder).ok);
  EXPECT_TRUE(m.files.SetCurrentDirectory(folder + L"\\").ok);
  EXPECT_EQ(m.files.GetCurrentDirectory(), folder);
  CallResult missing = m.files.SetCurrentDirectory(folder + L"\\missing\\");
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(missing.error, win::kErrorFileNotFound);
  EXPECT_EQ(m.files.GetCurrentDirectory(), folder);
  EXPECT_TRUE(m.files.SetCurrentDirectory(before).ok);
}

struct OpenFailureCase {
  const char* name;
  const wchar_t* path;  // under the scratch folder, which holds "folder\" and nothing else
  std::uint32_t disposition;
  std::uint32_t error;
};

class OpenFailure : public ::testing::TestWithParam<OpenFailureCase> {};

TEST_P(OpenFailure, GivesInvalidHandleAndItsError) {
  const OpenFailureCase& c = GetParam();
  auto env = MakeContractEnv();
  Machine& m = env->machine();
  std::wstring base = env->Scratch();
  ASSERT_TRUE(m.files.CreateDirectory(base + L"folder").ok);
  HandleResult h = m.files.CreateFile(base + c.path, win::kGenericAll, kShareReadWrite, c.disposition,
                                      win::kFileAttributeNormal);
  EXPECT_EQ(h.handle, kInvalidHandle);
  EXPECT_EQ(h.error, c.error);
  EXPECT_FALSE(m.files.WriteFile(h.handle, "x", 1).ok);
}

INSTANTIATE_TEST_SUITE_P(
    Files, OpenFailure,
    ::testing::Values(OpenFailureCase{"missing_folder", L"no-such-folder\\Devstart.Log", win::kCreateAlways,
                                      win::kErrorPathNotFound},
                      OpenFailureCase{"missing_file", L"nothing.txt", win::kOpenExisting, win::kErrorFileNotFound},
                      // Without backup semantics a folder does not open as a file.
                      OpenFailureCase{"folder", L"folder", win::kOpenExisting, win::kErrorAccessDenied}),
    [](const auto& info) { return std::string(info.param.name); });

struct RoundTripCase {
  const char* name;
  std::string content;
};

class RoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTrip, WrittenBytesReadBackThenEndOfFile) {
  const std::string& content = GetParam().content;
  auto env = MakeContractEnv();
  Machine& m = env->machine();
  std::wstring path = env->Scratch() + L"round.bin";
  HandleResult w = m.files.CreateFile(path, win::kGenericWrite, 0, win::kCreateAlways, win::kFileAttributeNormal);
  ASSERT_NE(w.handle, kInvalidHandle);
  IoResult wrote = m.files.WriteFile(w.handle, content.data(), static_cast<std::uint32_t>(content.size()));
  EXPECT_TRUE(wrote.ok);
  EXPECT_EQ(wrote.transferred, content.size());
  // A handle opened for writing only cannot read.
  char probe[4];
  IoResult denied = m.files.ReadFile(w.handle, probe, sizeof probe);
  EXPECT_FALSE(denied.ok);
  EXPECT_EQ(denied.error, win::kErrorAccessDenied);
  EXPECT_TRUE(m.kernel.CloseHandle(w.handle));

  HandleResult r = m.files.CreateFile(path, win::kGenericRead, win::kFileShareRead, win::kOpenExisting, 0);
  ASSERT_NE(r.handle, kInvalidHandle);
  std::string read;
  char buf[64];
  IoResult got;
  while ((got = m.files.ReadFile(r.handle, buf, sizeof buf)).ok && got.transferred > 0)
    read.append(buf, got.transferred);
  // The end of a file is a successful read of nothing.
  EXPECT_TRUE(got.ok);
  EXPECT_EQ(got.transferred, 0u);
  EXPECT_EQ(read, content);
  IoResult write_denied = m.files.WriteFile(r.handle, "x", 1);
  EXPECT_FALSE(write_denied.ok);
  EXPECT_EQ(write_denied.error, win::kErrorAccessDenied);
  EXPECT_TRUE(m.kernel.CloseHandle(r.handle));
  EXPECT_EQ(env->ReadFile(path).value_or("<none>"), content);
}

INSTANTIATE_TEST_SUITE_P(Files, RoundTrip,
                         ::testing::Values(RoundTripCase{"empty", ""}, RoundTripCase{"short", "hello"},
                                           RoundTripCase{"binary_over_several_reads",
                                                         std::string("\0\xFF\r\n", 4) + std::string(200, 'z')}),
                         [](const auto& info) { return std::string(info.param.name); });

struct SpecialFolderCase {
  const char* name;
  int csidl;
  bool exists;
};

class SpecialFolder : public ::testing::TestWithParam<SpecialFolderCase> {};

TEST_P(SpecialFolder, IsAnExistingFolderWithoutTrailingBackslash) {
  const SpecialFolderCase& c = GetParam();
  auto env = MakeContractEnv();
  IFileSystem& fs = env->machine().files;
  std::optional<std::wstring> folder = fs.SHGetSpecialFolderPath(c.csidl, false);
  ASSERT_EQ(folder.has_value(), c.exists);
  if (!folder) return;
  ASSERT_GT(folder->size(), 3u);
  EXPECT_EQ((*folder)[1], L':');
  EXPECT_NE(folder->back(), L'\\');
  FindResult listing = fs.FindFirstFile(*folder + L"\\*");
  ASSERT_NE(listing.handle, kInvalidHandle) << "error " << listing.error;
  EXPECT_TRUE(fs.FindClose(listing.handle));
}

// For a 32-bit program on a 64-bit Windows the x86 folders are SysWOW64 and
// "Program Files (x86)"; only the shape is the same everywhere.
INSTANTIATE_TEST_SUITE_P(Files, SpecialFolder,
                         ::testing::Values(SpecialFolderCase{"system", win::kCsidlSystem, true},
                                           SpecialFolderCase{"system_x86", win::kCsidlSystemX86, true},
                                           SpecialFolderCase{"program_files", win::kCsidlProgramFiles, true},
                                           SpecialFolderCase{"no_such_csidl", 0xFF, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- kernel objects -------------------------------------------------------------

TEST(KernelContract, SecondCreateOfANameReportsAlreadyExists) {
  auto env = MakeContractEnv();
  IKernelObjects& kernel = env->machine().kernel;
  std::wstring name = env->UniqueName(L"DevstartContractMutex");
  MutexResult first = kernel.CreateMutex(true, name);
  ASSERT_NE(first.handle, kNullHandle);
  EXPECT_NE(first.error, win::kErrorAlreadyExists);
  MutexResult second = kernel.CreateMutex(true, name);
  ASSERT_NE(second.handle, kNullHandle);
  EXPECT_EQ(second.error, win::kErrorAlreadyExists);
  EXPECT_TRUE(kernel.CloseHandle(second.handle));
  EXPECT_TRUE(kernel.CloseHandle(first.handle));
}

struct CloseCase {
  const char* name;
  Handle (*open)(ContractEnv& env);
};

class CloseTwice : public ::testing::TestWithParam<CloseCase> {};

TEST_P(CloseTwice, SecondCloseFails) {
  auto env = MakeContractEnv();
  Handle h = GetParam().open(*env);
  ASSERT_NE(h, kNullHandle);
  ASSERT_NE(h, kInvalidHandle);
  EXPECT_TRUE(env->machine().kernel.CloseHandle(h));
  // Windows reports ERROR_INVALID_HANDLE, and raises an exception first when
  // a debugger is attached.
  EXPECT_FALSE(env->machine().kernel.CloseHandle(h));
}

INSTANTIATE_TEST_SUITE_P(
    Kernel, CloseTwice,
    ::testing::Values(
        CloseCase{"file",
                  [](ContractEnv& env) {
                    return env.machine()
                        .files.CreateFile(env.Scratch() + L"f.txt", win::kGenericWrite, 0, win::kCreateAlways, 0)
                        .handle;
                  }},
        CloseCase{"mutex",
                  [](ContractEnv& env) {
                    return env.machine().kernel.CreateMutex(false, env.UniqueName(L"DevstartContractClose")).handle;
                  }},
        CloseCase{"snapshot",
                  [](ContractEnv& env) {
                    return env.machine().processes.CreateToolhelp32Snapshot(win::kTh32csSnapProcess, 0);
                  }},
        CloseCase{"token",
                  [](ContractEnv& env) {
                    ISecurity& s = env.machine().security;
                    return s.OpenProcessToken(s.GetCurrentProcess(), win::kTokenQuery).handle;
                  }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KernelContract, NullHandleDoesNotClose) {
  auto env = MakeContractEnv();
  EXPECT_FALSE(env->machine().kernel.CloseHandle(kNullHandle));
}

// ---- version resources -----------------------------------------------------------

enum class VersionSource { kVersioned, kPlainFile, kMissing };
struct VersionCase {
  const char* name;
  VersionSource source;
};

class VersionResource : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionResource, RootBlockOnlyWhereTheFileCarriesOne) {
  auto env = MakeContractEnv();
  IVersionInfo& versions = env->machine().versions;
  FixedFileInfo expected;
  std::wstring path = env->Scratch() + L"missing.dll";
  if (GetParam().source == VersionSource::kVersioned) path = env->VersionedFile(&expected);
  if (GetParam().source == VersionSource::kPlainFile) env->PutFile(path, "no program, no resource");

  std::uint32_t handle = 77;
  std::uint32_t size = versions.GetFileVersionInfoSize(path, &handle);
  EXPECT_EQ(handle, 0u);  // set to zero whatever the outcome
  std::vector<std::uint8_t> block;
  if (GetParam().source != VersionSource::kVersioned) {
    EXPECT_EQ(size, 0u);
    EXPECT_FALSE(versions.GetFileVersionInfo(path, 0, 512, &block));
    return;
  }
  ASSERT_GT(size, 0u);
  ASSERT_TRUE(versions.GetFileVersionInfo(path, handle, size, &block));
  EXPECT_EQ(block.size(), size);
  std::optional<FixedFileInfo> root = versions.VerQueryRoot(block);
  ASSERT_TRUE(root.has_value());
  EXPECT_EQ(root->signature, 0xFEEF04BDu);
  EXPECT_EQ(root->struc_version, 0x00010000u);
  EXPECT_EQ(root->file_version_ms, expected.file_version_ms);
  EXPECT_EQ(root->file_version_ls, expected.file_version_ls);
}

INSTANTIATE_TEST_SUITE_P(Versions, VersionResource,
                         ::testing::Values(VersionCase{"versioned", VersionSource::kVersioned},
                                           VersionCase{"plain_file", VersionSource::kPlainFile},
                                           VersionCase{"missing_file", VersionSource::kMissing}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- system facts ------------------------------------------------------------------

TEST(SystemContract, FactsHaveTheirWindowsShape) {
  auto env = MakeContractEnv();
  ISystemInfo& sys = env->machine().system;
  IFileSystem& fs = env->machine().files;
  std::wstring temp = fs.GetTempPath();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), L'\\');
  EXPECT_EQ(temp[1], L':');
  std::optional<OsVersion> v = sys.GetVersion();
  ASSERT_TRUE(v.has_value());
  EXPECT_EQ(v->platform_id, win::kVerPlatformWin32Nt);
  EXPECT_GE(v->major, 5u);
  std::uint32_t t1 = sys.GetTickCount();
  std::uint32_t t2 = sys.GetTickCount();
  EXPECT_LE(t2 - t1, 1000u);
  EXPECT_NE(sys.GetUserDefaultUILanguage(), 0);
  std::wstring module = fs.GetModuleFileName();
  ASSERT_GT(module.size(), 4u);
  EXPECT_EQ(module[1], L':');
  std::wstring cwd = fs.GetCurrentDirectory();
  ASSERT_GE(cwd.size(), 2u);
  EXPECT_EQ(cwd[1], L':');
  // Every Windows since XP has GetNativeSystemInfo; a 32-bit program may see
  // another architecture through GetSystemInfo than the machine's.
  std::optional<std::uint16_t> native = sys.GetNativeSystemInfoByName();
  ASSERT_TRUE(native.has_value());
  for (std::uint16_t arch : {*native, sys.GetSystemInfo()}) {
    EXPECT_TRUE(arch == win::kProcessorArchitectureIntel || arch == win::kProcessorArchitectureAmd64) << arch;
  }
}

TEST(SystemContract, SleepLetsTheTickCountMove) {
  auto env = MakeContractEnv();
  ISystemInfo& sys = env->machine().system;
  std::uint32_t before = sys.GetTickCount();
  sys.Sleep(50);
  // The tick count moves in steps of up to 16 ms.
  EXPECT_GE(sys.GetTickCount() - before, 34u);
}

TEST(SystemContract, ThreadLanguageCanBeSetBothWays) {
  auto env = MakeContractEnv();
  ISystemInfo& sys = env->machine().system;
  // Systems of version 6 and later carry SetThreadUILanguage and answer with
  // the language they set; the locale call is the fallback everywhere.
  std::optional<std::uint16_t> set = sys.SetThreadUILanguageByName(0x0407);
  if (set) {
    EXPECT_EQ(*set, 0x0407);
  }
  EXPECT_TRUE(sys.SetThreadLocale(0x0407));
  EXPECT_TRUE(sys.SetThreadLocale(0x0809));
  sys.OutputDebugString(L"[0]contract\r\n");  // never fails, never blocks without a debugger
}

}  // namespace
}  // namespace devstart::contract
