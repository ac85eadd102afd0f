// One contract suite, two worlds: natively against the simulated PC, under
// Wine against the Win32 adapters. When the two disagree, the fake is wrong.
// Each world also offers what a test needs to set the scene.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/machine.h"

namespace devstart::contract {

class ContractEnv {
 public:
  virtual ~ContractEnv() = default;
  // Every port of the world under test.
  virtual Machine& machine() = 0;

  // Files: a fresh folder for this test (with its trailing backslash), and
  // files written and read behind the ports' back.
  virtual std::wstring Scratch() = 0;
  virtual void PutFile(const std::wstring& path, const std::string& bytes) = 0;
  virtual std::optional<std::string> ReadFile(const std::wstring& path) = 0;
  // A file carrying a version resource, and the file version it holds.
  virtual std::wstring VersionedFile(FixedFileInfo* expected) = 0;

  // A name no other test (and no earlier run) uses, for keys and services.
  virtual std::wstring UniqueName(const std::wstring& stem) = 0;
  // Removes the keys a test created under a predefined root.
  virtual void DeleteTree(RegKey root, const std::wstring& path) = 0;

  // The running test process: identifier and executable file name; a
  // program that starts, runs briefly and ends by itself, with arguments.
  virtual std::uint32_t OwnProcessId() = 0;
  virtual std::wstring OwnExeName() = 0;
  virtual std::wstring ShortProgram() = 0;
  virtual std::wstring ShortProgramArguments() = 0;
  // A top-level window of this process; the private-range messages posted to
  // it since it was made.
  virtual WindowHandle MakeWindow(const std::wstring& class_name, const std::wstring& title) = 0;
  virtual std::vector<std::uint32_t> PostedTo(WindowHandle w) = 0;

  // Pipes: offers a pipe with one instance that will answer `reply`; the
  // server's turn after the client wrote (reads the request, returned,
  // writes the reply, lets go of its end); occupies the only instance.
  virtual void ServePipe(const std::wstring& name, const std::string& reply) = 0;
  virtual std::string Answer(const std::wstring& name) = 0;
  virtual void OccupyPipe(const std::wstring& name) = 0;
  // Removes a service the test created.
  virtual void DeleteService(const std::wstring& name) = 0;
};

std::unique_ptr<ContractEnv> MakeContractEnv();

}  // namespace devstart::contract
