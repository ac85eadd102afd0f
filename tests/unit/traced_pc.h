// A simulated PC whose trace log is the process's one log while it lives.
// Nested ones (a fresh PC per table row inside a fixture that has its own)
// hand the log back to the enclosing one when they end.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/trace_log.h"
#include "fake/sim_pc.h"

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

}  // namespace devstart
