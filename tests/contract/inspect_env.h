// The inspection ports under contract: natively against the simulated PC,
// under Wine against the Win32 adapters.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ports_inspect.h"

namespace devstart::contract {

class InspectEnv {
 public:
  virtual ~InspectEnv() = default;
  virtual IRegistry& registry() = 0;
  virtual IProcesses& processes() = 0;
  virtual IWindowSearch& windows() = 0;
  // A key name unique to this test run, to be used under HKCU\Software or
  // HKLM\SOFTWARE.
  virtual std::wstring UniqueName() = 0;
  // Identifier and executable file name of the running test process.
  virtual std::uint32_t OwnProcessId() = 0;
  virtual std::wstring OwnExeName() = 0;
  // A program that starts, runs briefly and ends by itself, and its arguments.
  virtual std::wstring ShortProgram() = 0;
  virtual std::wstring ShortProgramArguments() = 0;
  // A top-level window of this process; and the messages it has received
  // since (posted messages in the private range only).
  virtual WindowHandle MakeWindow(const std::wstring& class_name, const std::wstring& title) = 0;
  virtual std::vector<std::uint32_t> PostedTo(WindowHandle w) = 0;
  // Removes the keys a test created.
  virtual void DeleteTree(std::uintptr_t hive, const std::wstring& path) = 0;
};

std::unique_ptr<InspectEnv> MakeInspectEnv();

}  // namespace devstart::contract
