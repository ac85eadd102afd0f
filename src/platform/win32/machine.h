// The real machine: one Win32 adapter of each port, wired once, for the
// program, the Win32 contract environment and the Windows-side probes.
#pragma once

#include <cstdio>
#include <cstdlib>

#include "platform/machine.h"
#include "platform/win32/adapters.h"

namespace devstart {

class Win32Machine {
 public:
  // Only the program imports SendScsiCmd.dll (its adapter is linked into the
  // program alone), so the program hands its adapter in. Every other
  // executable has no SCSI command library: a call there is a bug, and ends
  // the process rather than answer something the library never said.
  explicit Win32Machine(IScsiLibrary& scsi) : scsi_(scsi) {}
  Win32Machine() : scsi_(no_scsi_) {}
  Win32Machine(const Win32Machine&) = delete;
  Win32Machine& operator=(const Win32Machine&) = delete;

  Machine& machine() { return machine_; }

 private:
  class NoScsiLibrary final : public IScsiLibrary {
   public:
    int SendScsiCmd(int, int, int, std::uint8_t*, int) override {
      std::fputs("SendScsiCmd called in an executable that does not carry SendScsiCmd.dll\n", stderr);
      std::abort();
    }
  };

  Win32SystemInfo system_;
  Win32FileSystem files_;
  Win32VersionInfo versions_;
  Win32Registry registry_;
  Win32KernelObjects kernel_;
  Win32Processes processes_;
  Win32Windows windows_;
  Win32Services services_;
  Win32Security security_;
  NoScsiLibrary no_scsi_;
  IScsiLibrary& scsi_;
  Win32Modules modules_;
  Win32Internet internet_;
  Win32Cabinets cabinets_;
  Win32Com com_;
  Machine machine_{.system = system_,
                   .files = files_,
                   .versions = versions_,
                   .registry = registry_,
                   .kernel = kernel_,
                   .processes = processes_,
                   .windows = windows_,
                   .services = services_,
                   .security = security_,
                   .scsi = scsi_,
                   .modules = modules_,
                   .internet = internet_,
                   .cabinets = cabinets_,
                   .com = com_};
};

}  // namespace devstart
