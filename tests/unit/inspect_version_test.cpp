#include <gtest/gtest.h>

#include "inspect/driver_check.h"
#include "inspect/version.h"
#include "unit/traced_pc.h"
#include "workflow/auto_run_manager.h"

namespace devstart {
namespace {

TEST(CompareVersion, FoundAgainstRequired) {
  struct Case {
    const wchar_t* found;
    const wchar_t* required;
    int current;
  };
  const Case cases[] = {
      {L"1.0.0.5", L"1.0.0.6", 0},
      {L"1.0.0.6", L"1.0.0.5", 1},
      {L"10.0.0.0", L"9.9.9.9", 1},
      {L"1.0.0.0", L"1.0", 1},
      {L"1.0", L"1.0.0.0", 1},
      // A found version that runs out compares its missing parts as 0.
      {L"1.0", L"1.0.0.1", 0},
      {L"2", L"2.0.0.1", 0},
      {L"2", L"1.9", 1},
      // No version recorded at all: the product counts as current.
      {L"", L"3.0.0.0", 1},
      {L"...", L"3.0", 1},
      {L" 2.1", L"2.1 ", 1},
      {L"2. 1", L"2.1", 1},
      {L"4.2a", L"4.2", 1},
      {L"4.2a", L"4.3", 0},
      {L"x.5", L"0.5", 1},
      {L"1..2", L"1.2", 1},
      {L"1..2", L"1.3", 0},
      {L".1.2", L"1.2", 1},
      {L"1.2", L"", 1},
      {L"0.0.0.0", L"0.0.0.0", 1},
      {L"0.0.0.0", L"0.0.0.1", 0},
      {L"65535.1", L"65535.2", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CAutoRunManager::CompareVersion(c.found, c.required), c.current)
        << sim::Utf8(c.found) << " vs " << sim::Utf8(c.required);
  }
}

class Inspect : public ::testing::Test, public TracedPc {
 protected:
  COption option;
};

TEST_F(Inspect, ReadFixedFileInfoNeedsAVersionResource) {
  pc.versions.Put(L"C:\\a.dll", 2, 5, 0, 12);
  FixedFileInfo info;
  EXPECT_EQ(ReadFixedFileInfo(pc.versions, L"C:\\a.dll", &info), 1);
  EXPECT_EQ(FileVersionText(info), L"2.5.0.12");
  EXPECT_EQ(ReadFixedFileInfo(pc.versions, L"C:\\b.dll", &info), 0);
}

TEST_F(Inspect, ItkVersionCurrentByItkType) {
  auto& reg = pc.registry;
  reg.PutString(L"HKLM\\SOFTWARE\\Wow6432Node\\Tavo Electronics\\Tavo Internet Kit\\1.0", L"Version", L"2.0");
  reg.PutString(
      L"HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{34A0FF07-F11A-4157-84A3-92F8AD688CBF}",
      L"DisplayVersion", L"1.5");
  struct Case {
    int itk_type;
    const wchar_t* required;
    int current;
  };
  const Case cases[] = {{1, L"2.0.0.0", 1}, {1, L"2.0.0.1", 0}, {0, L"1.5", 1}, {0, L"1.6", 0}, {2, L"1.4.9", 1}};
  for (const Case& c : cases) {
    option.itk_type = c.itk_type;
    option.itk_version = c.required;
    CAutoRunManager manager(machine, option);
    EXPECT_EQ(manager.IsITKVersionCurrent(), c.current) << c.itk_type << " " << sim::Utf8(c.required);
  }
}

const std::wstring kA = L"C:\\Program Files (x86)\\Tavo Electronics\\Tavo USB Modem Drivers\\";
const std::wstring kB = L"C:\\Program Files (x86)\\Tavo Electronics\\Tavo USB Modem Driver\\";
const wchar_t* const kX86[] = {L"tavousbmodem.sys", L"tavousbbus.sys", L"tavousbdiag.sys"};
const wchar_t* const kX64[] = {L"tavox64modem.sys", L"tavox64bus.sys", L"tavox64diag.sys"};

TEST_F(Inspect, DriverFilesByFolderAndArchitecture) {
  struct Case {
    const char* what;
    std::optional<std::uint16_t> native;  // nullopt: GetNativeSystemInfo missing
    std::uint16_t system_info;
    std::vector<std::wstring> files;
    int installed;
    std::vector<std::wstring> lines;
  };
  const std::wstring T = L"Checker::ExistDriverFiles() return TRUE";
  const std::wstring F = L"Checker::ExistDriverFiles() return FALSE";
  const std::wstring FT = L"Checker::CheckDriverInstall_File() return TRUE";
  const std::wstring FF = L"Checker::CheckDriverInstall_File() return FALSE";
  const std::wstring MT = L"CAutoRunManager::CheckDriverInstall() return TRUE";
  const std::wstring MF = L"CAutoRunManager::CheckDriverInstall() return FALSE";
  const Case cases[] = {
      {"x86, folder A full", win::kProcessorArchitectureIntel, 0,
       {kA + kX86[0], kA + kX86[1], kA + kX86[2]}, 1, {T, F, FT, MT}},
      {"x86, folder B full", win::kProcessorArchitectureIntel, 0,
       {kB + kX86[0], kB + kX86[1], kB + kX86[2]}, 1, {F, T, FT, MT}},
      {"x86, only the modem file", win::kProcessorArchitectureIntel, 0, {kA + kX86[0]}, 0, {F, F, FF, MF}},
      {"x86, files split over A and B", win::kProcessorArchitectureIntel, 0,
       {kA + kX86[0], kA + kX86[1], kB + kX86[2]}, 0, {F, F, FF, MF}},
      {"AMD64 ignores x86 names", win::kProcessorArchitectureAmd64, 0,
       {kA + kX86[0], kA + kX86[1], kA + kX86[2]}, 0, {F, F, FF, MF}},
      {"AMD64 with x64 names", win::kProcessorArchitectureAmd64, 0,
       {kA + kX64[0], kA + kX64[1], kA + kX64[2]}, 1, {T, F, FT, MT}},
      {"Itanium counts as x86", win::kProcessorArchitectureIa64, 0,
       {kB + kX86[0], kB + kX86[1], kB + kX86[2]}, 1, {F, T, FT, MT}},
      {"no GetNativeSystemInfo: GetSystemInfo", std::nullopt, win::kProcessorArchitectureAmd64,
       {kA + kX64[0], kA + kX64[1], kA + kX64[2]}, 1, {T, F, FT, MT}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TracedPc local;
    local.pc.system.native_architecture = c.native;
    local.pc.system.system_info_architecture = c.system_info;
    for (const auto& f : c.files) local.pc.files.Put(f, "driver");
    CAutoRunManager manager(local.machine, option);
    EXPECT_EQ(manager.CheckDriverInstall(), c.installed);
    EXPECT_EQ(local.pc.TraceLines(), c.lines);
  }
}

TEST_F(Inspect, FailedVersionReadCountsAsX86AndMissingProgramFilesUsesTheSuffix) {
  pc.system.version.reset();
  pc.system.native_architecture = win::kProcessorArchitectureAmd64;
  EXPECT_EQ(IsX86System(machine), 1);
  pc.files.special_folders.erase(win::kCsidlProgramFiles);
  EXPECT_EQ(DriverFolderPrimary(machine), L"\\Tavo Electronics\\Tavo USB Modem Drivers\\");
  EXPECT_EQ(DriverFolderSecondary(machine), L"\\Tavo Electronics\\Tavo USB Modem Driver\\");
}

TEST_F(Inspect, InstalledDriverVersionChain) {
  const std::wstring u = L"HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  struct Case {
    const char* what;
    std::uint16_t arch;
    std::vector<std::pair<std::wstring, std::uint16_t>> versions;  // file, last component
    std::vector<std::pair<std::wstring, std::wstring>> uninstall;  // code, DisplayVersion
    std::wstring installed;
    std::size_t registry_reads;
  };
  const Case cases[] = {
      {"folder A file version", win::kProcessorArchitectureIntel, {{kA + kX86[0], 12}, {kB + kX86[0], 13}},
       {{L"{FA02ACAC-9E14-4878-A257-92A22A647C2C}", L"9.9"}}, L"2.5.0.12", 0},
      {"folder B when A has none", win::kProcessorArchitectureIntel, {{kB + kX86[0], 13}}, {}, L"2.5.0.13", 0},
      {"x64 name on AMD64", win::kProcessorArchitectureAmd64, {{kA + kX86[0], 1}, {kA + kX64[0], 2}}, {}, L"2.5.0.2", 0},
      {"first uninstall code", win::kProcessorArchitectureIntel, {},
       {{L"{FA02ACAC-9E14-4878-A257-92A22A647C2C}", L"3.1"}, {L"{C3ABE126-2BB2-4246-BFE1-6797679B3579}", L"3.2"}},
       L"3.1", 1},
      {"third uninstall code", win::kProcessorArchitectureIntel, {},
       {{L"{E1640DA5-89B4-4F52-B15D-5DA3D14F29D4}", L"3.3"}}, L"3.3", 3},
      {"nothing answers", win::kProcessorArchitectureIntel, {}, {}, L"0.0.0.0", 3},
      {"empty DisplayVersion goes on", win::kProcessorArchitectureIntel, {},
       {{L"{FA02ACAC-9E14-4878-A257-92A22A647C2C}", L""}, {L"{C3ABE126-2BB2-4246-BFE1-6797679B3579}", L"4.0"}}, L"4.0", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::SimPc local;
    Machine m = local.machine();
    local.system.native_architecture = c.arch;
    for (const auto& v : c.versions) {
      local.files.Put(v.first, "driver");
      local.versions.Put(v.first, 2, 5, 0, v.second);
    }
    for (const auto& e : c.uninstall) local.registry.PutString(u + e.first, L"DisplayVersion", e.second);
    CAutoRunManager manager(m, option);
    EXPECT_EQ(manager.GetInstalledDriverVersion(), c.installed);
    EXPECT_EQ(local.registry.opens.size(), c.registry_reads);
    for (const auto& o : local.registry.opens) EXPECT_EQ(o.sam, 0x20219u);
  }
}

TEST_F(Inspect, DriverVersionCurrentAgainstConfiguration) {
  struct Case {
    const wchar_t* required;
    int current;
  };
  const Case cases[] = {{L"0.0.0.0", 1}, {L"0.0.0.1", 0}, {L"", 1}};
  for (const Case& c : cases) {
    option.driver_version = c.required;
    CAutoRunManager manager(machine, option);
    EXPECT_EQ(manager.IsDriverVersionCurrent(), c.current);
  }
  pc.files.Put(kA + L"tavox64modem.sys", "driver");
  pc.versions.Put(kA + L"tavox64modem.sys", 1, 0, 0, 0);
  option.driver_version = L"1.0.0.1";
  CAutoRunManager manager(machine, option);
  EXPECT_EQ(manager.IsDriverVersionCurrent(), 0);
  option.driver_version = L"1.0";
  EXPECT_EQ(manager.IsDriverVersionCurrent(), 1);
}

}  // namespace
}  // namespace devstart
