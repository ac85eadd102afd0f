// What the phone understands over SCSI and what its answers mean, shared by
// the direct path (the SCSI command library) and the service's pipe.
#pragma once

#include <cstdint>

namespace devstart {

// One call of the SCSI command library: SubCode, type, bytes to transfer.
struct ScsiCall {
  int sub_code;
  int type;
  int length;
};
constexpr ScsiCall kSettingRead{2, 32, 3};
constexpr ScsiCall kModeChangeFirst{1, 1, 0};
constexpr ScsiCall kModeChangeSecond{1, 129, 1};

// The phone's 3-byte setting block: bit 6 of the first byte says whether its
// mode bits (0 to 3) mean anything; the other two bytes give the wait after a
// mode change, in hundreds and units of milliseconds.
struct PhoneSettings {
  int settings_valid = 0;
  int iso_type0 = 0;
  int iso_type1 = 0;
  int usb_vendor0 = 0;
  int usb_vendor1 = 0;
  int sciscmd_wait = 0;
};
PhoneSettings DecodeSettingBlock(const std::uint8_t block[3]);

// A failure of the phone as the library reports it (a negative result) and
// as the service's reply byte carries it, with its autorun code.
struct PhoneFailure {
  int scsi_result;
  std::uint8_t reply_byte;
  int code;
  const wchar_t* name;
};
// nullptr for a value that names no known failure (FAIL_SCSI_UNKNOWN).
const PhoneFailure* FailureOfScsiResult(int result);
const PhoneFailure* FailureOfReplyByte(std::uint8_t first);

}  // namespace devstart
