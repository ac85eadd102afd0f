#include "core/option.h"

#include <cwctype>
#include <limits>

namespace devstart {

namespace {

constexpr std::uint32_t kProfileChunk = 512;
// Numbers and yes/no values are copied into a 64-character buffer first; a
// longer value is outside the file format and is read by its first 63.
constexpr std::size_t kNumberChars = 63;

bool IsCrtSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

// Shared scanner: sign, digits, overflow flag.
struct Scan {
  bool negative = false;
  bool any_digit = false;
  bool overflow = false;
  std::uint64_t value = 0;
};

Scan ScanDecimal(const std::wstring& text, std::uint64_t limit) {
  Scan s;
  std::size_t i = 0;
  while (i < text.size() && IsCrtSpace(text[i])) ++i;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
    s.negative = text[i] == L'-';
    ++i;
  }
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    s.any_digit = true;
    if (!s.overflow) {
      s.value = s.value * 10 + static_cast<std::uint64_t>(text[i] - L'0');
      if (s.value > limit) s.overflow = true;
    }
  }
  return s;
}

std::wstring FirstChars(const std::wstring& text) {
  return text.size() > kNumberChars ? text.substr(0, kNumberChars) : text;
}

}  // namespace

std::uint32_t ParseUnsignedDecimal(const std::wstring& text) {
  Scan s = ScanDecimal(text, 0xFFFFFFFFull);
  if (!s.any_digit) return 0;
  if (s.overflow) return 0xFFFFFFFFu;
  auto v = static_cast<std::uint32_t>(s.value);
  return s.negative ? static_cast<std::uint32_t>(0u - v) : v;
}

std::int32_t ParseSignedDecimal(const std::wstring& text) {
  Scan s = ScanDecimal(text, 0x80000000ull);
  if (!s.any_digit) return 0;
  if (s.negative) {
    if (s.overflow) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(-static_cast<std::int64_t>(s.value));
  }
  if (s.overflow || s.value > 0x7FFFFFFFull) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(s.value);
}

CIni::CIni(IFileSystem& files, std::wstring path) : files_(files), path_(std::move(path)) {}

std::wstring CIni::ReadText(const std::wstring& key, const std::wstring& section) const {
  if (key.empty() || section.empty()) return {};
  std::uint32_t size = kProfileChunk;
  for (;;) {
    ProfileRead r = files_.GetPrivateProfileString(section, key, L"", size, path_);
    // The value was cut when it filled the buffer: try again with more room.
    if (r.returned + 1 < size) return r.text;
    size += kProfileChunk;
  }
}

int CIni::ReadNumber(const std::wstring& key, const std::wstring& section, int default_value) const {
  std::wstring value = FirstChars(ReadText(key, section));
  if (value.empty()) return default_value;
  return static_cast<int>(ParseUnsignedDecimal(value));
}

int CIni::ReadYesNo(const std::wstring& key, const std::wstring& section, int default_value) const {
  std::wstring value = FirstChars(ReadText(key, section));
  if (value.empty()) return default_value;
  std::wstring lower;
  for (wchar_t c : value) lower.push_back(static_cast<wchar_t>(std::towlower(c)));
  if (lower == L"true" || lower == L"yes") return 1;
  return ParseSignedDecimal(value) != 0 ? 1 : 0;
}

COption::COption() = default;

std::wstring NormaliseDriverName(const std::wstring& name) {
  if (!name.empty() && name[0] == L'\\') return L"." + name;
  if (name.empty() || name[0] != L'.') return L".\\" + name;
  return name;
}

void COption::Load(const CIni& ini) {
  driver_chk = ini.ReadYesNo(L"driver_chk", L"INSTALL_CHECK_TYPE", 1);
  itk_chk = ini.ReadYesNo(L"itk_chk", L"INSTALL_CHECK_TYPE", 1);
  user_mode = ini.ReadNumber(L"user_mode", L"INSTALL_CHECK_TYPE", 0);
  iso_type0 = ini.ReadYesNo(L"iso_type0", L"SYSTEM", 0);
  iso_type1 = ini.ReadYesNo(L"iso_type1", L"SYSTEM", 0);
  usb_vendor0 = ini.ReadYesNo(L"usb_vendor0", L"SYSTEM", 1);
  usb_vendor1 = ini.ReadYesNo(L"usb_vendor1", L"SYSTEM", 1);
  auto_run_check = ini.ReadYesNo(L"auto_run_check", L"SYSTEM", 1);
  DEBUG_OPTION = ini.ReadNumber(L"DEBUG_OPTION", L"SYSTEM", 0);
  driver_type = ini.ReadText(L"driver_type", L"DRIVER");
  driver_name = ini.ReadText(L"driver_name", L"DRIVER");
  driver_version = ini.ReadText(L"driver_version", L"DRIVER");
  sciscmd_wait = ini.ReadNumber(L"sciscmd_wait", L"DRIVER", 1000);
  sciscmd_send = ini.ReadYesNo(L"sciscmd_send", L"DRIVER", 1);
  driver_uninstall = ini.ReadText(L"driver_uninstall", L"DRIVER");
  itk_type = ini.ReadNumber(L"itk_type", L"ITK", 0);
  itk_setup = ini.ReadText(L"itk_setup", L"ITK");
  itk_version = ini.ReadText(L"itk_version", L"ITK");
  itk_run = ini.ReadYesNo(L"itk_run", L"ITK", 1);
  itk_run_file = ini.ReadText(L"itk_run_file", L"ITK");
  pcsuite_url = ini.ReadText(L"pcsuite_url", L"PCSUITE");
  pcsuite_run_file = ini.ReadText(L"pcsuite_run_file", L"PCSUITE");
  pcsuite_version = ini.ReadText(L"pcsuite_version", L"PCSUITE");
  pcsuite_run = ini.ReadYesNo(L"pcsuite_run", L"PCSUITE", 1);
  pcsuite_test = ini.ReadYesNo(L"pcsuite_test", L"PCSUITE", 0);
  pcsuite_test_version = ini.ReadText(L"pcsuite_test_version", L"PCSUITE");
  swupdate_file_name = ini.ReadText(L"swupdate_file_name", L"SWUpdate");
  swupdate_version = ini.ReadText(L"swupdate_version", L"SWUpdate");
  filecount = ini.ReadNumber(L"filecount", L"FILES", 0);
  svcdel_fname = ini.ReadText(L"svcdel_fname", L"SERVICE");
  service_fname = ini.ReadText(L"service_fname", L"SERVICE");
  service_run_file = ini.ReadText(L"service_run_file", L"SERVICE");
  service_filecount = ini.ReadNumber(L"filecount", L"SERVICE", 0);
  scsi_fname = ini.ReadText(L"scsi_fname", L"SCSI");
  driver_name = NormaliseDriverName(driver_name);
}

int COption::IsPCSuiteMode() const {
  switch (user_mode) {
    case 2: return 1;
    case 1: case 3: case 4: return 0;
    default: return (iso_type0 == 0 && iso_type1 == 0) ? 1 : 0;
  }
}

int COption::IsITKMode() const {
  switch (user_mode) {
    case 3: return 1;
    case 1: case 2: case 4: return 0;
    default: return (iso_type0 == 1 && iso_type1 == 0) ? 1 : 0;
  }
}

void COption::ApplySwitches(bool no_send, bool run_itk) {
  if (no_send) sciscmd_send = 0;
  iso_type0 = run_itk ? 1 : 0;
  iso_type1 = 0;
}

}  // namespace devstart
