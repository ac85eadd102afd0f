// Stand-in for the maker's authentication DLL: the phone serial, from the
// simulated phone's state file.
#include <windows.h>

#include "phone_state.h"

extern "C" int GetPhoneInfo(char* serial, char*) {
  PhoneState s = ReadPhoneState();
  if (!serial) return 0;
  CopyText(serial, 256, s.authSerial);
  return s.authSerial.empty() ? 0 : 1;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
