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
  // Readers may follow the file while we run. Without the file the lines
  // still reach a debugger.
  file_.reset(machine.kernel, files_.CreateFile(path_, win::kGenericAll, win::kFileShareRead | win::kFileShareWrite,
                                                win::kCreateAlways, win::kFileAttributeNormal)
                                  .handle);
}

void TraceLog::Trace(const std::wstring& message) {
  // The elapsed time is printed signed, as "%d" of the tick difference.
  auto elapsed = static_cast<std::int32_t>(system_.GetTickCount() - start_tick_);
  std::wstring line = L"[" + std::to_wstring(elapsed) + L"]" + message + L"\r\n";
  system_.OutputDebugString(line);
  if (!file_) return;
  std::string bytes = ToUtf16LeBytes(line);
  files_.WriteFile(file_.get(), bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

void SetTraceLog(TraceLog* log) { g_log = log; }

void Trace(const std::wstring& message) {
  if (g_log != nullptr) g_log->Trace(message);
}

}  // namespace devstart
