#include "core/trace_log.h"

#include "core/text.h"

#include <cstdint>

namespace devstart {

namespace {
TraceLog* g_log = nullptr;
}

TraceLog::TraceLog(ISystem& system, IFiles& files) : system_(system), files_(files) {
  start_tick_ = system_.GetTickCount();
  path_ = system_.GetTempPath() + L"Devstart.Log";
  // Readers may follow the file while we run; a failure leaves an invalid
  // handle and every write then fails quietly.
  file_ = files_.CreateFile(path_, win::kGenericAll, win::kFileShareRead | win::kFileShareWrite,
                            win::kCreateAlways, win::kFileAttributeNormal);
}

void TraceLog::Trace(const std::wstring& message) {
  // The elapsed time is printed signed, as "%d" of the tick difference.
  auto elapsed = static_cast<std::int32_t>(system_.GetTickCount() - start_tick_);
  std::wstring line = L"[" + std::to_wstring(elapsed) + L"]" + message + L"\r\n";
  system_.OutputDebugString(line);
  std::string bytes = ToUtf16LeBytes(line);
  files_.WriteFile(file_, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

void SetTraceLog(TraceLog* log) { g_log = log; }

void Trace(const std::wstring& message) {
  if (g_log != nullptr) g_log->Trace(message);
}

}  // namespace devstart
