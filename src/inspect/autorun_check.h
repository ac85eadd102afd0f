// The Windows AutoRun and AutoPlay settings that decide whether the phone's CD
// starts the installer: each check, and its repair when asked to.
#pragma once

#include <cstdint>

#include "platform/machine.h"

namespace devstart {

// The process-wide pair of registry access masks of the AutoRun settings.
struct RegistryAccessPair {
  std::uint32_t write = 0;
  std::uint32_t read = 0;
};

RegistryAccessPair MakeRegistryAccessPair(ISystemInfo& system);

// repair 0: 1 unless the setting is found off. repair 1: 1 when the setting
// was off and the repair value was written. The checks keep the numbers
// support knows them by (the trace names them so); what each one checks:
// the CD-ROM driver's own AutoRun switch.
int CheckWindowAutoRun1(Machine& machine, int repair, const RegistryAccessPair& masks);
// The machine's policy against AutoRun on CD-ROM drives (falls back to 3).
int CheckWindowAutoRun2(Machine& machine, int repair, const RegistryAccessPair& masks);
// The user's policy against AutoRun on CD-ROM drives.
int CheckWindowAutoRun3(Machine& machine, int repair, const RegistryAccessPair& masks);
// The Shell Hardware Detection service that plays AutoRun, disabled.
int CheckWindowAutoRun4(Machine& machine, int repair, const RegistryAccessPair& masks);
// The user's AutoPlay switched off altogether (Vista and later).
int CheckWindowAutoRun5(Machine& machine, int repair, const RegistryAccessPair& masks);
// The default AutoPlay choice for a CD with an autorun.inf.
int CheckWindowAutoRun6(Machine& machine, int repair, const RegistryAccessPair& masks);
// The user's own AutoPlay choice for a CD with an autorun.inf.
int CheckWindowAutoRun7(Machine& machine, int repair, const RegistryAccessPair& masks);

int IsWindowAutoRunEnabled(Machine& machine, const RegistryAccessPair& masks);

}  // namespace devstart

namespace devstart {

// The PC suite's own wish to be started when the phone is connected: 0 only
// when its setting "RunWhenPhoneConnect" is a REG_DWORD 0, else 1. Read with
// the read mask of `masks`; the key is created when missing.
int IsRunWhenPhoneConnect(Machine& machine, const RegistryAccessPair& masks);

}  // namespace devstart
