// The config.ini the CD image carries is what a phone maker edits without the
// source: every key the program reads must be in it, under its section, and
// the default its comment states must be the one the program really takes.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <variant>

#include "core/option.h"
#include "fake/sim_pc.h"

namespace devstart {
namespace {

using Field = std::variant<int COption::*, std::wstring COption::*>;

struct KeyRow {
  const char* section;
  const char* key;
  Field field;
  const char* default_text;  // as the comment states it ("empty" for no text)
  const wchar_t* sample;     // what the program reads from the sample, as text
};

const KeyRow kKeys[] = {
    {"INSTALL_CHECK_TYPE", "driver_chk", &COption::driver_chk, "1", L"1"},
    {"INSTALL_CHECK_TYPE", "itk_chk", &COption::itk_chk, "1", L"1"},
    {"INSTALL_CHECK_TYPE", "user_mode", &COption::user_mode, "0", L"0"},
    {"SYSTEM", "iso_type0", &COption::iso_type0, "0", L"0"},
    {"SYSTEM", "iso_type1", &COption::iso_type1, "0", L"0"},
    {"SYSTEM", "usb_vendor0", &COption::usb_vendor0, "1", L"1"},
    {"SYSTEM", "usb_vendor1", &COption::usb_vendor1, "1", L"1"},
    {"SYSTEM", "auto_run_check", &COption::auto_run_check, "1", L"1"},
    {"SYSTEM", "DEBUG_OPTION", &COption::DEBUG_OPTION, "0", L"0"},
    {"DRIVER", "driver_type", &COption::driver_type, "empty", L"modem"},
    {"DRIVER", "driver_name", &COption::driver_name, "empty", L".\\tools\\DriverSetup.exe"},
    {"DRIVER", "driver_version", &COption::driver_version, "empty", L"1.2.0.4"},
    {"DRIVER", "sciscmd_wait", &COption::sciscmd_wait, "1000", L"1000"},
    {"DRIVER", "sciscmd_send", &COption::sciscmd_send, "1", L"1"},
    {"DRIVER", "driver_uninstall", &COption::driver_uninstall, "empty", L""},
    {"ITK", "itk_type", &COption::itk_type, "0", L"0"},
    {"ITK", "itk_setup", &COption::itk_setup, "empty", L"tools\\VTPSetup.exe"},
    {"ITK", "itk_version", &COption::itk_version, "empty", L"1.0.0.3"},
    {"ITK", "itk_run", &COption::itk_run, "1", L"1"},
    {"ITK", "itk_run_file", &COption::itk_run_file, "empty", L"VTP.exe"},
    {"PCSUITE", "pcsuite_url", &COption::pcsuite_url, "empty", L"http://127.0.0.1:9002/pcsuite"},
    {"PCSUITE", "pcsuite_run_file", &COption::pcsuite_run_file, "empty", L"PCSuite.exe"},
    {"PCSUITE", "pcsuite_version", &COption::pcsuite_version, "empty", L"4.0"},
    {"PCSUITE", "pcsuite_run", &COption::pcsuite_run, "1", L"1"},
    {"PCSUITE", "pcsuite_test", &COption::pcsuite_test, "0", L"0"},
    {"PCSUITE", "pcsuite_test_version", &COption::pcsuite_test_version, "empty", L""},
    {"SWUpdate", "swupdate_file_name", &COption::swupdate_file_name, "empty", L"P4_Updlink.dll"},
    {"SWUpdate", "swupdate_version", &COption::swupdate_version, "empty", L"1.0.0.1"},
    {"FILES", "filecount", &COption::filecount, "0", L"0"},
    {"SERVICE", "svcdel_fname", &COption::svcdel_fname, "empty", L""},
    {"SERVICE", "service_fname", &COption::service_fname, "empty", L"ScsiCmdService.exe"},
    {"SERVICE", "service_run_file", &COption::service_run_file, "empty", L"ScsiCmdService.exe"},
    {"SERVICE", "filecount", &COption::service_filecount, "0", L"1"},
    {"SCSI", "scsi_fname", &COption::scsi_fname, "empty", L"SendScsiCmd.dll"},
};

std::wstring Value(const COption& o, const Field& f) {
  if (auto p = std::get_if<int COption::*>(&f)) return std::to_wstring(o.**p);
  return o.*std::get<std::wstring COption::*>(f);
}

std::string Sample() {
  std::ifstream in(DEVSTART_SAMPLE_CONFIG, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

COption Read(const std::string& ini) {
  sim::SimPc pc;
  pc.files.Put(L".\\config.ini", ini);
  COption o;
  o.Load(CIni(pc.files, L".\\config.ini"));
  return o;
}

// "section/key" -> the default the comment line above the key states.
std::map<std::string, std::string> StatedDefaults(const std::string& ini) {
  std::map<std::string, std::string> stated;
  std::istringstream lines(ini);
  std::string line, section, comment;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line[0] == '[') {
      section = line.substr(1, line.find(']') - 1);
    } else if (line[0] == ';') {
      comment = line;
    } else if (auto eq = line.find('='); eq != std::string::npos) {
      const std::string tag = "(default: ";
      auto at = comment.rfind(tag);
      stated[section + "/" + line.substr(0, eq)] =
          at == std::string::npos || comment.back() != ')' ? "(no comment states it)"
                                                           : comment.substr(at + tag.size(), comment.size() - at - tag.size() - 1);
      comment.clear();
    }
  }
  return stated;
}

TEST(SampleConfig, EveryKeyIsThereWithTheDefaultTheProgramTakes) {
  const std::string ini = Sample();
  ASSERT_FALSE(ini.empty()) << "cannot read " << DEVSTART_SAMPLE_CONFIG;
  const COption read = Read(ini), defaults = Read("");
  std::map<std::string, std::string> stated = StatedDefaults(ini);
  for (const KeyRow& row : kKeys) {
    const std::string name = std::string(row.section) + "/" + row.key;
    std::wstring taken = Value(defaults, row.field);
    EXPECT_EQ(stated.count(name) ? stated[name] : "(missing)", row.default_text) << name;
    // An empty driver_name is still made relative: ".\" is the program's empty.
    if (std::string(row.key) == "driver_name") EXPECT_EQ(taken, L".\\");
    else EXPECT_EQ(taken.empty() ? L"empty" : taken, sim::Widen(row.default_text)) << name;
    EXPECT_EQ(Value(read, row.field), row.sample) << name;
    stated.erase(name);
  }
  for (const auto& [name, value] : stated) ADD_FAILURE() << "the sample has a key the program never reads: " << name;
}

}  // namespace
}  // namespace devstart
