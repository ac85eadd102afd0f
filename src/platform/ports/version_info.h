// Version resources.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/results.h"

namespace devstart {

// The version fields of VS_FIXEDFILEINFO the program uses.
struct FixedFileInfo {
  std::uint32_t signature = 0;
  std::uint32_t struc_version = 0;
  std::uint32_t file_version_ms = 0;
  std::uint32_t file_version_ls = 0;
  std::uint32_t product_version_ms = 0;
  std::uint32_t product_version_ls = 0;
};

class IVersionInfo {
 public:
  virtual ~IVersionInfo() = default;
  // GetFileVersionInfoSizeW; `handle` receives the value the call returns.
  virtual std::uint32_t GetFileVersionInfoSize(const std::wstring& path, std::uint32_t* handle) = 0;
  // GetFileVersionInfoW into a block of `size` bytes.
  virtual bool GetFileVersionInfo(const std::wstring& path, std::uint32_t handle, std::uint32_t size,
                                  std::vector<std::uint8_t>* block) = 0;
  // VerQueryValueW of the root block "\".
  virtual std::optional<FixedFileInfo> VerQueryRoot(const std::vector<std::uint8_t>& block) = 0;
  // The ANSI variants: the same calls, and VerQueryValueA of any sub-block,
  // returning the value's bytes (a string value up to its terminator).
  virtual std::uint32_t GetFileVersionInfoSizeA(const std::string& path, std::uint32_t* handle) = 0;
  virtual bool GetFileVersionInfoA(const std::string& path, std::uint32_t handle, std::uint32_t size,
                                   std::vector<std::uint8_t>* block) = 0;
  virtual std::optional<std::string> VerQueryValueA(const std::vector<std::uint8_t>& block,
                                                    const std::string& sub_block) = 0;
};

}  // namespace devstart
