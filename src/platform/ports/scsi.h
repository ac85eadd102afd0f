// The SCSI command library.
#pragma once

#include <cstdint>

#include "platform/results.h"

namespace devstart {

// "SendScsiCmd.dll". `data` points to the caller's reply buffer; the result is
// the number of bytes transferred or a negative code.
class IScsiLibrary {
 public:
  virtual ~IScsiLibrary() = default;
  virtual int SendScsiCmd(int drive, int sub_code, int type, std::uint8_t* data, int length) = 0;
};

}  // namespace devstart
