// The simulated PC a fuzz target builds once: every input runs on the same
// world, and what the fakes record of each run is dropped after it, so that
// a long run neither slows down nor grows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fake/sim_pc.h"

namespace devstart::fuzz {

// Emptied, not cleared: what an input allocated it also frees, so that
// libFuzzer's leak check (run whenever an input allocates more than it
// frees) stays quiet and cheap.
inline void ForgetRecords(sim::SimPc& pc) {
  pc.pipes.requests = {};
  pc.pipes.calls = {};
  pc.pipes.scripted_reads = {};
  pc.files.calls = {};
  pc.files.profile_sizes_asked = {};
  pc.kernel.created = {};
  pc.kernel.closed = {};
  pc.kernel.existing = {};
  pc.internet.requests = {};
  pc.internet.agents = {};
  pc.internet.open_flags = {};
  pc.internet.options = {};
  pc.internet.read_sizes = {};
  pc.internet.download_limits = {};
  pc.modules.identity.calls = {};
  pc.modules.loads = {};
  pc.modules.loads_a = {};
  pc.modules.update_runs = {};
  pc.modules.check.calls = {};
  pc.system.thread_ui_language_calls = {};
  pc.system.thread_locale_calls = {};
  pc.system.debug_output = {};
  pc.system.sleep_calls = {};
  pc.windows.calls = {};
  pc.windows.posts = {};
  pc.registry.opens = {};
  pc.registry.reads = {};
  pc.services.calls = {};
  pc.phone.model.calls = {};
  pc.processes.launches = {};
  pc.processes.shell_launches = {};
  pc.processes.posted_quits = {};
  pc.security.enabled_privileges = {};
  pc.security.token_access_asked = {};
}

// Forgets the records when the input is done.
struct ForgetAfterInput {
  sim::SimPc& pc;
  ~ForgetAfterInput() { ForgetRecords(pc); }
};

// Reads an input front to back; past its end every read gives zeros.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::uint32_t Word() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(Byte()) << (8 * i);
    return v;
  }
  std::string Bytes(std::size_t n) {
    n = n < size_ - pos_ ? n : size_ - pos_;
    std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return s;
  }
  std::string Rest() { return Bytes(size_ - pos_); }
  bool empty() const { return pos_ >= size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// Bytes as UTF-16LE text (an odd last byte is dropped).
inline std::wstring Utf16(std::string_view bytes) {
  std::wstring out;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    out.push_back(static_cast<wchar_t>(static_cast<std::uint8_t>(bytes[i]) |
                                       (static_cast<std::uint8_t>(bytes[i + 1]) << 8)));
  }
  return out;
}

// A broken invariant is a finding: the fuzzer keeps the input.
inline void Require(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace devstart::fuzz
