// What the device channel relies on from the service manager, pipes, the
// token and the file system, checked alike on the simulated PC and on Wine.
#include <gtest/gtest.h>

#include <algorithm>

#include "contract/contract_env.h"

namespace devstart::contract {
namespace {

TEST(ServiceContract, MissingServiceAndDuplicateCreation) {
  auto env = MakeContractEnv();
  IServices& sc = env->machine().services;
  HandleResult m = sc.OpenSCManager(win::kScManagerConnect | win::kScManagerCreateService);
  ASSERT_NE(m.handle, kNullHandle);
  std::wstring name = env->UniqueName(L"DevstartContractService");

  HandleResult missing = sc.OpenService(m.handle, name, win::kServiceInterrogate);
  EXPECT_EQ(missing.handle, kNullHandle);
  EXPECT_EQ(missing.error, win::kErrorServiceDoesNotExist);

  ServiceConfig config{name, name + L" display", win::kServiceAllAccess, win::kServiceWin32OwnProcess,
                       win::kServiceDemandStart, win::kServiceErrorNormal, env->Scratch() + L"none.exe"};
  HandleResult created = sc.CreateService(m.handle, config);
  ASSERT_NE(created.handle, kNullHandle) << "CreateService error " << created.error;
  EXPECT_TRUE(sc.SetServiceDescription(created.handle, L"A description.").ok);

  HandleResult again = sc.CreateService(m.handle, config);
  EXPECT_EQ(again.handle, kNullHandle);
  EXPECT_EQ(again.error, win::kErrorServiceExists);

  // A service that was never started: interrogating it fails and reports
  // the stopped state.
  HandleResult opened = sc.OpenService(m.handle, name, win::kServiceInterrogate);
  ASSERT_NE(opened.handle, kNullHandle);
  ControlResult status = sc.ControlService(opened.handle, win::kServiceControlInterrogate);
  EXPECT_FALSE(status.ok);
  EXPECT_EQ(status.error, win::kErrorServiceNotActive);
  EXPECT_EQ(status.current_state, win::kServiceStopped);

  EXPECT_TRUE(sc.CloseServiceHandle(opened.handle));
  EXPECT_TRUE(sc.CloseServiceHandle(created.handle));
  EXPECT_TRUE(sc.CloseServiceHandle(m.handle));
  env->DeleteService(name);
}

TEST(PipeContract, MissingPipeIsFileNotFound) {
  auto env = MakeContractEnv();
  std::wstring name = L"\\\\.\\pipe\\" + env->UniqueName(L"DevstartContractNone");
  HandleResult h =
      env->machine().files.CreateFile(name, win::kGenericRead | win::kGenericWrite, 0, win::kOpenExisting, 0);
  EXPECT_EQ(h.handle, kInvalidHandle);
  EXPECT_EQ(h.error, win::kErrorFileNotFound);
}

struct ReplyCase {
  const char* name;
  std::string reply;
};

class PipeReply : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(PipeReply, RequestInReplyOutThenBrokenPipe) {
  auto env = MakeContractEnv();
  // A pipe is opened, written and read as a file; its mode belongs to the services port.
  IFileSystem& pipes = env->machine().files;
  std::wstring name = L"\\\\.\\pipe\\" + env->UniqueName(L"DevstartContractPipe");
  env->ServePipe(name, GetParam().reply);
  HandleResult h = pipes.CreateFile(name, win::kGenericRead | win::kGenericWrite, 0, win::kOpenExisting, 0);
  ASSERT_NE(h.handle, kInvalidHandle);
  EXPECT_TRUE(env->machine().services.SetNamedPipeHandleState(h.handle, win::kPipeReadmodeByte).ok);
  const std::string request("G\0E\0T\0\0\0", 8);
  IoResult w = pipes.WriteFile(h.handle, request.data(), 8);
  EXPECT_TRUE(w.ok);
  EXPECT_EQ(w.transferred, 8u);
  EXPECT_EQ(env->Answer(name), request);

  // Peeking shows the whole reply ready; once it is read, the hang-up.
  IoResult peek = env->machine().services.PeekNamedPipe(h.handle);
  EXPECT_EQ(peek.ok, !GetParam().reply.empty());
  EXPECT_EQ(peek.transferred, GetParam().reply.size());
  char buf[256] = {};
  IoResult r = pipes.ReadFile(h.handle, buf, sizeof buf);
  if (!GetParam().reply.empty()) {
    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(env->machine().services.PeekNamedPipe(h.handle).ok);
    EXPECT_EQ(std::string(buf, r.transferred), GetParam().reply);
    r = pipes.ReadFile(h.handle, buf, sizeof buf);
  }
  // The server let go: nothing more, and the read fails.
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.transferred, 0u);
  EXPECT_NE(r.error, win::kErrorMoreData);
  EXPECT_TRUE(env->machine().kernel.CloseHandle(h.handle));
}

INSTANTIATE_TEST_SUITE_P(Replies, PipeReply,
                         ::testing::Values(ReplyCase{"three", std::string("\x40\x0A\x00", 3)},
                                           ReplyCase{"one", std::string("\x01", 1)},
                                           ReplyCase{"four", std::string("\xEC\xFF\xFF\xFF", 4)},
                                           ReplyCase{"none", std::string()}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PipeContract, SilentServerLeavesNothingToPeek) {
  auto env = MakeContractEnv();
  IFileSystem& pipes = env->machine().files;
  std::wstring name = L"\\\\.\\pipe\\" + env->UniqueName(L"DevstartContractSilent");
  env->ServePipe(name, "x");
  env->SilencePipe(name);
  HandleResult h = pipes.CreateFile(name, win::kGenericRead | win::kGenericWrite, 0, win::kOpenExisting, 0);
  ASSERT_NE(h.handle, kInvalidHandle);
  ASSERT_TRUE(pipes.WriteFile(h.handle, "G\0\0\0", 4).ok);
  IoResult peek = env->machine().services.PeekNamedPipe(h.handle);
  EXPECT_TRUE(peek.ok);
  EXPECT_EQ(peek.transferred, 0u);
  EXPECT_TRUE(env->machine().kernel.CloseHandle(h.handle));
}

TEST(PipeContract, OccupiedPipeIsBusyAndWaitTimesOut) {
  auto env = MakeContractEnv();
  IFileSystem& pipes = env->machine().files;
  std::wstring name = L"\\\\.\\pipe\\" + env->UniqueName(L"DevstartContractBusy");
  env->ServePipe(name, "x");
  env->OccupyPipe(name);
  HandleResult h = pipes.CreateFile(name, win::kGenericRead | win::kGenericWrite, 0, win::kOpenExisting, 0);
  EXPECT_EQ(h.handle, kInvalidHandle);
  EXPECT_EQ(h.error, win::kErrorPipeBusy);
  EXPECT_FALSE(env->machine().services.WaitNamedPipe(name, 50).ok);
}

TEST(SecurityContract, AdministratorsSidAndPrivilege) {
  auto env = MakeContractEnv();
  ISecurity& s = env->machine().security;
  IKernelObjects& kernel = env->machine().kernel;
  HandleResult token = s.OpenProcessToken(s.GetCurrentProcess(), win::kTokenQuery);
  ASSERT_NE(token.handle, kNullHandle);
  std::uint32_t error = 0;
  auto sid = s.CreateWellKnownSid(win::kWinBuiltinAdministratorsSid, win::kSecurityMaxSidSize, &error);
  ASSERT_TRUE(sid.has_value());
  EXPECT_EQ(sid->size(), 16u);  // S-1-5-32-544
  EXPECT_FALSE(s.CreateWellKnownSid(win::kWinBuiltinAdministratorsSid, 8, &error).has_value());
  bool member = false;
  EXPECT_TRUE(s.CheckTokenMembership(kNullHandle, *sid, &member).ok);
  EXPECT_TRUE(member);  // Wine runs programs as an administrator
  EXPECT_TRUE(kernel.CloseHandle(token.handle));

  HandleResult adjust = s.OpenProcessToken(s.GetCurrentProcess(), win::kTokenAdjustPrivileges | win::kTokenQuery);
  ASSERT_NE(adjust.handle, kNullHandle);
  Luid luid;
  EXPECT_TRUE(s.LookupPrivilegeValue(L"SeManageVolumePrivilege", &luid).ok);
  EXPECT_FALSE(s.LookupPrivilegeValue(L"SeNoSuchPrivilege", &luid).ok);
  EXPECT_TRUE(s.AdjustTokenPrivileges(adjust.handle, luid, win::kSePrivilegeEnabled).ok);
  EXPECT_TRUE(kernel.CloseHandle(adjust.handle));
}

TEST(FileSystemContract, FoldersFilesAndErrors) {
  auto env = MakeContractEnv();
  IFileSystem& fs = env->machine().files;
  std::wstring base = env->Scratch();

  EXPECT_TRUE(fs.CreateDirectory(base + L"stage").ok);
  CallResult again = fs.CreateDirectory(base + L"stage");
  EXPECT_FALSE(again.ok);
  EXPECT_EQ(again.error, win::kErrorAlreadyExists);
  CallResult deep = fs.CreateDirectory(base + L"no\\such\\parent");
  EXPECT_FALSE(deep.ok);
  EXPECT_EQ(deep.error, win::kErrorPathNotFound);

  env->PutFile(base + L"stage\\a.txt", "a");
  EXPECT_TRUE(fs.CreateDirectory(base + L"stage\\tools").ok);
  EXPECT_TRUE(fs.SetFileAttributes(base + L"stage\\a.txt", win::kFileAttributeReadonly).ok);

  FindResult first = fs.FindFirstFile(base + L"stage\\*.*");
  ASSERT_NE(first.handle, kInvalidHandle);
  std::vector<std::pair<std::wstring, std::uint32_t>> seen;
  for (std::optional<FindData> d = first.data; d; d = fs.FindNextFile(first.handle)) {
    seen.emplace_back(d->name, d->attributes & (win::kFileAttributeDirectory | win::kFileAttributeReadonly));
  }
  EXPECT_TRUE(fs.FindClose(first.handle));
  std::sort(seen.begin(), seen.end());
  using E = std::pair<std::wstring, std::uint32_t>;
  EXPECT_EQ(seen, (std::vector<E>{{L".", win::kFileAttributeDirectory},
                                  {L"..", win::kFileAttributeDirectory},
                                  {L"a.txt", win::kFileAttributeReadonly},
                                  {L"tools", win::kFileAttributeDirectory}}));

  FindResult none = fs.FindFirstFile(base + L"missing\\*.*");
  EXPECT_EQ(none.handle, kInvalidHandle);
  EXPECT_EQ(none.error, win::kErrorPathNotFound);

  CallResult read_only = fs.DeleteFile(base + L"stage\\a.txt");
  EXPECT_FALSE(read_only.ok);
  EXPECT_EQ(read_only.error, win::kErrorAccessDenied);
  CallResult not_empty = fs.RemoveDirectory(base + L"stage");
  EXPECT_FALSE(not_empty.ok);

  CallResult copy_missing = fs.CopyFile(base + L"nothing.bin", base + L"stage\\x.bin", false);
  EXPECT_FALSE(copy_missing.ok);
  EXPECT_EQ(copy_missing.error, win::kErrorFileNotFound);
  // A folder is no file to copy; its own entry is what its parent lists.
  CallResult copy_folder = fs.CopyFile(base + L"stage\\tools", base + L"stage\\x.bin", false);
  EXPECT_FALSE(copy_folder.ok);
  EXPECT_EQ(copy_folder.error, win::kErrorAccessDenied);
  FindResult self = fs.FindFirstFile(base + L"stage\\tools");
  ASSERT_NE(self.handle, kInvalidHandle);
  EXPECT_EQ(self.data.name, L"tools");
  EXPECT_EQ(self.data.attributes & (win::kFileAttributeDirectory | win::kFileAttributeReparsePoint),
            win::kFileAttributeDirectory);
  fs.FindClose(self.handle);
  env->PutFile(base + L"b.txt", "b");
  EXPECT_TRUE(fs.CopyFile(base + L"b.txt", base + L"stage\\b.txt", false).ok);
  EXPECT_FALSE(fs.CopyFile(base + L"b.txt", base + L"stage\\b.txt", true).ok);
  EXPECT_TRUE(fs.CopyFile(base + L"b.txt", base + L"stage\\b.txt", false).ok);
  EXPECT_FALSE(fs.CopyFile(base + L"b.txt", base + L"no-folder\\b.txt", false).ok);

  EXPECT_TRUE(fs.SetFileAttributes(base + L"stage\\a.txt", win::kFileAttributeNormal).ok);
  EXPECT_TRUE(fs.DeleteFile(base + L"stage\\a.txt").ok);
  EXPECT_TRUE(fs.DeleteFile(base + L"stage\\b.txt").ok);
  CallResult gone = fs.DeleteFile(base + L"stage\\b.txt");
  EXPECT_EQ(gone.error, win::kErrorFileNotFound);
  EXPECT_TRUE(fs.RemoveDirectory(base + L"stage\\tools").ok);
  EXPECT_TRUE(fs.RemoveDirectory(base + L"stage").ok);
  FindResult removed = fs.FindFirstFile(base + L"stage");
  EXPECT_EQ(removed.handle, kInvalidHandle);
  EXPECT_EQ(removed.error, win::kErrorFileNotFound);
}

struct FindCase {
  const char* name;
  const wchar_t* pattern;  // in a folder holding a.txt, B.log, sub\ and sub\inner.txt
  std::uint32_t error;     // of FindFirstFile; 0: the names below were found
  std::vector<std::wstring> names;
};

class FindPattern : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindPattern, ListsWhatTheMaskMatches) {
  const FindCase& c = GetParam();
  auto env = MakeContractEnv();
  IFileSystem& fs = env->machine().files;
  std::wstring base = env->Scratch() + L"find\\";
  ASSERT_TRUE(fs.CreateDirectory(base).ok);
  ASSERT_TRUE(fs.CreateDirectory(base + L"sub").ok);
  env->PutFile(base + L"a.txt", "a");
  env->PutFile(base + L"B.log", "b");
  env->PutFile(base + L"sub\\inner.txt", "i");

  FindResult first = fs.FindFirstFile(base + c.pattern);
  EXPECT_EQ(first.error, c.error);
  std::vector<std::wstring> names;
  if (first.handle != kInvalidHandle) {
    for (std::optional<FindData> d = first.data; d; d = fs.FindNextFile(first.handle)) {
      names.push_back(d->name);
      bool folder = (d->attributes & win::kFileAttributeDirectory) != 0;
      EXPECT_EQ(folder, d->name == L"." || d->name == L".." || d->name == L"sub") ;
    }
    EXPECT_TRUE(fs.FindClose(first.handle));
  }
  // Wine lists in the order of the Unix directory, Windows (NTFS) by name.
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, c.names);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, FindPattern,
    ::testing::Values(
        FindCase{"star", L"*", 0, {L".", L"..", L"B.log", L"a.txt", L"sub"}},
        FindCase{"star_dot_star_takes_names_without_dot", L"*.*", 0, {L".", L"..", L"B.log", L"a.txt", L"sub"}},
        FindCase{"extension", L"*.txt", 0, {L"a.txt"}},
        FindCase{"extension_in_other_case", L"*.LOG", 0, {L"B.log"}},
        FindCase{"question_mark", L"?.txt", 0, {L"a.txt"}},
        FindCase{"exact_name_keeps_its_case", L"b.LOG", 0, {L"B.log"}},
        FindCase{"folder_by_name", L"sub", 0, {L"sub"}},
        FindCase{"inside_a_subfolder", L"sub\\*.txt", 0, {L"inner.txt"}},
        FindCase{"no_match", L"*.exe", win::kErrorFileNotFound, {}},
        FindCase{"missing_folder", L"none\\*", win::kErrorPathNotFound, {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace devstart::contract
