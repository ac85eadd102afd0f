// The Windows AutoRun and AutoPlay settings that decide whether the phone's CD
// starts the installer, their check and their repair.
#pragma once

#include "inspect/manager_inspect.h"
#include "platform/machine.h"

namespace devstart {

class COption;

RegistryAccessPair MakeRegistryAccessPair(ISystem& system);

// repair 0: 1 unless the setting is found off. repair 1: 1 when the setting
// was off and the repair value was written.
int CheckWindowAutoRun1(Machine& machine, int repair, const RegistryAccessPair& masks);
int CheckWindowAutoRun2(Machine& machine, int repair, const RegistryAccessPair& masks);
int CheckWindowAutoRun3(Machine& machine, int repair, const RegistryAccessPair& masks);
int CheckWindowAutoRun4(Machine& machine, int repair, const RegistryAccessPair& masks);
int CheckWindowAutoRun5(Machine& machine, int repair, const RegistryAccessPair& masks);
int CheckWindowAutoRun6(Machine& machine, int repair, const RegistryAccessPair& masks);
int CheckWindowAutoRun7(Machine& machine, int repair, const RegistryAccessPair& masks);

int IsWindowAutoRunEnabled(Machine& machine, const RegistryAccessPair& masks);
// Asks whether to switch AutoRun back on; 1 for OK.
int AskActivateAutoRun(Machine& machine);
// Checks, asks and repairs; always 1.
int CheckAndRepairWindowAutoRun(Machine& machine, const COption& option, const RegistryAccessPair& masks);

}  // namespace devstart
