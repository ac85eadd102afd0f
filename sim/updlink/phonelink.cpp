// Stand-in for the maker's phone link DLL: fills the function table the
// update library uses, answering from the simulated phone's state file.
#include <windows.h>

#include "phone_state.h"

namespace {

struct PhoneString { char text[256]; };

int Count() { return ReadPhoneState().count; }
int Model(char* buffer, int size, int) {
  PhoneState s = ReadPhoneState();
  if (s.count < 1 || size <= 0) return 0;
  CopyText(buffer, static_cast<std::size_t>(size), s.model);
  return 1;
}
int Serial(PhoneString* out) {
  PhoneState s = ReadPhoneState();
  if (s.count < 1 || s.serial.empty()) return 0;
  CopyText(out->text, sizeof out->text, s.serial);
  return 1;
}
int Software(PhoneString* out) {
  PhoneState s = ReadPhoneState();
  if (s.count < 1 || s.software.empty()) return 0;
  CopyText(out->text, sizeof out->text, s.software);
  return 1;
}
void Prepare() {}
void Connect(int, int) {}

}  // namespace

extern "C" int _A123(void** table) {
  if (!table) return 0;
  table[0] = reinterpret_cast<void*>(&Count);
  table[1] = reinterpret_cast<void*>(&Model);
  table[5] = reinterpret_cast<void*>(&Serial);
  table[8] = reinterpret_cast<void*>(&Software);
  table[11] = reinterpret_cast<void*>(&Prepare);
  table[12] = reinterpret_cast<void*>(&Connect);
  return 1;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
