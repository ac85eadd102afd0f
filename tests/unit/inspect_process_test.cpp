#include <gtest/gtest.h>

#include "inspect/process_launch.h"
#include "inspect/running_apps.h"
#include "platform/handles.h"
#include "unit/traced_pc.h"

namespace devstart {
namespace {

class Processes : public ::testing::Test, public TracedPc {
 protected:
  sim::FakeProcesses& procs = pc.processes;
};

TEST_F(Processes, FindProcessBySnapshot) {
  struct Case {
    const char* what;
    std::vector<sim::FakeProcesses::Process> running;
    bool snapshot_fails, first_fails;
    std::int32_t found;
    int vtp_running;
    std::vector<std::wstring> lines;
  };
  const Case cases[] = {
      {"exact name", {{8, L"explorer.exe"}, {12, L"VTP.exe"}}, false, false, 12, 1, {L"[LC] FindProcess Success!!"}},
      {"other case", {{16, L"vtp.EXE"}}, false, false, 16, 1, {L"[LC] FindProcess Success!!"}},
      {"first of two", {{20, L"VTP.exe"}, {24, L"VTP.exe"}}, false, false, 20, 1, {L"[LC] FindProcess Success!!"}},
      {"prefix is not the name", {{28, L"VTP.exe.bak"}, {32, L"xVTP.exe"}}, false, false, -1, 0, {}},
      {"no snapshot", {{12, L"VTP.exe"}}, true, false, 0, 0, {}},
      {"walk fails", {{12, L"VTP.exe"}}, false, true, -1, 0, {L"[LC]FindProcess ChecK Fail"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TracedPc local;
    auto& p = local.pc.processes;
    p.processes = c.running;
    p.snapshot_fails = c.snapshot_fails;
    p.first_fails = c.first_fails;
    EXPECT_EQ(FindProcess(local.machine, L"VTP.exe"), c.found);
    EXPECT_EQ(IsVTPRunning(local.machine), c.vtp_running);
    std::vector<std::wstring> twice = c.lines;
    twice.insert(twice.end(), c.lines.begin(), c.lines.end());
    EXPECT_EQ(local.pc.TraceLines(), twice);
    EXPECT_EQ(p.open_handles(), 0);
  }
}

TEST_F(Processes, IsProcessAlive) {
  procs.processes = {{8, L"a.exe"}, {12, L"b.exe"}};
  struct Case {
    std::int32_t pid;
    int alive;
  };
  const Case cases[] = {{8, 1}, {12, 1}, {16, 0}, {0, 0}, {-1, 0}};
  for (const Case& c : cases) EXPECT_EQ(IsProcessAlive(machine, c.pid), c.alive) << c.pid;
  procs.first_fails = true;
  EXPECT_EQ(IsProcessAlive(machine, 8), 0);
  procs.first_fails = false;
  procs.snapshot_fails = true;
  EXPECT_EQ(IsProcessAlive(machine, 8), 0);
  EXPECT_EQ(procs.open_handles(), 0);
}

TEST_F(Processes, WindowsOfTheSuiteAndTheKit) {
  struct Case {
    const char* what;
    std::vector<sim::FakeWindows::Window> windows;
    int suite, kit, notified;
  };
  const Case cases[] = {
      {"none", {}, 0, 0, 0},
      {"suite by exact title", {{1, L"Whatever", L"Tavo PC Suite IV"}}, 1, 0, 1},
      {"title that only begins alike", {{1, L"Whatever", L"Tavo PC Suite IV - Contacts"}}, 0, 0, 0},
      {"kit by class, any title", {{2, L"TAVO_INTERNET_KIT_CLASS", L""}}, 0, 1, 0},
      {"kit title is not its class", {{2, L"Other", L"TAVO_INTERNET_KIT_CLASS"}}, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    pc.windows.windows = c.windows;
    pc.windows.posts.clear();
    EXPECT_EQ(IsPCSuiteRunning(machine), c.suite);
    EXPECT_EQ(IsInternetKitRunning(machine), c.kit);
    EXPECT_EQ(NotifyPCSuite(machine), c.notified);
    ASSERT_EQ(pc.windows.posts.size(), static_cast<std::size_t>(c.notified));
    if (c.notified) {
      const auto& post = pc.windows.posts[0];
      EXPECT_EQ(post.msg, 0xAB8u);
      EXPECT_EQ(post.wparam, 0u);
      EXPECT_EQ(post.lparam, 0);
    }
  }
}

TEST_F(Processes, ExecuteProcess) {
  procs.launchable[sim::Fold(L"C:\\stage\\setup.exe")] = {L"setup.exe", 5, {}, {}, false};
  struct Case {
    const char* what;
    const wchar_t* file;
    int elevate;
    bool get_process_id, nt_query;
    bool started;
    const wchar_t* verb;
  };
  const Case cases[] = {
      {"open", L"C:\\stage\\setup.exe", 0, true, true, true, L"open"},
      {"runas", L"C:\\stage\\setup.exe", 1, true, true, true, L"runas"},
      {"any other flag opens", L"C:\\stage\\setup.exe", 2, true, true, true, L"open"},
      {"NtQueryInformationProcess only", L"C:\\stage\\setup.exe", 0, false, true, true, L"open"},
      {"neither lookup", L"C:\\stage\\setup.exe", 0, false, false, false, L"open"},
      {"missing file", L"C:\\stage\\nothing.exe", 0, true, true, false, L"open"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    procs.has_get_process_id = c.get_process_id;
    procs.has_nt_query = c.nt_query;
    std::uint32_t expected_pid = procs.next_pid;
    std::int32_t pid = ExecuteProcess(machine, c.file, L"/S -x", c.elevate);
    EXPECT_EQ(pid, c.started ? static_cast<std::int32_t>(expected_pid) : -1);
    const auto& launch = procs.launches.back();
    EXPECT_EQ(launch.verb, c.verb);
    EXPECT_EQ(launch.mask, win::kSeeMaskNoCloseProcess);
    EXPECT_EQ(launch.show, win::kSwShow);
    EXPECT_EQ(launch.parameters, L"/S -x");
    EXPECT_EQ(procs.open_handles(), 0);  // the launch's handle is not kept
  }
}

struct WaitCase {
  const char* what;
  long runs_for;           // ticks; the process ends at its launch tick + runs_for
  int messages;            // messages waiting when the wait starts
  bool reuse_identifier;   // another process takes the identifier as the setup ends
  bool drop_handle;        // the launch gave no handle: the snapshot fall-back
};

TEST_F(Processes, WaitEndsWhenTheSetupEndsAndDispatchesMessages) {
  const WaitCase cases[] = {
      {"ends at once", 0, 0, false, false},
      {"runs a while, messages pending", 50, 3, false, false},
      {"identifier reused by another process", 20, 1, true, false},
      {"no handle: snapshot fall-back", 20, 2, false, true},
  };
  for (const WaitCase& c : cases) {
    SCOPED_TRACE(c.what);
    sim::SimPc local;
    Machine m = local.machine();
    auto& p = local.processes;
    sim::FakeProcesses::Launchable setup{L"setup.exe", c.runs_for, {}, {}, false};
    if (c.reuse_identifier) setup.then_start = {{p.next_pid, L"unrelated.exe", -1, true}};
    p.launchable[sim::Fold(L"C:\\s\\setup.exe")] = setup;
    LaunchedProcess launched = LaunchProcess(m, L"C:\\s\\setup.exe", L"", 0);
    const std::int32_t pid = launched.pid;
    ASSERT_NE(pid, -1);
    if (c.drop_handle) launched.process.reset();
    p.pending_messages = c.messages;
    std::int32_t manager_pid = -1;
    std::vector<std::int32_t> seen_during_wait;
    p.on_dispatch = [&] { seen_during_wait.push_back(manager_pid); };
    WaitForLaunchedProcess(m, manager_pid, std::move(launched));
    EXPECT_EQ(manager_pid, -1);
    EXPECT_EQ(p.dispatched, c.messages);
    for (std::int32_t s : seen_during_wait) EXPECT_EQ(s, pid);  // what Cancel reads meanwhile
    EXPECT_GE(p.tick, c.runs_for);
    // The wait did not outlast the setup (the reused identifier is still alive).
    EXPECT_LE(p.tick, c.runs_for + (c.drop_handle ? 1 : 0));
    EXPECT_EQ(local.system.sleeps, 0);  // never a busy 1 ms loop
    EXPECT_EQ(p.open_handles(), 0);
  }
}

TEST_F(Processes, SnapshotFallBackFollowsTheManagersIdentifier) {
  procs.processes = {{40, L"setup.exe", 10, true}};
  std::int32_t manager_pid = -1;
  WaitForLaunchedProcess(machine, manager_pid, LaunchedProcess{40, UniqueHandle()});
  EXPECT_EQ(manager_pid, -1);
  EXPECT_GE(procs.tick, 10);
  // An identifier that is not running ends the wait after one look.
  long before = procs.tick;
  WaitForLaunchedProcess(machine, manager_pid, LaunchedProcess{99, UniqueHandle()});
  EXPECT_EQ(procs.tick, before);
}

}  // namespace
}  // namespace devstart
