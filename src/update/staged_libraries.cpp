#include "update/staged_libraries.h"

#include <vector>

#include "core/trace_log.h"

namespace devstart {

namespace w = win;

namespace {

constexpr std::uint32_t kChunk = 65536;
constexpr wchar_t kWho[] = L"CLiveUpdate::CheckStagedLibraries() ";

}  // namespace

std::optional<std::string> StagedLibraries::ReadAll(Handle file) {
  std::string out;
  std::vector<char> buffer(kChunk);
  for (;;) {
    IoResult got = machine_.files.ReadFile(file, buffer.data(), kChunk);
    if (!got.ok) return std::nullopt;
    if (got.transferred == 0) return out;
    out.append(buffer.data(), got.transferred);
  }
}

std::optional<std::string> StagedLibraries::ReadFile(const std::wstring& path) {
  HandleResult opened =
      machine_.files.CreateFile(path, w::kGenericRead, w::kFileShareRead, w::kOpenExisting, w::kFileAttributeNormal);
  UniqueFile file(machine_.kernel, opened.handle);
  if (!file) return std::nullopt;
  return ReadAll(file.get());
}

bool StagedLibraries::HoldIfSame(const std::wstring& staged, Entry& entry) {
  // Read sharing only: the loader may open it, nobody may change or delete it.
  HandleResult opened =
      machine_.files.CreateFile(staged, w::kGenericRead, w::kFileShareRead, w::kOpenExisting, w::kFileAttributeNormal);
  UniqueFile file(machine_.kernel, opened.handle);
  if (!file) {
    Trace(kWho + staged + L" cannot be opened, it is not loaded");
    return false;
  }
  std::optional<std::string> bytes = ReadAll(file.get());
  if (!bytes || *bytes != entry.bytes) {
    Trace(kWho + staged + L" differs from the CD's copy, it is not loaded");
    return false;
  }
  entry.hold = std::move(file);
  return true;
}

void StagedLibraries::Check(const std::wstring& staged, const std::wstring& cd) {
  Entry& entry = entries_[staged];
  entry = Entry{};
  std::optional<std::string> original = ReadFile(cd);
  if (!original) {
    Trace(cd.empty() ? kWho + std::wstring(L"no CD to compare with, ") + staged + L" is not loaded"
                     : kWho + cd + L" cannot be read, " + staged + L" is not loaded");
    return;
  }
  entry.bytes = std::move(*original);
  if (HoldIfSame(staged, entry)) entry.state = State::kMatches;
}

bool StagedLibraries::MayLoad(const std::wstring& staged) {
  auto it = entries_.find(staged);
  if (it == entries_.end()) return true;
  Entry& entry = it->second;
  if (entry.state == State::kMatches && !entry.hold && !HoldIfSame(staged, entry)) entry.state = State::kRefused;
  return entry.state != State::kRefused;
}

void StagedLibraries::Release(const std::wstring& staged) {
  auto it = entries_.find(staged);
  if (it != entries_.end()) it->second.hold.reset();
}

void StagedLibraries::ReleaseAll() {
  for (auto& [path, entry] : entries_) entry.hold.reset();
}

void StagedLibraries::Downloaded(const std::wstring& staged) {
  Entry& entry = entries_[staged];
  entry = Entry{};
  entry.state = State::kDownloaded;
}

}  // namespace devstart
