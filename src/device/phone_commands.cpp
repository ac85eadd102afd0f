#include "device/phone_commands.h"

#include "core/result_codes.h"

namespace devstart {

namespace {

constexpr PhoneFailure kFailures[] = {
    {-1, 0xFF, FAIL_TO_FIND_DRIVE, L"FAIL_TO_FIND_DRIVE"},
    {-2, 0xFE, FAIL_TO_OPEN_DRIVE, L"FAIL_TO_OPEN_DRIVE"},
    {-3, 0xFD, FAIL_TO_SEND_SCSI_CMD, L"FAIL_TO_SEND_SCSI_CMD"},
    {-20, 0xEC, FAIL_TO_OPEN_DRIVE_ACCESS_DENIED, L"FAIL_TO_OPEN_DRIVE_ACCESS_DENIED"},
};

}  // namespace

PhoneSettings DecodeSettingBlock(const std::uint8_t block[3]) {
  PhoneSettings s;
  s.settings_valid = (block[0] >> 6) & 1;
  if (s.settings_valid == 1) {
    s.iso_type0 = block[0] & 1;
    s.iso_type1 = (block[0] >> 1) & 1;
    s.usb_vendor0 = (block[0] >> 2) & 1;
    s.usb_vendor1 = (block[0] >> 3) & 1;
  }
  s.sciscmd_wait = block[1] * 100 + block[2];
  return s;
}

const PhoneFailure* FailureOfScsiResult(int result) {
  for (const PhoneFailure& f : kFailures) {
    if (f.scsi_result == result) return &f;
  }
  return nullptr;
}

const PhoneFailure* FailureOfReplyByte(std::uint8_t first) {
  for (const PhoneFailure& f : kFailures) {
    if (f.reply_byte == first) return &f;
  }
  return nullptr;
}

}  // namespace devstart
