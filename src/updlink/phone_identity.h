// The phone behind the identity DLLs: its serial, model and software.
#pragma once

#include <initializer_list>
#include <string>

#include "platform/machine.h"

namespace updlink {

struct PhoneFunctionTable {
  void* slot[32];
};
// The string object handed to slots 5 and 8 for the phone DLL to fill.
struct PhoneString {
  char text[256];
};
using A123Fn = int (*)(PhoneFunctionTable*);
using GetPhoneInfoFn = int (*)(char*, char*);

class PhoneIdentity {
 public:
  explicit PhoneIdentity(devstart::Machine& m) : m_(m) {}
  struct Serial { std::string serial; bool phoneFound = false; };
  Serial ReadSerial();
  struct Identity { bool phoneFound = false; std::string serial, model, software; };
  Identity ReadIdentity();

 private:
  bool FillTable(PhoneFunctionTable* table, std::initializer_list<int> required);
  std::string InCurrentDirectory(const char* file);
  devstart::Handle Load(const char* file);
  devstart::Machine& m_;
};

}  // namespace updlink
