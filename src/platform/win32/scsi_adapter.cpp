// The one call into the SCSI command library. Linked only into the program:
// SendScsiCmd.dll comes with it (import table), and nothing else needs it.
#include "platform/win32/win_api.h"

#include "platform/win32/adapters.h"

// The library's export: undecorated "SendScsiCmd", stdcall (the callee
// removes the five 32-bit arguments).
extern "C" __declspec(dllimport) int WINAPI SendScsiCmd(int drive, int sub_code, int type, unsigned char* data,
                                                        int length);

namespace devstart {

int Win32ScsiLibrary::SendScsiCmd(int drive, int sub_code, int type, std::uint8_t* data, int length) {
  return ::SendScsiCmd(drive, sub_code, type, data, length);
}

}  // namespace devstart
