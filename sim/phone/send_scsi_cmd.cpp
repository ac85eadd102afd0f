// SendScsiCmd.dll in front of the simulated phone. The one export:
//   int __stdcall SendScsiCmd(int drive, int SubCode, int type,
//                             unsigned char* pData, int length)
// exported undecorated ("SendScsiCmd", see SendScsiCmd.def). The result is
// the number of bytes transferred, or a negative code (-1 drive not found,
// -2 drive cannot be opened, -3 command not sent, -20 access denied). The
// phone's state, injected results and the call log are in the state file.
#include "phone_state_file.h"

extern "C" int WINAPI SendScsiCmd(int drive, int sub_code, int type, unsigned char* data,
                                                        int length) {
  int result = -2;  // the phone cannot be reached when its state cannot
  simphone::WithPhoneState([&](simphone::PhoneModel& phone) {
    unsigned char scratch[256] = {};
    result = phone.Send(drive, sub_code, type, data != nullptr ? data : scratch, length);
  });
  return result;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
