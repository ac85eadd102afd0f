#include "core/trace_log.h"

#include <cstdint>

namespace devstart {

namespace {
TraceLog* g_log = nullptr;
}

std::string ToUtf16LeBytes(const std::wstring& text) {
  std::string out;
  out.reserve(text.size() * 2);
  auto unit = [&out](std::uint32_t u) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>((u >> 8) & 0xFF));
  };
  for (wchar_t ch : text) {
    auto c = static_cast<std::uint32_t>(ch);
    if constexpr (sizeof(wchar_t) > 2) {
      if (c >= 0x10000 && c <= 0x10FFFF) {
        c -= 0x10000;
        unit(0xD800 | (c >> 10));
        unit(0xDC00 | (c & 0x3FF));
        continue;
      }
    }
    unit(c & 0xFFFF);
  }
  return out;
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
  std::wstring line;
  if (with_time_ == 1) {
    // The elapsed time is printed signed, as "%d" of the tick difference.
    auto elapsed = static_cast<std::int32_t>(system_.GetTickCount() - start_tick_);
    line = L"[" + std::to_wstring(elapsed) + L"]" + message + L"\r\n";
  } else {
    line = message + L"\r\n";
  }
  if (to_debugger_ == 1) system_.OutputDebugString(line);
  if (to_file_ == 1 || file_ != kNullHandle) {
    std::string bytes = ToUtf16LeBytes(line);
    files_.WriteFile(file_, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  }
}

TraceLog& GetTraceLog() { return *g_log; }
void SetTraceLog(TraceLog* log) { g_log = log; }

void Trace(const std::wstring& message) {
  if (g_log != nullptr) g_log->Trace(message);
}

}  // namespace devstart
