// What the contract suite of the library's calls needs from a machine: its
// ports and a few ways to prepare and inspect files. Implemented by the
// simulated PC (natively) and by the Win32 adapters (under Wine).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/machine.h"

struct UpdContractEnv {
  virtual ~UpdContractEnv() = default;
  virtual devstart::Machine& machine() = 0;
  virtual std::string Scratch() = 0;  // an empty folder, no trailing backslash
  virtual void PutFile(const std::string& path, const std::string& content) = 0;
  virtual std::string ReadFile(const std::string& path) = 0;  // "<none>" when missing
  // A cabinet holding `entries` under exactly the names given.
  virtual void PutCabinet(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries) = 0;
  virtual std::string KeyName() = 0;  // a fresh subkey of HKEY_CURRENT_USER
};

UpdContractEnv& ContractEnv();
