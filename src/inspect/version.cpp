#include "inspect/version.h"

#include <vector>

#include "core/option.h"

namespace devstart {

namespace {

std::vector<std::wstring> Components(const std::wstring& text) {
  std::vector<std::wstring> out;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == L'.') ++i;
    std::size_t start = i;
    while (i < text.size() && text[i] != L'.') ++i;
    if (i > start) out.push_back(text.substr(start, i - start));
  }
  return out;
}

long long ValueOf(const std::wstring& component) { return ParseSignedDecimal(component); }

}  // namespace

int CompareVersionText(const std::wstring& found, const std::wstring& required) {
  std::vector<std::wstring> f = Components(found);
  std::vector<std::wstring> r = Components(required);
  if (f.empty()) return 1;
  std::size_t n = f.size() > r.size() ? f.size() : r.size();
  for (std::size_t i = 0; i < n; ++i) {
    long long a = i < f.size() ? ValueOf(f[i]) : 0;
    long long b = i < r.size() ? ValueOf(r[i]) : 0;
    if (a < b) return 0;
    if (a > b) return 1;
  }
  return 1;
}

int ReadFixedFileInfo(IVersionInfo& versions, const std::wstring& path, FixedFileInfo* info) {
  std::uint32_t handle = 0;
  std::uint32_t size = versions.GetFileVersionInfoSize(path, &handle);
  if (size == 0) return 0;
  std::vector<std::uint8_t> block;
  if (!versions.GetFileVersionInfo(path, handle, size, &block)) return 0;
  std::optional<FixedFileInfo> root = versions.VerQueryRoot(block);
  if (!root) return 0;
  *info = *root;
  return 1;
}

std::wstring FileVersionText(const FixedFileInfo& info) {
  return std::to_wstring(info.file_version_ms >> 16) + L"." + std::to_wstring(info.file_version_ms & 0xFFFF) + L"." +
         std::to_wstring(info.file_version_ls >> 16) + L"." + std::to_wstring(info.file_version_ls & 0xFFFF);
}

}  // namespace devstart
