#include <gtest/gtest.h>

#include <functional>

#include "core/text.h"
#include "core/trace_log.h"
#include "fake/sim_pc.h"

namespace devstart {
namespace {

const std::wstring kLog = L"C:\\Users\\user\\AppData\\Local\\Temp\\Devstart.Log";

TEST(TraceLog, LinesCarryElapsedMillisecondsAndCrLf) {
  sim::SimPc pc;
  Machine m = pc.machine();
  TraceLog log(m);
  log.Trace(L"Start Autorun version 1, 0, 0, 14");
  pc.system.tick += 1234;
  log.Trace(L"second");
  EXPECT_EQ(pc.ReadUtf16(kLog), L"[0]Start Autorun version 1, 0, 0, 14\r\n[1234]second\r\n");
  EXPECT_EQ(pc.system.debug_output.back(), L"[1234]second\r\n");
}

TEST(TraceLog, FileIsUtf16LeWithoutByteOrderMark) {
  sim::SimPc pc;
  Machine m = pc.machine();
  TraceLog log(m);
  log.Trace(L"\u00C4%s%d");
  std::string bytes = pc.files.Get(kLog).value();
  EXPECT_EQ(bytes, std::string("[\0000\0]\0\xC4\0%\0s\0%\0d\0\r\0\n\0", 20));
}

TEST(TraceLog, TickWrapPrintsSignedDifference) {
  sim::SimPc pc;
  pc.system.tick = 0xFFFFFF00u;
  Machine m = pc.machine();
  TraceLog log(m);
  pc.system.tick = 0x100;  // wrapped: 0x200 ms later
  log.Trace(L"x");
  pc.system.tick = 0x7FFFFF00u;  // more than 24 days later reads negative
  log.Trace(L"y");
  EXPECT_EQ(pc.TraceLines().size(), 2u);
  EXPECT_EQ(pc.ReadUtf16(kLog), L"[512]x\r\n[-2147483648]y\r\n");
}

TEST(TraceLog, EachStartReplacesTheFile) {
  sim::SimPc pc;
  pc.files.Put(kLog, "previous run's lines, much longer than the new ones");
  Machine m = pc.machine();
  TraceLog log(m);
  log.Trace(L"new");
  EXPECT_EQ(pc.ReadUtf16(kLog), L"[0]new\r\n");
}

// The CD run still holds its log when the relaunched copy starts and makes
// its own: the copy's log must be created, and the CD run's later lines must
// land whole after the copy's, with no gap.
TEST(TraceLog, SecondProcessReplacesTheLogAndFirstAppendsToIt) {
  sim::SimPc pc;
  Machine m = pc.machine();
  TraceLog cd_run(m);
  cd_run.Trace(L"CAutoRunManager::RunFromCD(+) and a long line before the relaunch");
  TraceLog local_run(m);
  local_run.Trace(L"Start Autorun version 1, 0, 0, 14");
  cd_run.Trace(L"NORMAL_EXIT");
  local_run.Trace(L"Devstart::CreateMutex");
  EXPECT_EQ(pc.ReadUtf16(kLog), L"[0]Start Autorun version 1, 0, 0, 14\r\n[0]NORMAL_EXIT\r\n[0]Devstart::CreateMutex\r\n");
}

TEST(TraceLog, UnwritableTemporaryFolderWritesNothingAndGoesOn) {
  sim::SimPc pc;
  pc.files.read_only_folders.insert(L"C:\\Users\\user\\AppData\\Local\\Temp");
  Machine m = pc.machine();
  TraceLog log(m);
  log.Trace(L"still running");
  EXPECT_FALSE(pc.files.Exists(kLog));
  EXPECT_EQ(pc.system.debug_output.size(), 1u);
}

// What the log does when it cannot be had as usual: the run never waits or
// stops for it, every line still reaches a debugger.
TEST(TraceLog, LockedReadOnlyLargeOrFullLogNeverStopsTheRun) {
  struct Case {
    const char* name;
    std::function<void(sim::SimPc&)> fault;
    std::string file;  // the log's bytes afterwards
  } cases[] = {
      // Another program reads it without sharing: it keeps its file as it was.
      {"locked", [](sim::SimPc& pc) {
         pc.files.Put(kLog, "theirs");
         pc.files.CreateFile(kLog, win::kGenericRead, 0, win::kOpenExisting, 0);
       }, "theirs"},
      {"read_only", [](sim::SimPc& pc) {
         pc.files.Put(kLog, "kept");
         pc.files.SetAttributes(kLog, win::kFileAttributeReadonly);
       }, "kept"},
      // Replaced at the start like any other: it never grows from run to run.
      {"very_large", [](sim::SimPc& pc) { pc.files.Put(kLog, std::string(8 << 20, 'x')); },
       std::string("[\0000\0]\0x\0\r\0\n\0[\0000\0]\0y\0\r\0\n\0", 24)},
      {"disk_full", [](sim::SimPc& pc) { pc.files.free_bytes[L'C'] = 0; }, ""},
  };
  for (const Case& c : cases) {
    sim::SimPc pc;
    c.fault(pc);
    Machine m = pc.machine();
    TraceLog log(m);
    log.Trace(L"x");
    log.Trace(L"y");
    EXPECT_EQ(pc.files.Get(kLog).value_or(""), c.file) << c.name;
    EXPECT_EQ(pc.system.debug_output, (std::vector<std::wstring>{L"[0]x\r\n", L"[0]y\r\n"})) << c.name;
  }
}

TEST(TraceLog, ClosesItsFileWhenItEnds) {
  sim::SimPc pc;
  Machine m = pc.machine();
  {
    TraceLog log(m);
    log.Trace(L"x");
    EXPECT_EQ(pc.files.open_files.size(), 1u);
  }
  EXPECT_TRUE(pc.files.open_files.empty());
}

TEST(TraceLog, SurrogatePairsSurviveWideWchar) {
  EXPECT_EQ(ToUtf16LeBytes(std::wstring(1, static_cast<wchar_t>(0x1F600))), std::string("\x3D\xD8\x00\xDE", 4));
}

TEST(Text, JoinPathPutsOneBackslashBetween) {
  struct Row {
    const wchar_t* folder;
    const wchar_t* name;
    const wchar_t* joined;
  };
  const Row rows[] = {
      {L"C:\\Temp", L"a.dll", L"C:\\Temp\\a.dll"},
      {L"C:\\Temp\\", L"a.dll", L"C:\\Temp\\a.dll"},
      {L"C:\\", L"a.dll", L"C:\\a.dll"},
      {L"", L"a.dll", L"\\a.dll"},
      {L"C:\\Temp", L"", L"C:\\Temp\\"},
      {L"C:\\Temp\\", L"", L"C:\\Temp\\"},
      {L"", L"", L"\\"},
      // Only the folder's end is looked at: a doubled one stays doubled.
      {L"C:\\Temp\\\\", L"a", L"C:\\Temp\\\\a"},
      {L"C:\\Temp", L"\\a", L"C:\\Temp\\\\a"},
      {L"C:/Temp/", L"a", L"C:/Temp/\\a"},
  };
  for (const Row& row : rows) EXPECT_EQ(JoinPath(row.folder, row.name), row.joined) << row.folder << " + " << row.name;
}

}  // namespace
}  // namespace devstart
