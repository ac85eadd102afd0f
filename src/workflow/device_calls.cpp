// CAutoRunManager's device calls: reading the phone's setting block and
// switching its USB mode, directly through the SCSI command library or
// through the SCSI command service.
#include <cstdio>
#include <cstring>

#include "core/text.h"
#include "core/trace_log.h"
#include "device/window_service_manager.h"
#include "device/phone_commands.h"
#include "inspect/os_family.h"
#include "workflow/auto_run_manager.h"
#include "core/result_codes.h"

namespace devstart {

namespace {

constexpr std::size_t kReplySize = 256;

std::wstring Hex(unsigned value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%x", value);
  return Widen(buf);
}

// The drive letter as the library and the service want it: the 8-bit
// character, zero-extended.
int DriveArg(char drive) { return static_cast<unsigned char>(drive); }

std::wstring Request(const wchar_t* verb, char drive) {
  std::wstring r = verb;
  r.push_back(static_cast<wchar_t>(static_cast<unsigned char>(drive)));
  return r;
}

}  // namespace

int CAutoRunManager::ScsiError2AutoRunError(int result) {
  const PhoneFailure* failure = FailureOfScsiResult(result);
  if (failure == nullptr) return FAIL_SCSI_UNKNOWN;
  // The first line has always had its colon in an odd place; support's
  // searches know it so.
  Trace(std::wstring(result == -1 ? L"CAutoRunManager-:ScsiError2AutoRunError>" : L"CAutoRunManager-ScsiError2AutoRunError>") +
        L" GET_SETTING fail " + failure->name);
  return failure->code;
}

WindowServiceManager& CAutoRunManager::GetServiceManager() {
  if (!service_manager_) service_manager_ = std::make_shared<WindowServiceManager>(machine_, option_);
  return *service_manager_;
}

namespace {

// Administrators, and every user of version 6, reach the phone directly; a
// standard user of older systems only through the service.
bool TakesDirectPath(Machine& machine, CAutoRunManager& manager) {
  return manager.IsUserInAdministrators() || IsMajorVersion6(machine.system);
}

}  // namespace

CAutoRunManager::SettingRead CAutoRunManager::GetSetting() {
  Trace(L"CAutoRunManager::GetSetting(+)");
  bool direct = TakesDirectPath(machine_, *this);
  if (option_.sciscmd_send == 0) return {};

  std::uint8_t reply[kReplySize];
  std::memset(reply, 0, sizeof reply);
  if (direct) {
    std::wstring drive = m_cDrive != 0 ? std::wstring(1, static_cast<unsigned char>(m_cDrive)) : L"";
    Trace(L"CAutoRunManager::GetSetting() Run first (drive=" + drive +
          L",SubCode=" + std::to_wstring(kSettingRead.sub_code) + L",type=" + std::to_wstring(kSettingRead.type) +
          L",pData=" + Widen(reinterpret_cast<const char*>(reply)) + L")");
    int r = machine_.scsi.SendScsiCmd(DriveArg(m_cDrive), kSettingRead.sub_code, kSettingRead.type, reply,
                                       kSettingRead.length);
    if (r != kSettingRead.length) {
      Trace(L"CAutoRunManager::GetSetting() fail first");
      return {ScsiError2AutoRunError(r), std::nullopt};
    }
    Trace(L"CAutoRunManager::GetSetting() success first");
  } else {
    std::uint32_t read = 0;
    int r = GetServiceManager().PipeSend(Request(L"GET_SETTING:", m_cDrive), reply, kReplySize, &read);
    if (r != 0) return {r, std::nullopt};
  }
  Trace(L"CAutoRunManager::GetSetting(-)");
  return {0, DecodeSettingBlock(reply)};
}

void CAutoRunManager::ApplyPhoneSettings(const PhoneSettings& s) {
  option_.settings_valid = s.settings_valid;
  if (s.settings_valid == 1) {
    option_.iso_type0 = s.iso_type0;
    option_.iso_type1 = s.iso_type1;
    option_.usb_vendor0 = s.usb_vendor0;
    option_.usb_vendor1 = s.usb_vendor1;
  }
  option_.sciscmd_wait = s.sciscmd_wait;
}

int CAutoRunManager::ModeChange() {
  Trace(L"CAutoRunManager::ModeChange(+)");
  bool direct = TakesDirectPath(machine_, *this);
  if (option_.sciscmd_send == 0) return 0;

  std::uint8_t reply[kReplySize];
  std::memset(reply, 0, sizeof reply);
  if (!direct) {
    std::uint32_t read = 0;
    return GetServiceManager().PipeSend(Request(L"MODE_CHANGE:", m_cDrive), reply, kReplySize, &read);
  }
  int r = machine_.scsi.SendScsiCmd(DriveArg(m_cDrive), kModeChangeFirst.sub_code, kModeChangeFirst.type, reply,
                                     kModeChangeFirst.length);
  if (r == kModeChangeFirst.length) {
    Trace(L"CAutoRunManager::ModeChange() success first");
    Trace(L"CAutoRunManager::ModeChange(-)");
    return 0;
  }
  r = machine_.scsi.SendScsiCmd(DriveArg(m_cDrive), kModeChangeSecond.sub_code, kModeChangeSecond.type, reply,
                                 kModeChangeSecond.length);
  if (r == kModeChangeSecond.length) {
    Trace(L"CAutoRunManager::ModeChange() success Second with (" + Hex(reply[0]) + L")");
    Trace(L"CAutoRunManager::ModeChange(-)");
    return 0;
  }
  Trace(L"CAutoRunManager::ModeChange() return ERROR : " + std::to_wstring(r));
  return ScsiError2AutoRunError(r);
}

}  // namespace devstart
