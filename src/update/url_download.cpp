// The download of a newer update library: fetched to a temporary name and
// moved over the staged copy only when it is whole.
#include <algorithm>
#include <utility>
#include <vector>

#include "core/trace_log.h"
#include "update/http_answers.h"
#include "update/live_update.h"

namespace devstart {

namespace w = win;

namespace {

constexpr std::uint32_t kTransferBytes = 100000;
// Wine serves reads sized by what is already buffered many times slower than
// large ones, so a read never asks for less than this.
constexpr std::uint32_t kMinimumRead = 65536;
// The update library is a few hundred KiB; a server that sends without end or
// a byte at a time must not hold the window for ever. 128 MiB take 600 s at
// about 220 KiB/s.
constexpr std::uint64_t kDownloadBytes = 128u << 20;
constexpr std::uint32_t kDownloadDeadlineMs = 600000;

}  // namespace

int CLiveUpdate::DownloadUrl() {
  Trace(L"CLiveUpdate::DownloadUrl(+)");
  IFileSystem& fs = machine_.files;
  if (m_strSelUrl_DLL.empty()) {
    Trace(L"CLiveUpdate::DownloadUrl() no address to download from");
    return 0;
  }
  std::optional<std::wstring> target = UpdateLibraryPath();
  if (!target) {
    Trace(L"CLiveUpdate::DownloadUrl() no target path");
    return 0;
  }
  // A target that cannot be written (read-only, in use) is found before a
  // byte is fetched; opening it without truncation leaves it as it is.
  {
    HandleResult probe = fs.CreateFile(*target, w::kGenericWrite, 0, w::kOpenExisting, w::kFileAttributeNormal);
    UniqueFile closed_at_once(machine_.kernel, probe.handle);
    if (!closed_at_once && probe.error != w::kErrorFileNotFound) {
      Trace(L"CLiveUpdate::DownloadUrl() hFile is INVALID_HANDLE_VALUE");
      return 0;
    }
  }

  IInternet& net = machine_.internet;
  UniqueInternet session = OpenSession(net);
  if (!session) {
    Trace(L"CLiveUpdate::DownloadUrl() hInternet is NULL");
    return 0;
  }
  // The staged library is replaced only by a complete download.
  const std::wstring temporary = *target + L".download";
  if (!Fetch(session.get(), m_strSelUrl_DLL, temporary)) {
    fs.DeleteFile(temporary);
    return 0;
  }
  if (!fs.MoveFileEx(temporary, *target, w::kMoveFileReplaceExisting).ok) {
    Trace(L"CLiveUpdate::DownloadUrl() the download could not replace " + *target);
    fs.DeleteFile(temporary);
    return 0;
  }
  return 1;
}

bool CLiveUpdate::Fetch(Handle session, const std::wstring& address, const std::wstring& temporary) {
  IInternet& net = machine_.internet;
  IFileSystem& fs = machine_.files;
  const std::uint32_t began = machine_.system.GetTickCount();
  OpenedUrl opened = OpenFollowingRedirects(net, session, address, w::kInternetFlagReload);
  if (opened.outcome == OpenOutcome::kFailed) {
    Trace(L"CLiveUpdate::DownloadUrl() InternetOpenUrl fails");
    return false;
  }
  if (opened.outcome == OpenOutcome::kRedirectRefused) {
    Trace(L"CLiveUpdate::DownloadUrl() redirected too often or away from the web");
    return false;
  }
  UniqueInternet request = std::move(opened.request);
  // Only the whole file answers 200: a partial or empty success is no library.
  std::optional<std::uint64_t> status = QueryNumber(net, request.get(), w::kHttpQueryStatusCode);
  if (!status || *status != 200) {
    Trace(L"CLiveUpdate::DownloadUrl() HTTP status " + (status ? std::to_wstring(*status) : L"unknown"));
    return false;
  }
  const std::optional<std::uint64_t> announced = QueryNumber(net, request.get(), w::kHttpQueryContentLength);
  if (announced && *announced > kDownloadBytes) {
    Trace(L"CLiveUpdate::DownloadUrl() the answer announces " + std::to_wstring(*announced) + L" bytes");
    return false;
  }
  HandleResult created =
      fs.CreateFile(temporary, w::kGenericWrite, 0, w::kCreateAlways, w::kFileAttributeNormal);
  if (created.handle == kInvalidHandle) {
    Trace(L"CLiveUpdate::DownloadUrl() hFile is INVALID_HANDLE_VALUE");
    return false;
  }
  UniqueFile file(machine_.kernel, created.handle);

  std::vector<char> buffer(kTransferBytes);
  std::uint64_t received = 0;
  for (;;) {
    std::uint32_t ask;
    if (announced) {
      if (received >= *announced) break;
      ask = static_cast<std::uint32_t>(std::min<std::uint64_t>(kTransferBytes, *announced - received));
    } else {
      std::uint32_t available = 0;
      if (!net.InternetQueryDataAvailable(request.get(), &available)) {
        Trace(L"CLiveUpdate::DownloadUrl() InternetQueryDataAvailable fails");
        return false;
      }
      ask = std::min(kTransferBytes, std::max(available, kMinimumRead));
    }
    std::uint32_t got = 0;
    if (!net.InternetReadFile(request.get(), buffer.data(), ask, &got)) {
      Trace(L"CLiveUpdate::DownloadUrl() InternetReadFile fails");
      return false;
    }
    if (got == 0) break;
    IoResult wrote = fs.WriteFile(file.get(), buffer.data(), got);
    if (!wrote.ok || wrote.transferred != got) {
      Trace(L"CLiveUpdate::DownloadUrl() WriteFile fails");
      return false;
    }
    received += got;
    if (received > kDownloadBytes) {
      Trace(L"CLiveUpdate::DownloadUrl() more than " + std::to_wstring(kDownloadBytes) + L" bytes");
      return false;
    }
    if (machine_.system.GetTickCount() - began > kDownloadDeadlineMs) {
      Trace(L"CLiveUpdate::DownloadUrl() no end after " + std::to_wstring(kDownloadDeadlineMs / 1000) + L" s");
      return false;
    }
  }
  if (announced && received != *announced) {
    Trace(L"CLiveUpdate::DownloadUrl() received " + std::to_wstring(received) + L" of " +
          std::to_wstring(*announced) + L" bytes");
    return false;
  }
  return true;
}

}  // namespace devstart
