// The option record: every decision of the installer that is not fixed in
// code. Filled once from config.ini beside the program, then overridden by the
// command line and by the phone's setting block.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ports.h"

namespace devstart {

// Reads one ini file through the private-profile functions.
class CIni {
 public:
  CIni(IFileSystem& files, std::wstring path);
  virtual ~CIni() = default;

  std::wstring ReadText(const std::wstring& key, const std::wstring& section) const;
  int ReadNumber(const std::wstring& key, const std::wstring& section, int default_value) const;
  int ReadYesNo(const std::wstring& key, const std::wstring& section, int default_value) const;

 private:
  IFileSystem& files_;
  std::wstring path_;
};

// wcstoul / wcstol as the 32-bit Windows runtime does them: leading white
// space, an optional sign, decimal digits up to the first non-digit; no digits
// give 0. Kept here so every platform reads config.ini alike.
std::uint32_t ParseUnsignedDecimal(const std::wstring& text);
std::int32_t ParseSignedDecimal(const std::wstring& text);

class COption {
 public:
  COption();
  virtual ~COption() = default;

  // Reads every key from the ini file, in the file's documented order.
  void Load(const CIni& ini);

  int IsPCSuiteMode() const;
  int IsITKMode() const;

  // Command-line overrides shared by start-up and the "-debug" local run.
  void ApplySwitches(bool no_send, bool run_itk);

  // [INSTALL_CHECK_TYPE]
  int driver_chk = 1;
  int itk_chk = 1;
  int user_mode = 0;
  // [SYSTEM]
  int iso_type0 = 0;
  int iso_type1 = 0;
  int usb_vendor0 = 1;
  int usb_vendor1 = 1;
  int auto_run_check = 1;
  int DEBUG_OPTION = 0;
  // [DRIVER]
  std::wstring driver_type;
  std::wstring driver_name;
  std::wstring driver_version;
  int sciscmd_wait = 1000;
  int sciscmd_send = 1;
  std::wstring driver_uninstall;
  // [ITK]
  int itk_type = 0;
  std::wstring itk_setup;
  std::wstring itk_version;
  int itk_run = 1;
  std::wstring itk_run_file;
  // [PCSUITE]
  std::wstring pcsuite_url;
  std::wstring pcsuite_run_file;
  std::wstring pcsuite_version;
  int pcsuite_run = 1;
  int pcsuite_test = 0;
  std::wstring pcsuite_test_version;
  // [SWUpdate]
  std::wstring swupdate_file_name;
  std::wstring swupdate_version;
  // [FILES]
  int filecount = 0;
  // [SERVICE]
  std::wstring svcdel_fname;
  std::wstring service_fname;
  std::wstring service_run_file;
  int service_filecount = 0;
  // [SCSI]
  std::wstring scsi_fname;
  // Set only from the phone's setting block (CAutoRunManager::ApplyPhoneSettings).
  int settings_valid = 0;
};

// Makes `driver_name` relative to the current directory.
std::wstring NormaliseDriverName(const std::wstring& name);

}  // namespace devstart
