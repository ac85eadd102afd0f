#include "updlink/phone_identity.h"

namespace updlink {

// Both DLLs are loaded from the current directory and from nowhere else: it
// is where the library's own update puts the newer Phonelink.dll, where the
// sync software keeps them beside itself when it calls in, and the folder the
// installer makes current before its hand-off. A plain name would also search
// the caller's folder, the system folders and PATH, and load whatever is
// found there first.
std::string PhoneIdentity::InCurrentDirectory(const char* file) {
  std::string dir = m_.files.GetCurrentDirectoryA();
  if (dir.empty()) return "";
  return dir.back() == '\\' ? dir + file : dir + "\\" + file;
}

devstart::Handle PhoneIdentity::Load(const char* file) {
  std::string path = InCurrentDirectory(file);
  return path.empty() ? 0 : m_.modules.LoadLibraryA(path);
}

bool PhoneIdentity::FillTable(PhoneFunctionTable* table, std::initializer_list<int> required) {
  *table = PhoneFunctionTable{};
  devstart::Handle dll = Load("Phonelink.dll");
  if (!dll) return false;
  auto fill = reinterpret_cast<A123Fn>(m_.modules.GetProcAddress(dll, "_A123"));
  if (!fill || !fill(table)) return false;
  for (int slot : required)
    if (!table->slot[slot]) return false;
  return table->slot[0] && table->slot[12];
}

PhoneIdentity::Serial PhoneIdentity::ReadSerial() {
  Serial out;
  PhoneFunctionTable t;
  if (FillTable(&t, {5, 11})) {
    reinterpret_cast<void (*)(int, int)>(t.slot[12])(115200, 400);
    if (reinterpret_cast<int (*)()>(t.slot[0])() < 1) return out;  // no phone: no fallback either
    out.phoneFound = true;
    m_.system.Sleep(100);
    reinterpret_cast<void (*)()>(t.slot[11])();
    PhoneString s{};
    if (reinterpret_cast<int (*)(PhoneString*)>(t.slot[5])(&s)) {
      s.text[sizeof s.text - 1] = '\0';
      out.serial = s.text;
    }
  }
  if (out.serial.empty()) {
    devstart::Handle auth = Load("AuthDll.dll");
    auto info = auth ? reinterpret_cast<GetPhoneInfoFn>(m_.modules.GetProcAddress(auth, "GetPhoneInfo")) : nullptr;
    if (info) {
      char first[256] = {}, second[256] = {};
      info(first, second);
      first[255] = '\0';
      out.serial = first;
    }
  }
  return out;
}

PhoneIdentity::Identity PhoneIdentity::ReadIdentity() {
  Identity out;
  PhoneFunctionTable t;
  if (!FillTable(&t, {1, 5, 8, 11})) return out;
  reinterpret_cast<void (*)(int, int)>(t.slot[12])(115200, 400);
  int count = reinterpret_cast<int (*)()>(t.slot[0])();
  if (count < 1) return out;
  out.phoneFound = true;
  m_.system.Sleep(100);
  reinterpret_cast<void (*)()>(t.slot[11])();
  PhoneString s{};
  if (reinterpret_cast<int (*)(PhoneString*)>(t.slot[5])(&s)) { s.text[255] = '\0'; out.serial = s.text; }
  PhoneString v{};
  if (reinterpret_cast<int (*)(PhoneString*)>(t.slot[8])(&v)) { v.text[255] = '\0'; out.software = v.text; }
  if (count == 1) {
    char model[256] = {};
    if (reinterpret_cast<int (*)(char*, int, int)>(t.slot[1])(model, 256, count)) {
      model[255] = '\0';
      for (const char* c = model; *c; ++c)
        if (*c != '-') out.model.push_back(*c);
    }
  }
  return out;
}

}  // namespace updlink
