// The device-channel ports in both worlds: the simulated PC natively, the
// Win32 adapters under Wine. Each world also offers what a test needs to set
// the scene (a pipe server, a service to remove again).
#pragma once

#include <memory>
#include <string>

#include "platform/ports_device.h"

namespace devstart::contract {

class DeviceEnv {
 public:
  virtual ~DeviceEnv() = default;
  virtual IServiceControl& services() = 0;
  virtual INamedPipes& pipes() = 0;
  virtual ISecurity& security() = 0;
  virtual IFileSystem& file_system() = 0;
  // A fresh folder for this test, with its trailing backslash.
  virtual std::wstring Scratch() = 0;
  virtual void PutFile(const std::wstring& path, const std::string& bytes) = 0;
  virtual bool Exists(const std::wstring& path) = 0;
  // A name no other test uses.
  virtual std::wstring UniqueName(const std::wstring& stem) = 0;
  // Offers a pipe with one instance that will answer `reply`.
  virtual void ServePipe(const std::wstring& name, const std::string& reply) = 0;
  // The server's turn after the client wrote: reads the request (returned),
  // writes the reply and lets go of its end.
  virtual std::string Answer(const std::wstring& name) = 0;
  // Occupies the pipe's only instance, so other clients find it busy.
  virtual void OccupyPipe(const std::wstring& name) = 0;
  // Removes a service the test created.
  virtual void DeleteService(const std::wstring& name) = 0;
};

std::unique_ptr<DeviceEnv> MakeDeviceEnv();

}  // namespace devstart::contract
