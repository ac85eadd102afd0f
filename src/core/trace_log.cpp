#include "core/trace_log.h"

#include "core/text.h"

#include <cstdint>

namespace devstart {

namespace {
TraceLog* g_log = nullptr;
}

TraceLog::TraceLog(const Machine& machine) : system_(machine.system), files_(machine.files) {
  start_tick_ = system_.GetTickCount();
  path_ = files_.GetTempPath() + L"Devstart.Log";
  // Readers may follow the file while we run. The relaunched local copy
  // replaces the file while the CD run may still hold it: full access takes
  // delete access, so the fresh log can only be made when we share delete.
  // Without the file the lines still reach a debugger.
  constexpr std::uint32_t kShare = win::kFileShareRead | win::kFileShareWrite | win::kFileShareDelete;
  file_.reset(machine.kernel,
              files_.CreateFile(path_, win::kGenericAll, kShare, win::kCreateAlways, win::kFileAttributeNormal).handle);
}

void TraceLog::Trace(const std::wstring& message) {
  // The elapsed time is printed signed, as "%d" of the tick difference.
  auto elapsed = static_cast<std::int32_t>(system_.GetTickCount() - start_tick_);
  std::wstring line = L"[" + std::to_wstring(elapsed) + L"]" + message + L"\r\n";
  system_.OutputDebugString(line);
  if (!file_) return;
  std::string bytes = ToUtf16LeBytes(line);
  // At the end as it is now: after the other process replaced the file, our
  // old position would leave a gap of NULs or overwrite its lines.
  files_.SetFilePointer(file_.get(), 0, win::kFileEnd);
  files_.WriteFile(file_.get(), bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

void SetTraceLog(TraceLog* log) { g_log = log; }

void Trace(const std::wstring& message) {
  if (g_log != nullptr) g_log->Trace(message);
}

}  // namespace devstart
