// The simulated PC's own bookkeeping that the contract suite cannot see: a
// kernel handle closed through the one CloseHandle leaves the open-handle set
// of the fake that handed it out, which the leak checks of the other tests
// read.
#include <gtest/gtest.h>

#include "fake/sim_pc.h"

namespace devstart {
namespace {

struct OwnerCase {
  const char* name;
  Handle (*open)(sim::SimPc& pc);
  std::size_t (*open_count)(sim::SimPc& pc);
};

TEST(SimPcHandles, CloseHandleReachesTheFakeThatOpened) {
  const OwnerCase cases[] = {
      {"file",
       [](sim::SimPc& pc) {
         return pc.files.CreateFile(L"C:\\f.txt", win::kGenericWrite, 0, win::kCreateAlways, 0).handle;
       },
       [](sim::SimPc& pc) { return pc.files.open_files.size(); }},
      {"file by ANSI name",
       [](sim::SimPc& pc) {
         return pc.files.CreateFileA("C:\\f.txt", win::kGenericWrite, 0, win::kCreateAlways, 0).handle;
       },
       [](sim::SimPc& pc) { return pc.files.open_files.size(); }},
      {"pipe",
       [](sim::SimPc& pc) {
         pc.InstallService(win::kServiceRunning);
         return pc.files.CreateFile(L"\\\\.\\pipe\\TavoScsiCommandService", win::kGenericRead, 0, win::kOpenExisting, 0)
             .handle;
       },
       [](sim::SimPc& pc) { return pc.pipes.open_handles.size(); }},
      {"mutex", [](sim::SimPc& pc) { return pc.kernel.CreateMutex(false, L"M").handle; },
       [](sim::SimPc& pc) { return pc.kernel.open_mutexes.size(); }},
      {"snapshot", [](sim::SimPc& pc) { return pc.processes.CreateToolhelp32Snapshot(win::kTh32csSnapProcess, 0); },
       [](sim::SimPc& pc) { return static_cast<std::size_t>(pc.processes.open_handles()); }},
      {"token",
       [](sim::SimPc& pc) {
         return pc.security.OpenProcessToken(pc.security.GetCurrentProcess(), win::kTokenQuery).handle;
       },
       [](sim::SimPc& pc) { return pc.security.open_handles.size(); }},
  };
  for (const OwnerCase& c : cases) {
    sim::SimPc pc;
    Handle h = c.open(pc);
    ASSERT_NE(h, kInvalidHandle) << c.name;
    EXPECT_EQ(c.open_count(pc), 1u) << c.name;
    EXPECT_TRUE(pc.kernel.CloseHandle(h)) << c.name;
    EXPECT_EQ(c.open_count(pc), 0u) << c.name;
    EXPECT_EQ(pc.kernel.last_error, 0u) << c.name;
    EXPECT_FALSE(pc.kernel.CloseHandle(h)) << c.name;
    EXPECT_EQ(pc.kernel.last_error, 6u) << c.name;  // ERROR_INVALID_HANDLE
  }
}

TEST(SimPcHandles, OtherKindsAreNoKernelHandles) {
  sim::SimPc pc;
  HandleResult manager = pc.services.OpenSCManager(win::kScManagerConnect);
  FindResult find = pc.files.FindFirstFile(L"C:\\*");
  Handle session = pc.internet.InternetOpenA("agent", win::kInternetOpenTypePreconfig, 0);
  ASSERT_NE(find.handle, kInvalidHandle);
  EXPECT_FALSE(pc.kernel.CloseHandle(manager.handle));
  EXPECT_FALSE(pc.kernel.CloseHandle(find.handle));
  EXPECT_FALSE(pc.kernel.CloseHandle(session));
  EXPECT_EQ(pc.services.open_handles.size(), 1u);
  EXPECT_EQ(pc.internet.open_handles(), 1);
  EXPECT_TRUE(pc.files.FindClose(find.handle));
  EXPECT_TRUE(pc.internet.InternetCloseHandle(session));
  EXPECT_EQ(pc.internet.open_handles(), 0);
}

// Both kinds of version query see a resource only while the file keeps the
// bytes it was given to.
TEST(SimPcVersions, RewritingAFileTakesItsResourceAway) {
  sim::SimPc pc;
  pc.versions.Put(L"C:\\a.dll", 1, 2, 3, 4);
  pc.versions.PutStrings(L"C:\\a.dll", 0x0409, 0x04b0, {{"FileVersion", "1, 2, 3, 4"}});
  std::uint32_t handle = 0;
  EXPECT_NE(pc.versions.GetFileVersionInfoSize(L"C:\\a.dll", &handle), 0u);
  EXPECT_NE(pc.versions.GetFileVersionInfoSizeA("C:\\a.dll", &handle), 0u);
  pc.files.Put(L"C:\\a.dll", "MZ new");
  EXPECT_EQ(pc.versions.GetFileVersionInfoSize(L"C:\\a.dll", &handle), 0u);
  EXPECT_EQ(pc.versions.GetFileVersionInfoSizeA("C:\\a.dll", &handle), 0u);
}

}  // namespace
}  // namespace devstart
