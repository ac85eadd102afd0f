// A simulated PC whose trace log is the process's one log while it lives.
// Nested ones (a fresh PC per table row inside a fixture that has its own)
// hand the log back to the enclosing one when they end.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <optional>

#include "core/option.h"
#include "core/trace_log.h"
#include "fake/sim_pc.h"
#include "workflow/auto_run_manager.h"

namespace devstart {

class TracedPc {
 public:
  TracedPc() : outer_(current_) {
    current_ = this;
    SetTraceLog(&log);
  }
  ~TracedPc() {
    current_ = outer_;
    SetTraceLog(outer_ ? &outer_->log : nullptr);
  }
  TracedPc(const TracedPc&) = delete;
  TracedPc& operator=(const TracedPc&) = delete;

  // The trace lines written since the last Mark().
  void Mark() { skip_ = pc.TraceLines().size(); }
  std::vector<std::wstring> Lines() const {
    auto all = pc.TraceLines();
    return std::vector<std::wstring>(all.begin() + static_cast<long>(skip_), all.end());
  }

  sim::SimPc pc;
  Machine machine = pc.machine();
  TraceLog log{machine};

 private:
  static inline TracedPc* current_ = nullptr;
  TracedPc* outer_;
  std::size_t skip_ = 0;
};

// One table row's whole world: the simulated PC with its trace log, the
// options, and the manager, built on first use so that a row can shape the
// PC and the options first (the manager reads both when it is made).
class World : public TracedPc {
 public:
  COption option;
  CAutoRunManager& manager() {
    if (!manager_) manager_.emplace(machine, option);
    return *manager_;
  }

 private:
  std::optional<CAutoRunManager> manager_;
};

}  // namespace devstart
