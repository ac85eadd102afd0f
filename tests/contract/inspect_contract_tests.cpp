#include <gtest/gtest.h>

#include "contract/contract_env.h"

namespace devstart::contract {
namespace {

constexpr std::uint32_t kKeyAll = win::kKeyAllAccess;

std::vector<std::uint8_t> Utf16z(const std::wstring& s) {
  std::vector<std::uint8_t> out;
  for (wchar_t c : s) {
    out.push_back(static_cast<std::uint8_t>(c & 0xFF));
    out.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}

class InspectContract : public ::testing::Test {
 protected:
  void SetUp() override {
    env = MakeContractEnv();
    name = env->UniqueName(L"DevstartContract");
  }
  void TearDown() override {
    env->DeleteTree(win::kHkeyCurrentUser, L"Software\\" + name);
    env->DeleteTree(win::kHkeyLocalMachine, L"SOFTWARE\\" + name);
    env->DeleteTree(win::kHkeyLocalMachine, L"SOFTWARE\\Wow6432Node\\" + name);
  }
  RegKey Create(RegKey hive, const std::wstring& path, std::uint32_t sam, std::uint32_t* disposition = nullptr) {
    RegKey key = 0;
    std::uint32_t d = 0;
    EXPECT_EQ(env->machine().registry.RegCreateKeyEx(hive, path, 0, sam, &key, &d), 0);
    if (disposition) *disposition = d;
    return key;
  }
  std::unique_ptr<ContractEnv> env;
  std::wstring name;
};

TEST_F(InspectContract, CreateOrOpenLeavesAnEmptyKey) {
  std::uint32_t d = 0;
  RegKey k = Create(win::kHkeyCurrentUser, L"Software\\" + name + L"\\a\\b", win::kKeyRead, &d);
  EXPECT_EQ(d, win::kRegCreatedNewKey);
  EXPECT_EQ(env->machine().registry.RegQueryValueEx(k, L"Path", 512).status, win::kErrorFileNotFound);
  EXPECT_EQ(env->machine().registry.RegCloseKey(k), 0);
  k = Create(win::kHkeyCurrentUser, L"Software\\" + name + L"\\a\\b", win::kKeyRead, &d);
  EXPECT_EQ(d, win::kRegOpenedExistingKey);
  env->machine().registry.RegCloseKey(k);
}

TEST_F(InspectContract, ValueTypesAndSizes) {
  IRegistry& reg = env->machine().registry;
  RegKey k = Create(win::kHkeyCurrentUser, L"Software\\" + name, kKeyAll);
  struct Case {
    const wchar_t* value;
    std::uint32_t type;
    std::vector<std::uint8_t> bytes;
    std::uint32_t buffer;
    std::int32_t status;
  };
  const Case cases[] = {
      {L"sz", win::kRegSz, Utf16z(L"abc"), 512, 0},
      {L"expand", win::kRegExpandSz, Utf16z(L"%TEMP%\\x"), 512, 0},
      {L"empty", win::kRegSz, {}, 512, 0},
      {L"dword", win::kRegDword, {0xB5, 0, 0, 0}, 4, 0},
      {L"long", win::kRegSz, Utf16z(std::wstring(300, L'x')), 512, win::kRegErrorMoreData},
      {L"exact", win::kRegSz, Utf16z(std::wstring(255, L'y')), 512, 0},
      {L"odd", win::kRegSz, {'a', 0, 'b'}, 512, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.value, c.value + wcslen(c.value))));
    ASSERT_EQ(reg.RegSetValueEx(k, c.value, c.type, c.bytes), 0);
    RegValueRead r = reg.RegQueryValueEx(k, c.value, c.buffer);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.type, c.type);
    EXPECT_EQ(r.size, c.bytes.size());
    if (c.status == 0) {
      EXPECT_EQ(r.data, c.bytes);
    }
  }
  EXPECT_EQ(reg.RegQueryValueEx(k, L"missing", 512).status, win::kErrorFileNotFound);
  // The key's default value has the empty name.
  ASSERT_EQ(reg.RegSetValueEx(k, L"", win::kRegSz, Utf16z(L"MSAutoRun")), 0);
  EXPECT_EQ(reg.RegQueryValueEx(k, L"", 512).size, 20u);
  reg.RegCloseKey(k);
}

TEST_F(InspectContract, NoAccessRequestedOpensButDoesNotRead) {
  IRegistry& reg = env->machine().registry;
  RegKey k = Create(win::kHkeyCurrentUser, L"Software\\" + name, kKeyAll);
  reg.RegSetValueEx(k, L"Path", win::kRegSz, Utf16z(L"C:\\x"));
  reg.RegCloseKey(k);
  RegKey none = 0;
  ASSERT_EQ(reg.RegCreateKeyEx(win::kHkeyCurrentUser, L"Software\\" + name, 0, 0, &none, nullptr), 0);
  EXPECT_EQ(reg.RegQueryValueEx(none, L"Path", 512).status, win::kErrorAccessDenied);
  reg.RegCloseKey(none);
}

TEST_F(InspectContract, ThirtyTwoBitViewLandsInWow6432Node) {
  IRegistry& reg = env->machine().registry;
  struct Case {
    const char* what;
    std::uint32_t write_flags;
    bool in_wow6432node;
  };
  const Case cases[] = {
      {"32-bit view", win::kKeyWow64_32Key, true},
      {"64-bit view", win::kKeyWow64_64Key, false},
      {"both flags", win::kKeyWow64_32Key | win::kKeyWow64_64Key, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RegKey k = Create(win::kHkeyLocalMachine, L"SOFTWARE\\" + name, kKeyAll | c.write_flags);
    ASSERT_EQ(reg.RegSetValueEx(k, L"v", win::kRegDword, {1, 0, 0, 0}), 0);
    reg.RegCloseKey(k);
    RegKey wow = 0;
    ASSERT_EQ(reg.RegCreateKeyEx(win::kHkeyLocalMachine, L"SOFTWARE\\Wow6432Node\\" + name, 0,
                                 win::kKeyRead | win::kKeyWow64_64Key, &wow, nullptr), 0);
    EXPECT_EQ(reg.RegQueryValueEx(wow, L"v", 4).status == 0, c.in_wow6432node);
    reg.RegCloseKey(wow);
    env->DeleteTree(win::kHkeyLocalMachine, L"SOFTWARE\\" + name);
    env->DeleteTree(win::kHkeyLocalMachine, L"SOFTWARE\\Wow6432Node\\" + name);
  }
}

TEST_F(InspectContract, SnapshotHoldsThisProcessByName) {
  IProcesses& p = env->machine().processes;
  Handle snap = p.CreateToolhelp32Snapshot(win::kTh32csSnapProcess, 0);
  ASSERT_NE(snap, kInvalidHandle);
  bool found = false;
  for (auto e = p.Process32First(snap); e; e = p.Process32Next(snap)) {
    if (e->th32ProcessID == env->OwnProcessId()) {
      found = true;
      EXPECT_EQ(e->szExeFile, env->OwnExeName());  // the file name without its folder
    }
  }
  EXPECT_TRUE(found);
  EXPECT_TRUE(env->machine().kernel.CloseHandle(snap));
}

TEST_F(InspectContract, LaunchGivesAHandleToWaitOn) {
  IProcesses& p = env->machine().processes;
  // Without SEE_MASK_FLAG_NO_UI the shell would show its own error box.
  ShellExecuteResult missing = p.ShellExecuteEx(win::kSeeMaskNoCloseProcess | win::kSeeMaskFlagNoUi, L"open",
                                                L"C:\\no\\such\\program.exe", L"", L"", win::kSwShow);
  EXPECT_FALSE(missing.ok);
  ShellExecuteResult r = p.ShellExecuteEx(win::kSeeMaskNoCloseProcess, L"open", env->ShortProgram(),
                                          env->ShortProgramArguments(), L"", win::kSwShow);
  ASSERT_TRUE(r.ok);
  ASSERT_NE(r.process, kNullHandle);
  std::optional<std::uint32_t> pid = p.GetProcessIdByName(r.process);
  ASSERT_TRUE(pid.has_value());
  EXPECT_NE(*pid, 0u);
  EXPECT_EQ(p.NtQueryProcessIdByName(r.process), pid);
  std::uint32_t w = 0;
  for (int i = 0; i < 100000 && (w = p.MsgWaitForMultipleObjects({r.process}, win::kInfinite, win::kQsAllInput)) != 0;
       ++i) {
    ASSERT_EQ(w, 1u);
    while (p.DispatchOneMessage().taken) {
    }
  }
  EXPECT_EQ(w, win::kWaitObject0);
  // An ended process stays signalled.
  EXPECT_EQ(p.MsgWaitForMultipleObjects({r.process}, 0, win::kQsAllInput), win::kWaitObject0);
  EXPECT_TRUE(env->machine().kernel.CloseHandle(r.process));
  // No handles and a time-out: the wait times out.
  while (p.DispatchOneMessage().taken) {
  }
  EXPECT_EQ(p.MsgWaitForMultipleObjects({}, 1, win::kQsAllInput), win::kWaitTimeout);
}

// A quit message is taken off the queue but handed back, not dispatched.
TEST_F(InspectContract, QuitMessageComesBackWithItsCode) {
  IProcesses& p = env->machine().processes;
  while (p.DispatchOneMessage().taken) {
  }
  p.PostQuitMessage(7);
  PumpedMessage m = p.DispatchOneMessage();
  EXPECT_TRUE(m.taken);
  EXPECT_EQ(m.quit, std::optional<int>(7));
  EXPECT_FALSE(p.DispatchOneMessage().taken);
}

TEST_F(InspectContract, WindowsByExactTitleOrClassAndPosting) {
  IWindows& w = env->machine().windows;
  std::wstring cls = L"C" + name;
  std::wstring title = L"T" + name + L" Suite";
  WindowHandle h = env->MakeWindow(cls, title);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(w.FindWindow(L"", title), h);
  EXPECT_EQ(w.FindWindow(cls, L""), h);
  EXPECT_EQ(w.FindWindow(L"", title.substr(0, title.size() - 1)), 0u);  // a prefix is not the title
  EXPECT_EQ(w.FindWindow(L"", title + L" IV"), 0u);
  EXPECT_EQ(w.FindWindow(L"X" + cls, L""), 0u);
  EXPECT_TRUE(w.PostMessage(h, 0xAB8, 0, 0));
  EXPECT_EQ(env->PostedTo(h), std::vector<std::uint32_t>{0xAB8});
  EXPECT_FALSE(w.PostMessage(h + 0x10000, 0xAB8, 0, 0));
}

}  // namespace
}  // namespace devstart::contract
