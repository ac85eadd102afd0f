// One contract suite, two worlds: natively against the simulated PC, under
// Wine against the Win32 adapters. When the two disagree, the fake is wrong.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/ports.h"

namespace devstart::contract {

class ContractEnv {
 public:
  virtual ~ContractEnv() = default;
  virtual ISystem& system() = 0;
  virtual IFiles& files() = 0;
  virtual IProfile& profile() = 0;
  virtual ISync& sync() = 0;
  // A fresh folder for this test, with its trailing backslash.
  virtual std::wstring Scratch() = 0;
  virtual void PutFile(const std::wstring& path, const std::string& bytes) = 0;
  virtual std::optional<std::string> ReadFile(const std::wstring& path) = 0;
};

std::unique_ptr<ContractEnv> MakeContractEnv();

}  // namespace devstart::contract
