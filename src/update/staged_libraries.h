// The staged libraries the local run loads, compared byte for byte with the
// CD they were staged from while the CD is still there, and held open
// without write or delete sharing until their load, so that the file that
// was compared is the file that runs. The staging folder is the user's
// temporary folder: anything the user runs can write there, and the run that
// loads from it may be elevated.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/handles.h"
#include "platform/machine.h"

namespace devstart {

class StagedLibraries {
 public:
  explicit StagedLibraries(Machine& machine) : machine_(machine) {}

  // Compares `staged` with `cd`; a mismatch, or either file unreadable,
  // refuses `staged` for the rest of the run, with one trace line.
  void Check(const std::wstring& staged, const std::wstring& cd);
  // Whether `staged` may be loaded now: never checked, downloaded by this
  // run, or matching (held, or compared again with the CD's bytes when its
  // hold was given up). A refusal is traced.
  bool MayLoad(const std::wstring& staged);
  // Gives up the hold on `staged` once it is loaded, before something of
  // ours writes it, or before the staging folder is emptied.
  void Release(const std::wstring& staged);
  void ReleaseAll();
  // This run wrote `staged` itself (a download): there is no CD copy of it.
  void Downloaded(const std::wstring& staged);

 private:
  enum class State { kMatches, kRefused, kDownloaded };
  struct Entry {
    State state = State::kRefused;
    std::string bytes;  // what the CD holds
    UniqueFile hold;
  };
  // The whole file, read through `file`; nullopt when a read fails.
  std::optional<std::string> ReadAll(Handle file);
  std::optional<std::string> ReadFile(const std::wstring& path);
  // Opens `staged` without write or delete sharing and compares it with
  // `entry.bytes`; the hold stays with the entry when they are the same.
  bool HoldIfSame(const std::wstring& staged, Entry& entry);

  Machine& machine_;
  std::map<std::wstring, Entry> entries_;
};

}  // namespace devstart
