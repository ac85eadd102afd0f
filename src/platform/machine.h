// Every port of the machine the program runs on, in one place: the Win32
// entry point fills it with adapters, tests with the simulated PC. A null
// port is one this build or this test does not provide.
#pragma once

#include "platform/ports.h"
#include "platform/ports_device.h"
#include "platform/ports_inspect.h"

namespace devstart {

struct Machine {
  ISystem* system = nullptr;
  IFiles* files = nullptr;
  IProfile* profile = nullptr;
  ISync* sync = nullptr;
  IWindows* windows = nullptr;
  IStringResources* strings = nullptr;
  // Inspection and process control.
  IRegistry* registry = nullptr;
  IVersionInfo* version_info = nullptr;
  IProcesses* processes = nullptr;
  IWindowSearch* window_search = nullptr;
  INativeSystem* native_system = nullptr;
  // Device channel, account checks and the staging folder.
  IScsiLibrary* scsi = nullptr;
  IServiceControl* services = nullptr;
  INamedPipes* pipes = nullptr;
  ISecurity* security = nullptr;
  IFileSystem* file_system = nullptr;
  IClock* clock = nullptr;
};

}  // namespace devstart
