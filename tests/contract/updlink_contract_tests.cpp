// What the live-update library relies on: the ANSI variants of registry,
// files, version resources and the shell, code pages, locale and time,
// libraries by name, cabinets and COM, and the library's own helpers over
// them; checked alike on the simulated PC and on Wine. The internet has its own file (internet_contract_tests.cpp).
// Rows are named in the failure messages, not with SCOPED_TRACE: the thread
// GoogleTest starts for it makes a later test of the 32-bit suite crash
// under qemu-user.
#include <gtest/gtest.h>

#include <cstdio>

#include "contract/contract_env.h"
#include "updlink/updlink.h"

namespace devstart::contract {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

std::vector<std::uint8_t> Utf16z(const std::string& ascii) {
  std::vector<std::uint8_t> out;
  for (char c : ascii) {
    out.push_back(static_cast<std::uint8_t>(c));
    out.push_back(0);
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}

// What an out-parameter holds before a call that must leave it alone.
const std::string kPoison = "poison";
constexpr RegKey kPoisonKey = 0xBAD0;

// ---- registry ------------------------------------------------------------------

class RegistryAnsi : public ::testing::Test {
 protected:
  void SetUp() override {
    env = MakeContractEnv();
    wide_name = env->UniqueName(L"DevstartContractAnsi");
    path = "Software\\" + Narrow(wide_name);
  }
  void TearDown() override { env->DeleteTree(win::kHkeyCurrentUser, L"Software\\" + wide_name); }
  RegKey Create() {
    RegKey key = kPoisonKey;
    EXPECT_EQ(env->machine().registry.RegCreateKeyExA(win::kHkeyCurrentUser, path, win::kRegOptionNonVolatile,
                                                      win::kKeyAllAccess, &key),
              0);
    return key;
  }
  std::unique_ptr<ContractEnv> env;
  std::wstring wide_name;
  std::string path;
};

TEST_F(RegistryAnsi, KeysOpenOnceCreatedUnderEitherRoot) {
  IRegistry& reg = env->machine().registry;
  RegKey key = kPoisonKey;
  EXPECT_EQ(reg.RegOpenKeyExA(win::kHkeyCurrentUser, path, win::kKeyRead, &key),
            static_cast<std::int32_t>(win::kErrorFileNotFound));
  EXPECT_EQ(key, kPoisonKey);

  key = Create();
  ASSERT_NE(key, kPoisonKey);
  ASSERT_NE(key, 0u);
  EXPECT_EQ(reg.RegFlushKey(key), 0);
  EXPECT_EQ(reg.RegCloseKey(key), 0);

  // Key names are compared without case; creating an existing key opens it.
  RegKey opened = kPoisonKey;
  ASSERT_EQ(reg.RegOpenKeyExA(win::kHkeyCurrentUser, "SOFTWARE\\" + Narrow(wide_name), win::kKeyRead, &opened), 0);
  EXPECT_NE(opened, kPoisonKey);
  EXPECT_EQ(reg.RegCloseKey(opened), 0);
  RegKey again = Create();
  EXPECT_NE(again, kPoisonKey);
  reg.RegCloseKey(again);

  // The other predefined root, in the same encoding.
  RegKey machine = kPoisonKey;
  ASSERT_EQ(reg.RegOpenKeyExA(win::kHkeyLocalMachine, "Software", win::kKeyRead, &machine), 0);
  EXPECT_EQ(reg.RegCloseKey(machine), 0);
}

struct AnsiValueCase {
  const char* name;
  std::uint32_t type;
  std::string written;
  std::uint32_t buffer;
  std::int32_t status;
  std::string read;  // kPoison: left alone
};

class RegistryAnsiValues : public RegistryAnsi, public ::testing::WithParamInterface<AnsiValueCase> {};

TEST_P(RegistryAnsiValues, ReadBackAsWrittenWithinTheBuffer) {
  const AnsiValueCase& c = GetParam();
  IRegistry& reg = env->machine().registry;
  RegKey key = Create();
  ASSERT_EQ(reg.RegSetValueExA(key, "value", c.type, c.written), 0);
  std::string data = kPoison;
  EXPECT_EQ(reg.RegQueryValueExA(key, "value", c.buffer, &data), c.status);
  EXPECT_EQ(data, c.read);
  reg.RegCloseKey(key);
}

// A string value is stored with the terminator that follows the written
// text and read back with it; an empty one is stored as no bytes at all.
INSTANTIATE_TEST_SUITE_P(
    Registry, RegistryAnsiValues,
    ::testing::Values(
        AnsiValueCase{"string", win::kRegSz, "ESN0001", 256, 0, std::string("ESN0001\0", 8)},
        AnsiValueCase{"empty_string", win::kRegSz, "", 256, 0, ""},
        AnsiValueCase{"string_fills_the_buffer", win::kRegSz, std::string(255, 'K'), 256, 0,
                      std::string(255, 'K') + '\0'},
        AnsiValueCase{"terminator_past_the_buffer", win::kRegSz, std::string(256, 'K'), 256,
                      win::kRegErrorMoreData, kPoison},
        AnsiValueCase{"string_longer_than_the_buffer", win::kRegSz, std::string(300, 'K'), 256,
                      win::kRegErrorMoreData, kPoison},
        AnsiValueCase{"binary_with_nuls", win::kRegBinary, std::string("\x01\0\x02", 3), 16, 0,
                      std::string("\x01\0\x02", 3)},
        AnsiValueCase{"binary_fills_the_buffer", win::kRegBinary, std::string(16, '\x7F'), 16, 0,
                      std::string(16, '\x7F')},
        AnsiValueCase{"binary_past_the_buffer", win::kRegBinary, std::string(17, '\x7F'), 16,
                      win::kRegErrorMoreData, kPoison},
        AnsiValueCase{"dword", win::kRegDword, std::string("\x2A\0\0\0", 4), 4, 0, std::string("\x2A\0\0\0", 4)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegistryAnsi, MissingValueLeavesTheBufferAlone) {
  IRegistry& reg = env->machine().registry;
  RegKey key = Create();
  std::string data = kPoison;
  EXPECT_EQ(reg.RegQueryValueExA(key, "missing", 256, &data), static_cast<std::int32_t>(win::kErrorFileNotFound));
  EXPECT_EQ(data, kPoison);
  reg.RegCloseKey(key);
}

// The program writes and reads UTF-16, the library ANSI: the same value
// reads alike through both.
TEST_F(RegistryAnsi, WideAndAnsiVariantsAgree) {
  IRegistry& reg = env->machine().registry;
  RegKey key = Create();
  ASSERT_EQ(reg.RegSetValueEx(key, L"Wide", win::kRegSz, Utf16z("C:\\Sync\\P4")), 0);
  std::string narrow = kPoison;
  EXPECT_EQ(reg.RegQueryValueExA(key, "Wide", 256, &narrow), 0);
  EXPECT_EQ(narrow, std::string("C:\\Sync\\P4\0", 11));

  ASSERT_EQ(reg.RegSetValueExA(key, "Ansi", win::kRegSz, "KKRKAB100:261207"), 0);
  RegValueRead wide = reg.RegQueryValueEx(key, L"Ansi", 512);
  EXPECT_EQ(wide.status, 0);
  EXPECT_EQ(wide.type, win::kRegSz);
  EXPECT_EQ(wide.data, Utf16z("KKRKAB100:261207"));

  ASSERT_EQ(reg.RegSetValueExA(key, "Bytes", win::kRegBinary, std::string("\x00\xFF", 2)), 0);
  RegValueRead bytes = reg.RegQueryValueEx(key, L"Bytes", 16);
  EXPECT_EQ(bytes.type, win::kRegBinary);
  EXPECT_EQ(bytes.data, Bytes(std::string("\x00\xFF", 2)));
  reg.RegCloseKey(key);

  // A key the ANSI call made opens through the wide one.
  RegKey wide_key = kPoisonKey;
  EXPECT_EQ(reg.RegCreateKeyEx(win::kHkeyCurrentUser, L"Software\\" + wide_name, 0, win::kKeyRead, &wide_key,
                               nullptr),
            0);
  EXPECT_EQ(reg.RegQueryValueEx(wide_key, L"Wide", 512).size, Utf16z("C:\\Sync\\P4").size());
  reg.RegCloseKey(wide_key);
}

// ---- files ------------------------------------------------------------------------

struct FolderFailureCase {
  const char* name;
  const char* path;  // under the scratch folder, which holds "a\" and "a\f.bin"
  std::uint32_t error;
};

class FolderFailure : public ::testing::TestWithParam<FolderFailureCase> {};

TEST_P(FolderFailure, CreateDirectoryFailsWithItsError) {
  auto env = MakeContractEnv();
  IFileSystem& fs = env->machine().files;
  std::string s = Narrow(env->Scratch());
  ASSERT_TRUE(fs.CreateDirectoryA(s + "a").ok);
  env->PutFile(env->Scratch() + L"a\\f.bin", "x");
  CallResult r = fs.CreateDirectoryA(s + GetParam().path);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(Files, FolderFailure,
                         ::testing::Values(FolderFailureCase{"exists", "a", win::kErrorAlreadyExists},
                                           FolderFailureCase{"file_of_that_name", "a\\f.bin",
                                                             win::kErrorAlreadyExists},
                                           FolderFailureCase{"missing_parent", "x\\y", win::kErrorPathNotFound}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FilesAnsi, AttributesOfFoldersFilesAndNothing) {
  auto env = MakeContractEnv();
  IFileSystem& fs = env->machine().files;
  std::string s = Narrow(env->Scratch());
  ASSERT_TRUE(fs.CreateDirectoryA(s + "a").ok);
  env->PutFile(env->Scratch() + L"a\\f.bin", "x");
  struct Row {
    const char* name;
    const char* path;
    bool exists;
    bool folder;
  };
  const Row rows[] = {{"folder", "a", true, true},
                      {"folder_with_backslash", "a\\", true, true},
                      {"file", "a\\f.bin", true, false},
                      {"missing", "nothing", false, false},
                      {"missing_parent", "x\\y", false, false}};
  for (const Row& row : rows) {
    std::uint32_t a = fs.GetFileAttributesA(s + row.path);
    EXPECT_EQ(a != win::kInvalidFileAttributes, row.exists) << row.name;
    if (row.exists) {
      EXPECT_EQ((a & win::kFileAttributeDirectory) != 0, row.folder) << row.name;
    }
  }
}

TEST(FilesAnsi, ReadOnlyFileResistsDeletionUntilMadeNormal) {
  auto env = MakeContractEnv();
  IFileSystem& fs = env->machine().files;
  std::wstring wide = env->Scratch() + L"f.bin";
  std::string path = Narrow(wide);
  env->PutFile(wide, "content");
  ASSERT_TRUE(fs.SetFileAttributesA(path, win::kFileAttributeReadonly).ok);
  EXPECT_NE(fs.GetFileAttributesA(path) & win::kFileAttributeReadonly, 0u);
  CallResult denied = fs.DeleteFileA(path);
  EXPECT_FALSE(denied.ok);
  EXPECT_EQ(denied.error, win::kErrorAccessDenied);
  EXPECT_EQ(env->ReadFile(wide).value_or("<none>"), "content");

  ASSERT_TRUE(fs.SetFileAttributesA(path, win::kFileAttributeNormal).ok);
  // Windows then reports FILE_ATTRIBUTE_NORMAL alone; Wine goes on reporting
  // the archive attribute it gives every file.
  std::uint32_t normal = fs.GetFileAttributesA(path);
  EXPECT_NE(normal, win::kInvalidFileAttributes);
  EXPECT_EQ(normal & win::kFileAttributeReadonly, 0u);
  EXPECT_TRUE(fs.DeleteFileA(path).ok);
  EXPECT_EQ(env->ReadFile(wide), std::nullopt);
  EXPECT_EQ(fs.GetFileAttributesA(path), win::kInvalidFileAttributes);

  CallResult gone = fs.DeleteFileA(path);
  EXPECT_FALSE(gone.ok);
  EXPECT_EQ(gone.error, win::kErrorFileNotFound);
  CallResult nothing = fs.SetFileAttributesA(path, win::kFileAttributeNormal);
  EXPECT_FALSE(nothing.ok);
  EXPECT_EQ(nothing.error, win::kErrorFileNotFound);
}

struct HeadCase {
  const char* name;
  std::string content;
  std::string head;  // what a read of four bytes gives
};

class FileHead : public ::testing::TestWithParam<HeadCase> {};

TEST_P(FileHead, OpenedByAnsiNameAndReadFromTheStart) {
  const HeadCase& c = GetParam();
  auto env = MakeContractEnv();
  Machine& m = env->machine();
  std::wstring wide = env->Scratch() + L"download.cab";
  env->PutFile(wide, c.content);
  HandleResult h = m.files.CreateFileA(Narrow(wide), win::kGenericRead, win::kFileShareRead, win::kOpenExisting,
                                       win::kFileAttributeNormal);
  ASSERT_NE(h.handle, kInvalidHandle) << "error " << h.error;
  EXPECT_EQ(h.error, 0u);
  char buffer[8] = "-------";
  IoResult r = m.files.ReadFile(h.handle, buffer, 4);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(std::string(buffer, r.transferred), c.head);
  EXPECT_EQ(std::string(buffer + r.transferred, 7 - r.transferred), std::string(7 - r.transferred, '-'));
  EXPECT_TRUE(m.kernel.CloseHandle(h.handle));
}

INSTANTIATE_TEST_SUITE_P(Files, FileHead,
                         ::testing::Values(HeadCase{"cabinet", "MSCF-and-more", "MSCF"},
                                           HeadCase{"error_page", "<html>", "<htm"},
                                           HeadCase{"shorter_than_the_read", "MS", "MS"},
                                           HeadCase{"empty", "", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FilesAnsi, MissingFileDoesNotOpen) {
  auto env = MakeContractEnv();
  HandleResult h = env->machine().files.CreateFileA(Narrow(env->Scratch()) + "gone.cab", win::kGenericRead,
                                                    win::kFileShareRead, win::kOpenExisting,
                                                    win::kFileAttributeNormal);
  EXPECT_EQ(h.handle, kInvalidHandle);
  EXPECT_EQ(h.error, win::kErrorFileNotFound);
}

TEST(FilesAnsi, FoldersAgreeWithTheWideVariants) {
  auto env = MakeContractEnv();
  IFileSystem& fs = env->machine().files;
  EXPECT_EQ(fs.GetCurrentDirectoryA(), Narrow(fs.GetCurrentDirectory()));
  for (int csidl : {win::kCsidlCommonAppData, win::kCsidlProgramFiles, 0xFF}) {
    std::optional<std::wstring> wide = fs.SHGetSpecialFolderPath(csidl, false);
    std::optional<std::string> narrow = fs.SHGetSpecialFolderPathA(csidl, false);
    ASSERT_EQ(narrow.has_value(), wide.has_value()) << "CSIDL " << csidl;
    if (narrow) {
      EXPECT_EQ(*narrow, Narrow(*wide)) << "CSIDL " << csidl;
    }
  }
}

// ---- version resources ---------------------------------------------------------

// "1.2.3.4" from the fixed numbers: VersionedFile's string table states its
// file version the same way.
std::string Dotted(const FixedFileInfo& f) {
  char text[64];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", f.file_version_ms >> 16, f.file_version_ms & 0xFFFF,
                f.file_version_ls >> 16, f.file_version_ls & 0xFFFF);
  return text;
}

TEST(VersionAnsi, TranslationLeadsToTheFileVersionString) {
  auto env = MakeContractEnv();
  IVersionInfo& versions = env->machine().versions;
  FixedFileInfo expected;
  std::string path = Narrow(env->VersionedFile(&expected));
  std::uint32_t handle = 77;
  std::uint32_t size = versions.GetFileVersionInfoSizeA(path, &handle);
  EXPECT_EQ(handle, 0u);
  ASSERT_GT(size, 0u);
  std::vector<std::uint8_t> block;
  ASSERT_TRUE(versions.GetFileVersionInfoA(path, handle, size, &block));
  EXPECT_EQ(block.size(), size);

  std::optional<std::string> translation = versions.VerQueryValueA(block, "\\VarFileInfo\\Translation");
  ASSERT_TRUE(translation.has_value());
  ASSERT_EQ(translation->size(), 4u);
  auto u16 = [&](std::size_t i) {
    return static_cast<unsigned>(static_cast<std::uint8_t>((*translation)[i]) |
                                 static_cast<std::uint8_t>((*translation)[i + 1]) << 8);
  };
  char language[16];
  std::snprintf(language, sizeof language, "%04x%04x", u16(0), u16(2));

  struct Row {
    const char* name;
    std::string sub_block;
    std::optional<std::string> value;
  };
  const Row rows[] = {
      {"file_version", std::string("\\StringFileInfo\\") + language + "\\FileVersion", Dotted(expected)},
      {"names_without_case", std::string("\\stringfileinfo\\") + language + "\\fileversion", Dotted(expected)},
      {"missing_value", std::string("\\StringFileInfo\\") + language + "\\NoSuchValue", std::nullopt},
      {"missing_language", "\\StringFileInfo\\00000000\\FileVersion", std::nullopt},
      {"missing_block", "\\NoSuchBlock", std::nullopt},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(versions.VerQueryValueA(block, row.sub_block), row.value) << row.name;
  }

  EXPECT_EQ(versions.VerQueryValueA({}, "\\VarFileInfo\\Translation"), std::nullopt);
}

TEST(VersionAnsi, FilesWithoutAResourceHaveNoBlock) {
  auto env = MakeContractEnv();
  IVersionInfo& versions = env->machine().versions;
  std::wstring plain = env->Scratch() + L"plain.dll";
  env->PutFile(plain, "no program, no resource");
  for (const std::string& path : {Narrow(plain), Narrow(env->Scratch()) + "missing.dll"}) {
    std::uint32_t handle = 77;
    EXPECT_EQ(versions.GetFileVersionInfoSizeA(path, &handle), 0u) << path;
    EXPECT_EQ(handle, 0u) << path;
    std::vector<std::uint8_t> block = {1, 2, 3};
    EXPECT_FALSE(versions.GetFileVersionInfoA(path, 0, 512, &block)) << path;
    EXPECT_EQ(block, (std::vector<std::uint8_t>{1, 2, 3})) << path;
  }
}

// ---- code pages, locale, time ------------------------------------------------------

struct ToWideCase {
  const char* name;
  std::uint32_t code_page;
  std::string in;
  std::u16string out;
};

class ToWide : public ::testing::TestWithParam<ToWideCase> {};

TEST_P(ToWide, ConvertsTheWholeText) {
  auto env = MakeContractEnv();
  EXPECT_EQ(env->machine().system.MultiByteToWideChar(GetParam().code_page, GetParam().in), GetParam().out);
}

// An invalid UTF-8 byte becomes U+FFFD as on Windows Vista and later (and
// Wine); Windows XP drops it.
INSTANTIATE_TEST_SUITE_P(
    CodePages, ToWide,
    ::testing::Values(ToWideCase{"utf8_ascii", win::kCpUtf8, "<row>abc</row>", u"<row>abc</row>"},
                      ToWideCase{"utf8_two_bytes", win::kCpUtf8, "Caf\xC3\xA9", u"Caf\u00E9"},
                      ToWideCase{"utf8_three_bytes", win::kCpUtf8, "\xE2\x82\xAC", u"\u20AC"},
                      ToWideCase{"utf8_surrogate_pair", win::kCpUtf8, "\xF0\x9F\x98\x80", u"\U0001F600"},
                      ToWideCase{"utf8_invalid_byte", win::kCpUtf8, "a\xFF" "b", u"a\uFFFD" "b"},
                      ToWideCase{"utf8_embedded_nul", win::kCpUtf8, std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
                      ToWideCase{"utf8_empty", win::kCpUtf8, "", u""},
                      ToWideCase{"ansi_ascii", win::kCpAcp, "plain <x/>", u"plain <x/>"},
                      ToWideCase{"unknown_code_page", 12345, "abc", u""}),
    [](const auto& info) { return std::string(info.param.name); });

struct ToNarrowCase {
  const char* name;
  std::uint32_t code_page;
  std::u16string in;
  std::string out;
};

class ToNarrow : public ::testing::TestWithParam<ToNarrowCase> {};

TEST_P(ToNarrow, ConvertsTheWholeText) {
  auto env = MakeContractEnv();
  EXPECT_EQ(env->machine().system.WideCharToMultiByte(GetParam().code_page, GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    CodePages, ToNarrow,
    ::testing::Values(ToNarrowCase{"ansi_ascii", win::kCpAcp, u"plain <x/>", "plain <x/>"},
                      ToNarrowCase{"ansi_embedded_nul", win::kCpAcp, std::u16string(u"a\0b", 3), std::string("a\0b", 3)},
                      ToNarrowCase{"ansi_empty", win::kCpAcp, u"", ""},
                      ToNarrowCase{"unknown_code_page", 12345, u"abc", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// The server's answers are UTF-8 and reach the caller in its code page.
// Which characters beyond ASCII that page holds depends on the machine.
TEST(CodePages, ServerTextReachesTheCallerThroughUtf16) {
  auto env = MakeContractEnv();
  ISystemInfo& sys = env->machine().system;
  const std::string answer = "<row><sw_version>P4.2</sw_version><esn>ESN 0001</esn></row>";
  EXPECT_EQ(sys.WideCharToMultiByte(win::kCpAcp, sys.MultiByteToWideChar(win::kCpUtf8, answer)), answer);
}

// The user's country depends on the machine; its shape and the buffer it
// needs do not.
TEST(LocaleAnsi, CountryAbbreviationFitsOrNothing) {
  auto env = MakeContractEnv();
  ISystemInfo& sys = env->machine().system;
  std::string mine = sys.GetLocaleInfoA(win::kLocaleUserDefault, win::kLocaleSAbbrevCtryName, 64);
  ASSERT_EQ(mine.size(), 3u);
  for (char c : mine) EXPECT_TRUE(c >= 'A' && c <= 'Z') << mine;
  struct Row {
    const char* name;
    int buffer_chars;
    std::string text;
  };
  const Row rows[] = {{"exact_buffer", 4, mine},
                      {"no_room_for_the_terminator", 3, ""},
                      {"size_query", 0, ""},
                      {"negative_size", -1, ""}};
  for (const Row& row : rows) {
    EXPECT_EQ(sys.GetLocaleInfoA(win::kLocaleUserDefault, win::kLocaleSAbbrevCtryName, row.buffer_chars), row.text)
        << row.name;
  }
}

TEST(TimeAnsi, LocalTimeHasItsCalendarShape) {
  auto env = MakeContractEnv();
  LocalTime t = env->machine().system.GetLocalTime();
  EXPECT_GE(t.year, 2000);
  EXPECT_TRUE(t.month >= 1 && t.month <= 12) << t.month;
  EXPECT_TRUE(t.day >= 1 && t.day <= 31) << t.day;
  EXPECT_TRUE(t.hour >= 0 && t.hour <= 23) << t.hour;
  EXPECT_TRUE(t.minute >= 0 && t.minute <= 59) << t.minute;
  EXPECT_TRUE(t.second >= 0 && t.second <= 59) << t.second;
  EXPECT_TRUE(t.milliseconds >= 0 && t.milliseconds <= 999) << t.milliseconds;
}

// ---- modules and the shell ---------------------------------------------------------

TEST(ModulesAnsi, LibrariesAndFunctionsByName) {
  auto env = MakeContractEnv();
  IModules& modules = env->machine().modules;
  std::string function;
  std::string library = env->LoadableLibrary(&function);
  Handle module = modules.LoadLibraryA(library);
  ASSERT_NE(module, kNullHandle) << library;
  EXPECT_NE(modules.GetProcAddress(module, function), nullptr) << function;
  EXPECT_EQ(modules.GetProcAddress(module, "DevstartNoSuchFunction"), nullptr);
  EXPECT_EQ(modules.LoadLibraryA("devstart-no-such-library.dll"), kNullHandle);
}

// A guarded load by full path: a missing file is no module, with the error
// Windows gives for it; the current directory can leave the search.
TEST(Modules, GuardedLoadOfAMissingFileAndTheSearchWithoutTheCurrentDirectory) {
  auto env = MakeContractEnv();
  IModules& modules = env->machine().modules;
  GuardedLoad missing = modules.LoadLibraryGuarded(env->Scratch() + L"devstart-no-such-library.dll");
  EXPECT_EQ(missing.module, kNullHandle);
  EXPECT_EQ(missing.error, win::kErrorModNotFound);
  EXPECT_FALSE(missing.raised);
  EXPECT_TRUE(modules.DropCurrentDirectoryFromSearch());
}

TEST(ShellAnsi, StartsAProgramOrSaysTheFileIsMissing) {
  auto env = MakeContractEnv();
  IProcesses& processes = env->machine().processes;
  std::string folder = Narrow(env->Scratch());
  std::intptr_t started = processes.ShellExecuteA("open", Narrow(env->ShortProgram()),
                                                  Narrow(env->ShortProgramArguments()), folder, win::kSwShowNormal);
  EXPECT_GT(started, 32);
  EXPECT_EQ(processes.ShellExecuteA("open", folder + "missing.exe", "", folder, win::kSwShowNormal), win::kSeErrFnf);
}

// ---- cabinets ----------------------------------------------------------------------

TEST(CabinetContract, NamesReachTheCallbackUnchanged) {
  auto env = MakeContractEnv();
  std::wstring cabinet = env->Scratch() + L"t.cab";
  const std::vector<std::string> names = {"a.txt", "..\\up.txt", "sub\\b.txt", "C:\\abs.txt", "dir/fwd.txt"};
  std::vector<std::pair<std::string, std::string>> entries;
  for (const std::string& n : names) entries.push_back({n, "content of " + n});
  env->PutCabinet(cabinet, entries);
  std::vector<std::string> seen;
  EXPECT_TRUE(env->machine().cabinets.SetupIterateCabinetA(
      Narrow(cabinet), [&](std::uint32_t note, const std::string& name, std::string*) {
        // The cabinet's own notices name no file.
        if (note != win::kSpFileNotifyFileInCabinet) {
          EXPECT_EQ(name, "") << "notification " << note;
          return win::kNoError;
        }
        seen.push_back(name);
        return win::kFileOpSkip;
      }));
  EXPECT_EQ(seen, names);
  EXPECT_EQ(env->ReadFile(env->Scratch() + L"a.txt"), std::nullopt);
}

struct ExtractCase {
  const char* name;
  std::string (*target)(const std::string& scratch);
  bool ok;         // what the iteration returns
  bool extracted;  // the file is there, and the callback heard of it
};

class Extraction : public ::testing::TestWithParam<ExtractCase> {};

// A full path of `length` characters in the scratch folder.
std::string PathOfLength(const std::string& scratch, std::size_t length) {
  return scratch + std::string(length - scratch.size() - 4, 'n') + ".txt";
}

TEST_P(Extraction, TargetTheCallbackNames) {
  const ExtractCase& c = GetParam();
  auto env = MakeContractEnv();
  std::string scratch = Narrow(env->Scratch());
  std::wstring cabinet = env->Scratch() + L"t.cab";
  env->PutCabinet(cabinet, {{"a.txt", "A"}});
  const std::string target = c.target(scratch);
  std::vector<std::string> extracted;
  bool ok = env->machine().cabinets.SetupIterateCabinetA(
      Narrow(cabinet), [&](std::uint32_t note, const std::string& name, std::string* full) {
        if (note == win::kSpFileNotifyFileInCabinet) {
          *full = target;
          return win::kFileOpDoIt;
        }
        if (note == win::kSpFileNotifyFileExtracted) extracted.push_back(name);
        return win::kNoError;
      });
  EXPECT_EQ(ok, c.ok);
  EXPECT_EQ(extracted, c.extracted ? std::vector<std::string>{target} : std::vector<std::string>{});
  std::wstring wide(target.begin(), target.end());
  EXPECT_EQ(env->ReadFile(wide), c.extracted ? std::optional<std::string>("A") : std::nullopt);
}

// A target longer than MAX_PATH - 1 characters is skipped, not cut short to
// another name; a missing folder fails the whole extraction.
INSTANTIATE_TEST_SUITE_P(
    Cabinets, Extraction,
    ::testing::Values(
        ExtractCase{"into_the_folder", [](const std::string& s) { return s + "out.txt"; }, true, true},
        ExtractCase{"longest_target", [](const std::string& s) { return PathOfLength(s, 259); }, true, true},
        ExtractCase{"target_past_max_path", [](const std::string& s) { return PathOfLength(s, 260); }, true, false},
        ExtractCase{"missing_folder", [](const std::string& s) { return s + "missing\\out.txt"; }, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CabinetContract, WhatIsNoCabinetFails) {
  auto env = MakeContractEnv();
  std::wstring plain = env->Scratch() + L"plain.cab";
  env->PutFile(plain, "<html>error page saved under the cabinet's name</html>");
  for (const std::wstring& wide : {plain, env->Scratch() + L"missing.cab"}) {
    std::string path = Narrow(wide);
    int calls = 0;
    EXPECT_FALSE(env->machine().cabinets.SetupIterateCabinetA(path, [&](std::uint32_t, const std::string&,
                                                                         std::string*) {
      ++calls;
      return win::kNoError;
    })) << path;
    EXPECT_EQ(calls, 0) << path;
  }
}

// ---- COM ---------------------------------------------------------------------------

TEST(ComContract, ApartmentAndDocuments) {
  auto env = MakeContractEnv();
  ICom& com = env->machine().com;
  // Whatever ran before on this thread, a second initialisation is counted
  // and says so.
  std::int32_t first = com.CoInitialize();
  EXPECT_TRUE(first == static_cast<std::int32_t>(win::kSOk) || first == static_cast<std::int32_t>(win::kSFalse))
      << first;
  EXPECT_EQ(com.CoInitialize(), static_cast<std::int32_t>(win::kSFalse));
  struct Row {
    const char* name;
    const char* prog_id;
    bool created;
  };
  const Row rows[] = {{"xml_document", "Msxml2.DOMDocument.4.0", true},
                      {"unknown_prog_id", "Devstart.NoSuchDocument", false},
                      {"empty_prog_id", "", false}};
  for (const Row& row : rows) {
    void* document = com.CreateDocument(row.prog_id);
    EXPECT_EQ(document != nullptr, row.created) << row.name;
    if (document) com.Release(document);
  }
  com.CoUninitialize();
  com.CoUninitialize();
}

// ---- the library's own helpers over the ports ---------------------------------------

TEST(UpdContract, RegistryStringsRoundTripWithinTheReadBuffer) {
  auto env = MakeContractEnv();
  const std::wstring wide_key = L"Software\\UpdlinkContract\\" + env->UniqueName(L"k");
  const std::string key = Narrow(wide_key);
  {
    ::updlink::RegistryKey k(env->machine().registry);
    EXPECT_FALSE(k.Open(win::kHkeyCurrentUser, key));
    ASSERT_TRUE(k.Create(win::kHkeyCurrentUser, key));
    struct Case {
      std::string value;
      bool readable;
    };
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
  {
    ::updlink::RegistryKey again(env->machine().registry);
    EXPECT_TRUE(again.Open(win::kHkeyCurrentUser, key));
  }
  env->DeleteTree(win::kHkeyCurrentUser, wide_key);
}

TEST(UpdContract, FoldersAndFiles) {
  auto env = MakeContractEnv();
  Machine& m = env->machine();
  IFileSystem& f = m.files;
  const std::wstring ws = env->Scratch();
  const std::string s = Narrow(ws);
  EXPECT_TRUE(f.CreateDirectoryA(s + "a").ok);
  EXPECT_FALSE(f.CreateDirectoryA(s + "a").ok);     // exists already
  EXPECT_FALSE(f.CreateDirectoryA(s + "x\\y").ok);  // parent missing
  EXPECT_TRUE(f.GetFileAttributesA(s + "a") & win::kFileAttributeDirectory);
  EXPECT_EQ(f.GetFileAttributesA(s + "nothing"), win::kInvalidFileAttributes);
  env->PutFile(ws + L"a\\f.bin", "MSCF-and-more");
  EXPECT_EQ(::updlink::ReadHead(m, s + "a\\f.bin", 4), std::optional<std::string>("MSCF"));
  EXPECT_EQ(::updlink::ReadHead(m, s + "a\\short.bin", 4), std::nullopt);
  EXPECT_TRUE(::updlink::CanOpenForRead(m, s + "a\\f.bin"));
  EXPECT_FALSE(::updlink::CanOpenForRead(m, s + "a\\gone.bin"));
  EXPECT_TRUE(f.SetFileAttributesA(s + "a\\f.bin", 1).ok);  // read-only
  EXPECT_FALSE(f.DeleteFileA(s + "a\\f.bin").ok);
  EXPECT_TRUE(f.SetFileAttributesA(s + "a\\f.bin", win::kFileAttributeNormal).ok);
  EXPECT_TRUE(f.DeleteFileA(s + "a\\f.bin").ok);
  EXPECT_EQ(env->ReadFile(ws + L"a\\f.bin"), std::nullopt);
  EXPECT_EQ(::updlink::VersionValue(m, s + "a\\none.dll", "\\VarFileInfo\\Translation"), std::nullopt);
  ::updlink::CreateFolderPath(m, s + "p\\q\\r\\");
  EXPECT_TRUE(f.GetFileAttributesA(s + "p\\q\\r") & win::kFileAttributeDirectory);
}

TEST(UpdContract, ExtractionKeepsEveryFileInsideTheDestination) {
  auto env = MakeContractEnv();
  Machine& m = env->machine();
  const std::wstring ws = env->Scratch();
  const std::string s = Narrow(ws);
  m.files.CreateDirectoryA(s + "dest");
  env->PutFile(ws + L"dest\\a.txt", "old");
  m.files.SetFileAttributesA(s + "dest\\a.txt", 1);
  env->PutCabinet(ws + L"t.cab", {{"a.txt", "A"}, {"..\\up.txt", "U"}, {"sub\\b.txt", "B"}, {"../up2.txt", "U"}});
  EXPECT_TRUE(::updlink::ExtractCabinet(m, s + "t.cab", s + "dest\\"));
  EXPECT_EQ(env->ReadFile(ws + L"dest\\a.txt"), std::optional<std::string>("A"));
  EXPECT_EQ(env->ReadFile(ws + L"dest\\sub\\b.txt"), std::optional<std::string>("B"));
  EXPECT_EQ(env->ReadFile(ws + L"up.txt"), std::nullopt);
  EXPECT_EQ(env->ReadFile(ws + L"up2.txt"), std::nullopt);
}

}  // namespace
}  // namespace devstart::contract
