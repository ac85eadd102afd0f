// Every port of the machine the program runs on, in one place: the Win32
// entry point fills it with adapters, tests with the simulated PC.
#pragma once

#include "platform/ports.h"

namespace devstart {

struct Machine {
  ISystemInfo& system;
  IFileSystem& files;
  IVersionInfo& versions;
  IRegistry& registry;
  IKernelObjects& kernel;
  IProcesses& processes;
  IWindows& windows;
  IServices& services;
  ISecurity& security;
  IScsiLibrary& scsi;
  IModules& modules;
  IInternet& internet;
  ICabinets& cabinets;
  ICom& com;
};

}  // namespace devstart
