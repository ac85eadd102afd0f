#include <gtest/gtest.h>

#include "core/option.h"
#include "fake/sim_pc.h"

namespace devstart {
namespace {

COption LoadFrom(sim::SimPc& pc, const std::string& ini) {
  pc.files.Put(L".\\config.ini", ini);
  COption o;
  o.Load(CIni(pc.files, L".\\config.ini"));
  return o;
}

TEST(Options, MissingFileGivesEveryDefault) {
  sim::SimPc pc;
  COption o;
  o.Load(CIni(pc.files, L".\\config.ini"));
  EXPECT_EQ(o.driver_chk, 1);
  EXPECT_EQ(o.user_mode, 0);
  EXPECT_EQ(o.usb_vendor0, 1);
  EXPECT_EQ(o.auto_run_check, 1);
  EXPECT_EQ(o.sciscmd_wait, 1000);
  EXPECT_EQ(o.sciscmd_send, 1);
  EXPECT_EQ(o.itk_run, 1);
  EXPECT_EQ(o.pcsuite_run, 1);
  EXPECT_EQ(o.pcsuite_test, 0);
  EXPECT_EQ(o.driver_name, L".\\");
  EXPECT_TRUE(o.itk_setup.empty());
}

TEST(Options, ReadsEachSectionIntoItsField) {
  sim::SimPc pc;
  COption o = LoadFrom(pc,
                       "[INSTALL_CHECK_TYPE]\nuser_mode=4\n[SYSTEM]\nDEBUG_OPTION=1\n[ITK]\nitk_type=1\n"
                       "itk_setup=tools\\ITK.exe\n[SERVICE]\nfilecount=3\nservice_fname=svc.exe\n[FILES]\n"
                       "filecount=9\n[SCSI]\nscsi_fname=SendScsiCmd.dll\n[SWUpdate]\nswupdate_file_name=P4_Updlink.dll\n");
  EXPECT_EQ(o.user_mode, 4);
  EXPECT_EQ(o.DEBUG_OPTION, 1);
  EXPECT_EQ(o.itk_type, 1);
  EXPECT_EQ(o.itk_setup, L"tools\\ITK.exe");
  EXPECT_EQ(o.service_filecount, 3);
  EXPECT_EQ(o.filecount, 9);
  EXPECT_EQ(o.service_fname, L"svc.exe");
  EXPECT_EQ(o.scsi_fname, L"SendScsiCmd.dll");
  EXPECT_EQ(o.swupdate_file_name, L"P4_Updlink.dll");
}

struct DriverNameCase {
  std::wstring raw, normalised;
};
TEST(Options, DriverNameIsMadeRelativeToTheCurrentDirectory) {
  const DriverNameCase cases[] = {{L"tools\\Setup.exe", L".\\tools\\Setup.exe"},
                                  {L"\\tools\\Setup.exe", L".\\tools\\Setup.exe"},
                                  {L".\\Setup.exe", L".\\Setup.exe"},
                                  {L"..\\Setup.exe", L"..\\Setup.exe"},
                                  {L"", L".\\"}};
  for (const auto& c : cases) EXPECT_EQ(NormaliseDriverName(c.raw), c.normalised) << sim::Utf8(c.raw);
}

struct ValueCase {
  const char* value;
  int number;   // as ReadNumber with default 1000
  int yes_no;   // as ReadYesNo with default 1
};
TEST(Options, NumbersAndYesNoReadLikeTheRuntime) {
  const ValueCase cases[] = {
      {"250ms", 250, 1},   {"Yes", 0, 1},     {"TRUE", 0, 1},       {"true", 0, 1},       {"2", 2, 1},
      {"off", 0, 0},       {"no", 0, 0},      {"false", 0, 0},      {"0", 0, 0},          {"  42", 42, 1},
      {"-5", -5, 1},       {"+7", 7, 1},      {"abc", 0, 0},        {"4294967295", -1, 1}, {"99999999999", -1, 1},
      {"", 1000, 1},       {"0x10", 0, 0},
  };
  for (const auto& c : cases) {
    sim::SimPc pc;
    pc.files.Put(L".\\config.ini", std::string("[DRIVER]\nv=") + c.value + "\n");
    CIni ini(pc.files, L".\\config.ini");
    EXPECT_EQ(ini.ReadNumber(L"v", L"DRIVER", 1000), c.number) << c.value;
    EXPECT_EQ(ini.ReadYesNo(L"v", L"DRIVER", 1), c.yes_no) << c.value;
  }
}

TEST(Options, OverlongNumbersAreReadByTheirFirst63Characters) {
  sim::SimPc pc;
  // 63 zeros then a 7: the 7 is the 64th character and is not read.
  std::string zeros(63, '0');
  pc.files.Put(L".\\config.ini", "[A]\nn=" + zeros + "7\ny=" + zeros + "1\nz=" + std::string(62, '0') + "1\n");
  CIni ini(pc.files, L".\\config.ini");
  EXPECT_EQ(ini.ReadNumber(L"n", L"A", 5), 0);
  EXPECT_EQ(ini.ReadYesNo(L"y", L"A", 1), 0);
  EXPECT_EQ(ini.ReadYesNo(L"z", L"A", 0), 1);
}

TEST(Options, ValuesLongerThanOneBufferAreReadWhole) {
  sim::SimPc pc;
  std::string url(1500, 'u');
  COption o = LoadFrom(pc, "[PCSUITE]\npcsuite_url=" + url + "\n");
  EXPECT_EQ(o.pcsuite_url.size(), 1500u);
  // 512, then 1024, then 1536 characters were asked for.
  std::vector<std::uint32_t> asked;
  for (auto s : pc.files.profile_sizes_asked) {
    if (s > 512) asked.push_back(s);
  }
  EXPECT_EQ(asked, (std::vector<std::uint32_t>{1024, 1536}));
}

TEST(Options, AValueOfExactly511CharactersNeedsASecondRead) {
  sim::SimPc pc;
  COption o = LoadFrom(pc, "[PCSUITE]\npcsuite_url=" + std::string(511, 'a') + "\n");
  EXPECT_EQ(o.pcsuite_url.size(), 511u);
}

struct ModeCase {
  int user_mode, iso0, iso1, pc_suite, itk;
};
TEST(Options, ModeTestsForEveryUserMode) {
  const ModeCase cases[] = {
      {0, 0, 0, 1, 0}, {0, 1, 0, 0, 1}, {0, 0, 1, 0, 0}, {0, 1, 1, 0, 0}, {1, 0, 0, 0, 0}, {1, 1, 0, 0, 0},
      {2, 0, 0, 1, 0}, {2, 1, 1, 1, 0}, {3, 0, 0, 0, 1}, {3, 1, 1, 0, 1}, {4, 0, 0, 0, 0}, {4, 1, 0, 0, 0},
      {7, 1, 0, 0, 1}, {7, 1, 1, 0, 0}, {7, 0, 0, 1, 0}, {-1, 0, 1, 0, 0},
  };
  for (const auto& c : cases) {
    COption o;
    o.user_mode = c.user_mode;
    o.iso_type0 = c.iso0;
    o.iso_type1 = c.iso1;
    EXPECT_EQ(o.IsPCSuiteMode(), c.pc_suite) << c.user_mode << " " << c.iso0 << c.iso1;
    EXPECT_EQ(o.IsITKMode(), c.itk) << c.user_mode << " " << c.iso0 << c.iso1;
  }
}

}  // namespace
}  // namespace devstart
