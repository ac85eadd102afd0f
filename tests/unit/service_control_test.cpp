// The SCSI command service's control and its pipe client on the simulated PC:
// each service state, each pipe reply and failure, and the start-up check
// that installs and starts the service.
#include <gtest/gtest.h>

#include <deque>
#include <utility>

#include "core/result_codes.h"
#include "device/window_service_manager.h"
#include "unit/traced_pc.h"
#include "workflow/auto_run_manager.h"

namespace devstart {
namespace {

const OsVersion kWinXp{5, 1, 2600, 2, 3, 1};

class ServiceFixture : public ::testing::Test, public TracedPc {
 protected:
  void SetUp() override {
    pc.files.current_directory = L"E:\\";
    pc.system.version = kWinXp;
    option.service_fname = L"ScsiCmdService.exe";
    option.service_run_file = L"ScsiCmdService.exe";
    option.scsi_fname = L"SendScsiCmd.dll";
  }

  COption option;
};

struct StateCase {
  const char* name;
  std::optional<std::uint32_t> state;  // nullopt: not installed
  std::uint32_t denied = 0;
  bool manager_fails = false;
  int code;
  std::vector<std::wstring> lines;
};

class QueryState : public ServiceFixture {};

TEST_F(QueryState, EachStateGivesItsCode) {
  const StateCase cases[] = {
      {"running", win::kServiceRunning, 0, false, 0, {}},
      {"stopped", win::kServiceStopped, 0, false, SERVICE_NOT_RUNNING,
       {L"[WindowServiceManager] ControlService() Service is not Running."}},
      {"start pending", win::kServiceStartPending, 0, false, FAIL_TO_OPEN_SERVICE, {}},
      {"stop pending", win::kServiceStopPending, 0, false, FAIL_TO_OPEN_SERVICE, {}},
      {"missing", std::nullopt, 0, false, FAIL_TO_OPEN_SERVICE,
       {L"[WindowServiceManager] OpenService failed error code is 1060"}},
      {"access denied", win::kServiceRunning, win::kServiceInterrogate, false, FAIL_TO_OPEN_SERVICE,
       {L"[WindowServiceManager] OpenService failed error code is 5"}},
      {"no manager", win::kServiceRunning, 0, true, FAIL_TO_OPEN_SCMANAGER,
       {L"[WindowServiceManager] OpenSCManager failed"}},
  };
  for (const StateCase& c : cases) {
    TracedPc fresh;
    if (c.state) fresh.pc.InstallService(*c.state).denied_access = c.denied;
    fresh.pc.services.open_manager_fails = c.manager_fails;
    WindowServiceManager wsm(fresh.machine, option);
    EXPECT_EQ(wsm.QueryServiceState(), c.code) << c.name;
    EXPECT_EQ(fresh.pc.TraceLines(), c.lines) << c.name;
    EXPECT_TRUE(fresh.pc.services.open_handles.empty()) << c.name << ": handles left open";
    if (c.state && !c.manager_fails && c.denied == 0) {
      // Interrogated ten times, a millisecond apart.
      int controls = 0;
      for (const auto& call : fresh.pc.services.calls) controls += call == L"ControlService 4";
      EXPECT_EQ(controls, 10) << c.name;
      EXPECT_EQ(fresh.pc.system.slept_ms, 10u) << c.name;
    }
  }
}

class Install : public ServiceFixture {};

TEST_F(Install, RegistersTheServiceAsDescribed) {
  WindowServiceManager wsm(machine, option);
  EXPECT_EQ(wsm.InstallScsiService(), 0);
  auto* s = pc.services.Find(L"TavoScsiCommandService");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->config.display_name, L"Tavo SCSI command service");
  EXPECT_EQ(s->description, L"Tavo SCSI Command service for AutoRun.");
  EXPECT_EQ(s->config.desired_access, win::kServiceAllAccess);
  EXPECT_EQ(s->config.service_type, win::kServiceWin32OwnProcess);
  EXPECT_EQ(s->config.start_type, win::kServiceAutoStart);
  EXPECT_EQ(s->config.error_control, win::kServiceErrorNormal);
  EXPECT_EQ(s->config.binary_path, L"C:\\windows\\system32\\ScsiCmdService.exe");
  EXPECT_EQ(pc.services.calls.front(), L"OpenSCManager 0x2");
  EXPECT_TRUE(pc.services.open_handles.empty());
  EXPECT_TRUE(Lines().empty());
}

struct InstallCase {
  const char* name;
  bool exists;
  std::optional<std::uint32_t> create_error;
  bool manager_fails;
  bool description_fails;
  int code;
  std::vector<std::wstring> lines;
};

TEST_F(Install, FailuresGiveTheirCodes) {
  const InstallCase cases[] = {
      {"exists", true, std::nullopt, false, false, SERVICE_ALREADY_EXISTS,
       {L"[WindowServiceManager] CreateService failed"}},
      {"denied", false, win::kErrorAccessDenied, false, false, FAIL_TO_CREATE_SERVICE,
       {L"[WindowServiceManager] CreateService failed"}},
      {"no manager", false, std::nullopt, true, false, FAIL_TO_OPEN_SCMANAGER,
       {L"[WindowServiceManager] OpenSCManager failed"}},
      {"description", false, std::nullopt, false, true, 0, {L"[WindowServiceManager] ChangeServiceConfig2 \n"}},
  };
  for (const InstallCase& c : cases) {
    TracedPc fresh;
    sim::SimPc& row = fresh.pc;
    if (c.exists) row.InstallService(win::kServiceStopped);
    row.services.create_error = c.create_error;
    row.services.open_manager_fails = c.manager_fails;
    row.services.description_fails = c.description_fails;
    WindowServiceManager wsm(fresh.machine, option);
    EXPECT_EQ(wsm.InstallScsiService(), c.code) << c.name;
    // The description line holds a line feed; compare the raw text.
    std::wstring text = row.ReadUtf16(row.files.temp_path + L"Devstart.Log");
    for (const auto& line : c.lines) EXPECT_NE(text.find(line + L"\r\n"), std::wstring::npos) << c.name;
    if (c.lines.empty()) { EXPECT_TRUE(text.empty()); }
    EXPECT_TRUE(row.services.open_handles.empty()) << c.name;
  }
}

TEST_F(Install, PathThatWouldNotFitIsNotRegistered) {
  option.service_run_file = std::wstring(250, L'x') + L".exe";
  WindowServiceManager wsm(machine, option);
  EXPECT_TRUE(wsm.binary_path().empty());
  EXPECT_EQ(wsm.InstallScsiService(), FAIL_TO_CREATE_SERVICE);
  EXPECT_EQ(pc.services.Find(L"TavoScsiCommandService"), nullptr);
}

TEST_F(Install, RunStartsWithoutWaiting) {
  WindowServiceManager wsm(machine, option);
  EXPECT_EQ(wsm.RunScsiService(), FAIL_TO_OPEN_SERVICE);
  EXPECT_EQ(Lines(), std::vector<std::wstring>{L"[WindowServiceManager] OpenService failed"});
  pc.InstallService(win::kServiceStopped).state_after_start = win::kServiceStartPending;
  EXPECT_EQ(wsm.RunScsiService(), 0);
  EXPECT_EQ(pc.services.Find(L"TavoScsiCommandService")->starts, 1);
  // Started but not yet running still counts: the pipe client waits.
  EXPECT_EQ(wsm.RunScsiService(), 0);
  pc.services.open_manager_fails = true;
  EXPECT_EQ(wsm.RunScsiService(), FAIL_TO_OPEN_SCMANAGER);
  EXPECT_TRUE(pc.services.open_handles.empty());
}

// ---- pipe client ------------------------------------------------------------

class Pipe : public ServiceFixture {
 protected:
  void SetUp() override {
    ServiceFixture::SetUp();
    pc.InstallService(win::kServiceRunning);
  }
  int Send(std::uint32_t* read) {
    WindowServiceManager wsm(machine, option);
    std::memset(buffer, 0xCC, sizeof buffer);
    return wsm.PipeSend(L"GET_SETTING:E", buffer, sizeof buffer, read);
  }
  std::uint8_t buffer[256];
};

struct ReplyCase {
  std::string reply;
  std::uint32_t error;  // of the ReadFile
  int code;
  const wchar_t* line;  // extra line after "ReadFile(+)", if any
};

TEST_F(Pipe, ReplyLengthDecidesItsMeaning) {
  const ReplyCase cases[] = {
      {std::string("\x40\x0A\x00", 3), 0, 0, L"[WindowServiceManager] ReadFile(-)"},
      {std::string("\x01", 1), 0, 0, L"[WindowServiceManager] ReadFile(-)"},
      {std::string(), 0, 0, L"[WindowServiceManager] ReadFile(-)"},
      {std::string(), 109, 0, nullptr},  // the service hung up without data
      {std::string("\xFF\xFF\xFF\xFF", 4), 0, FAIL_TO_FIND_DRIVE,
       L"[WindowServiceManger] GET_SETTING fail FAIL_TO_FIND_DRIVE"},
      {std::string("\xFE\xFF\xFF\xFF", 4), 0, FAIL_TO_OPEN_DRIVE,
       L"[WindowServiceManger] GET_SETTING fail FAIL_TO_OPEN_DRIVE"},
      {std::string("\xFD\xFF\xFF\xFF", 4), 0, FAIL_TO_SEND_SCSI_CMD,
       L"[WindowServiceManger] GET_SETTING fail FAIL_TO_SEND_SCSI_CMD"},
      {std::string("\xEC\xFF\xFF\xFF", 4), 0, FAIL_TO_OPEN_DRIVE_ACCESS_DENIED,
       L"[WindowServiceManger] GET_SETTING fail FAIL_TO_OPEN_DRIVE_ACCESS_DENIED"},
      {std::string("\x00\x00", 2), 0, FAIL_SCSI_UNKNOWN, nullptr},
      {std::string("\xFC\xFF\xFF\xFF", 4), 0, FAIL_SCSI_UNKNOWN, nullptr},
      {std::string(5, '\xFF'), 0, FAIL_TO_FIND_DRIVE, L"[WindowServiceManger] GET_SETTING fail FAIL_TO_FIND_DRIVE"},
  };
  for (const ReplyCase& c : cases) {
    TracedPc fresh;
    fresh.pc.InstallService(win::kServiceRunning);
    fresh.pc.pipes.scripted_reads = {{c.reply, c.error}};
    WindowServiceManager wsm(fresh.machine, option);
    std::uint32_t read = 99;
    std::memset(buffer, 0, sizeof buffer);
    EXPECT_EQ(wsm.PipeSend(L"GET_SETTING:E", buffer, sizeof buffer, &read), c.code) << c.reply.size();
    EXPECT_EQ(read, c.reply.size());
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), c.reply.size()), c.reply);
    std::vector<std::wstring> expected = {L"[WindowServiceManager] WriteFile(+)", L"[WindowServiceManager] WriteFile(-)",
                                          L"[WindowServiceManager] ReadFile(+)"};
    if (c.line) expected.push_back(c.line);
    EXPECT_EQ(fresh.pc.TraceLines(), expected) << c.reply.size();
    EXPECT_TRUE(fresh.pc.pipes.open_handles.empty());
  }
}

TEST_F(Pipe, OpensWithTheDescribedArgumentsAndByteMode) {
  std::uint32_t read = 0;
  EXPECT_EQ(Send(&read), 0);
  EXPECT_EQ(read, 3u);
  const auto& calls = pc.pipes.calls;
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0], L"CreateFile \\\\.\\pipe\\TavoScsiCommandService 0xc0000000 0 3 0");
  EXPECT_EQ(calls[1], L"SetNamedPipeHandleState 0");
  ASSERT_EQ(pc.pipes.requests.size(), 1u);
  EXPECT_EQ(pc.pipes.requests[0].size(), 28u);
}

TEST_F(Pipe, MoreDataReadsAgainFromTheStart) {
  pc.pipes.scripted_reads = {{std::string("\x07", 1), win::kErrorMoreData}, {std::string("\x40\x01\x02", 3), 0}};
  std::uint32_t read = 0;
  EXPECT_EQ(Send(&read), 0);
  EXPECT_EQ(read, 3u);
  EXPECT_EQ(buffer[0], 0x40);
  EXPECT_EQ(Lines(), (std::vector<std::wstring>{
                         L"[WindowServiceManager] WriteFile(+)", L"[WindowServiceManager] WriteFile(-)",
                         L"[WindowServiceManager] ReadFile(+)", L"[WindowServiceManager] ReadFile(-)",
                         L"[WindowServiceManager] ReadFile(+)", L"[WindowServiceManager] ReadFile(-)"}));
}

struct OpenCase {
  const char* name;
  bool running;
  int busy;
  bool wait_fails, set_state_fails, write_fails;
  int code;
  std::vector<std::wstring> lines;
};

TEST_F(Pipe, ConnectionFailures) {
  const OpenCase cases[] = {
      {"missing", false, 0, false, false, false, FAIL_TO_CONNECT_PIPE,
       {L"[WindowServiceManager] PipeSend()-CreateFile() Error code is 2"}},
      // The mode switched at the first try: the service answers nothing
      // and hangs up.
      {"busy then free", true, 3, false, false, false, 0,
       {L"[WindowServiceManager] WriteFile(+)", L"[WindowServiceManager] WriteFile(-)",
        L"[WindowServiceManager] ReadFile(+)"}},
      {"busy and wait fails", true, 1, true, false, false, FAIL_TO_CONNECT_PIPE,
       {L"[WindowServiceManager] WaitNamedPipe failed"}},
      {"mode", true, 0, false, true, false, FAIL_TO_SET_PIPE_MODE,
       {L"[WindowServiceManager] SetNamedPipeHandleState failed"}},
      {"write", true, 0, false, false, true, FAIL_TO_WRITE_PIPE,
       {L"[WindowServiceManager] WriteFile(+)", L"[WindowServiceManager] WriteFile(-)",
        L"[WindowServiceManager] WriteFile failed"}},
  };
  for (const OpenCase& c : cases) {
    TracedPc fresh;
    if (c.running) fresh.pc.InstallService(win::kServiceRunning);
    auto& p = fresh.pc.pipes;
    p.busy_opens = c.busy;
    p.wait_fails = c.wait_fails;
    p.set_state_fails = c.set_state_fails;
    p.write_fails = c.write_fails;
    WindowServiceManager wsm(fresh.machine, option);
    std::uint32_t read = 0;
    EXPECT_EQ(wsm.PipeSend(L"MODE_CHANGE:E", buffer, sizeof buffer, &read), c.code) << c.name;
    EXPECT_EQ(fresh.pc.TraceLines(), c.lines) << c.name;
    int waits = 0;
    for (const auto& call : p.calls) waits += call == L"WaitNamedPipe \\\\.\\pipe\\TavoScsiCommandService 20000";
    EXPECT_EQ(waits, c.busy == 0 ? 0 : (c.wait_fails ? 1 : c.busy)) << c.name;
    EXPECT_TRUE(p.open_handles.empty()) << c.name;
  }
}

struct ReplyFaultCase {
  const char* name;
  int quiet_peeks;  // -1: the service never answers
  std::deque<std::pair<std::string, std::uint32_t>> reads;
  int code;
  std::uint32_t read;
  const wchar_t* last_line;
};

// A service that is slow, silent, or lets go mid-reply: the exchange ends
// within the reply wait, with the connection closed.
TEST_F(Pipe, SlowSilentOrCutReplies) {
  const ReplyFaultCase cases[] = {
      {"answers just inside the wait", 399, {{std::string("\x40\x0A\x00", 3), 0}}, 0, 3,
       L"[WindowServiceManager] ReadFile(-)"},
      {"never answers", -1, {}, FAIL_TO_CONNECT_PIPE, 0,
       L"[WindowServiceManager] ReadFile() no reply in 20000 ms"},
      {"cut after two bytes", 0, {{std::string("\x40\x0A", 2), 0}}, FAIL_SCSI_UNKNOWN, 2,
       L"[WindowServiceManager] ReadFile(+)"},
      {"dies before the first byte", 0, {{std::string(), 109}}, 0, 0, L"[WindowServiceManager] ReadFile(+)"},
      {"two rounds of more data", 0,
       {{std::string("\x01", 1), win::kErrorMoreData}, {std::string("\x02", 1), win::kErrorMoreData},
        {std::string("\x40\x01\x02", 3), 0}},
       0, 3, L"[WindowServiceManager] ReadFile(-)"},
  };
  for (const ReplyFaultCase& c : cases) {
    TracedPc fresh;
    fresh.pc.InstallService(win::kServiceRunning);
    fresh.pc.pipes.quiet_peeks = c.quiet_peeks;
    fresh.pc.pipes.scripted_reads = c.reads;
    WindowServiceManager wsm(fresh.machine, option);
    std::uint32_t read = 99;
    EXPECT_EQ(wsm.PipeSend(L"GET_SETTING:E", buffer, sizeof buffer, &read), c.code) << c.name;
    EXPECT_EQ(read, c.read) << c.name;
    EXPECT_EQ(fresh.pc.TraceLines().back(), c.last_line) << c.name;
    EXPECT_TRUE(fresh.pc.pipes.open_handles.empty()) << c.name;
  }
}

// ---- the start-up check ------------------------------------------------------

struct CheckCase {
  const char* name;
  std::optional<std::uint32_t> state;
  bool admin;
  int code;
  bool copied;
  bool created;
  int starts;
};

class CheckServiceTest : public ServiceFixture {};

TEST_F(CheckServiceTest, InstallsAndStartsOnlyForAdministrators) {
  const CheckCase cases[] = {
      {"running, user", win::kServiceRunning, false, 0, false, false, 0},
      {"running, admin", win::kServiceRunning, true, 0, false, false, 0},
      {"stopped, user", win::kServiceStopped, false, ADMIN_REQUIRED, false, false, 0},
      {"stopped, admin", win::kServiceStopped, true, 0, false, false, 1},
      {"missing, user", std::nullopt, false, ADMIN_REQUIRED, true, false, 0},
      {"missing, admin", std::nullopt, true, 0, true, true, 1},
      // A service stuck starting is not reachable; it exists, so creating
      // it fails and the start is tried on the existing one.
      {"start pending, admin", win::kServiceStartPending, true, 0, true, false, 0},
  };
  for (const CheckCase& c : cases) {
    TracedPc fresh;
    sim::SimPc& row = fresh.pc;
    row.files.current_directory = L"E:\\";
    row.system.version = kWinXp;
    row.files.Put(L"E:\\ScsiCmdService.exe", "service");
    row.files.Put(L"E:\\SendScsiCmd.dll", "library");
    row.security.admin = c.admin;
    // A standard user may not write to the system folder.
    if (!c.admin) row.files.read_only_folders.insert(L"C:\\windows\\system32");
    if (c.state) row.InstallService(*c.state);
    CAutoRunManager mgr(fresh.machine, option);
    EXPECT_EQ(mgr.CheckService(), c.code) << c.name;
    auto lines = row.TraceLines();
    EXPECT_EQ(lines.front(), L"CAutoRunManager::CheckService(+)");
    EXPECT_EQ(lines.back(), L"CAutoRunManager::CheckService(-)");
    bool tried_copy = std::find(lines.begin(), lines.end(), L"CAutoRunManager::CopyService(+)") != lines.end();
    EXPECT_EQ(tried_copy, c.copied) << c.name;
    bool copied = row.files.Exists(L"C:\\windows\\system32\\ScsiCmdService.exe") &&
                  row.files.Exists(L"C:\\windows\\system32\\SendScsiCmd.dll");
    EXPECT_EQ(copied, c.copied && c.admin) << c.name;
    if (c.copied) {
      EXPECT_EQ(row.security.enabled_privileges, std::vector<std::wstring>{L"SeManageVolumePrivilege"});
    }
    auto* s = row.services.Find(L"TavoScsiCommandService");
    EXPECT_EQ(c.created, !c.state && s != nullptr) << c.name;
    EXPECT_EQ(s ? s->starts : 0, c.starts) << c.name;
    EXPECT_TRUE(row.security.open_handles.empty()) << c.name;
  }
}

TEST_F(CheckServiceTest, CopiesUnderTheRunFileName) {
  option.service_fname = L"svc_on_cd.exe";
  option.service_run_file = L"Installed.exe";
  pc.files.Put(L"E:\\svc_on_cd.exe", "service");
  pc.files.Put(L"E:\\SendScsiCmd.dll", "library");
  pc.security.admin = true;
  CAutoRunManager mgr(machine, option);
  EXPECT_EQ(mgr.CheckService(), 0);
  EXPECT_EQ(pc.files.Get(L"C:\\windows\\system32\\Installed.exe").value_or(""), "service");
  EXPECT_EQ(pc.services.Find(L"TavoScsiCommandService")->config.binary_path,
            L"C:\\windows\\system32\\Installed.exe");
}

TEST_F(CheckServiceTest, UnknownSystemFolderCopiesNothing) {
  pc.files.special_folders.clear();
  pc.files.Put(L"E:\\ScsiCmdService.exe", "service");
  pc.security.admin = true;
  CAutoRunManager mgr(machine, option);
  EXPECT_EQ(mgr.CheckService(), FAIL_TO_OPEN_SERVICE);
  EXPECT_FALSE(pc.files.Exists(L"E:\\ScsiCmdService.exe.copy"));
  for (const auto& call : pc.files.calls) EXPECT_EQ(call.find(L"CopyFile"), std::wstring::npos) << sim::Utf8(call);
  EXPECT_EQ(pc.services.Find(L"TavoScsiCommandService"), nullptr);
}

}  // namespace
}  // namespace devstart
