// The internet.
#pragma once

#include <cstdint>
#include <string>

#include "platform/results.h"

namespace devstart {

// The bounds of one URL download: it is abandoned once more than `max_bytes`
// arrived or were announced, or once `deadline_ms` passed since it began.
struct DownloadLimits {
  std::uint32_t deadline_ms = 0;
  std::uint64_t max_bytes = 0;
};
inline bool WithinLimits(const DownloadLimits& limits, std::uint64_t bytes, std::uint32_t elapsed_ms) {
  return bytes <= limits.max_bytes && elapsed_ms <= limits.deadline_ms;
}

// WinINet and the URL moniker download. Internet handles are closed with
// InternetCloseHandle.
class IInternet {
 public:
  virtual ~IInternet() = default;
  // InternetOpenA(agent, access_type, NULL, NULL, flags); 0 on failure.
  virtual Handle InternetOpenA(const std::string& agent, std::uint32_t access_type, std::uint32_t flags) = 0;
  // InternetOpenUrlA with no headers; 0 on failure.
  virtual Handle InternetOpenUrlA(Handle session, const std::string& url, std::uint32_t flags,
                                  std::uintptr_t context) = 0;
  virtual bool InternetReadFile(Handle file, char* buffer, std::uint32_t size, std::uint32_t* read) = 0;
  // HttpQueryInfoA of one header into a buffer of `buffer_size` bytes.
  virtual bool HttpQueryInfoA(Handle request, std::uint32_t level, std::uint32_t buffer_size, std::string* out) = 0;
  virtual bool InternetCloseHandle(Handle h) = 0;
  // The program's wide variants: InternetOpenW(agent, access_type, NULL,
  // NULL, flags) and InternetOpenUrlW with no headers and no context; 0 on
  // failure.
  virtual Handle InternetOpenW(const std::wstring& agent, std::uint32_t access_type, std::uint32_t flags) = 0;
  virtual Handle InternetOpenUrlW(Handle session, const std::wstring& url, std::uint32_t flags) = 0;
  // InternetSetOptionW of one DWORD option.
  virtual bool InternetSetOption(Handle h, std::uint32_t option, std::uint32_t value) = 0;
  virtual bool InternetQueryDataAvailable(Handle file, std::uint32_t* available) = 0;
  // URLDownloadToFileA with a status callback that asks for nothing and ends
  // the download (E_ABORT) beyond `limits`, on an answer other than 200 before
  // a byte of it is kept, and on a redirect to another scheme; its HRESULT.
  virtual std::int32_t URLDownloadToFileA(const std::string& url, const std::string& path,
                                          const DownloadLimits& limits) = 0;
};

}  // namespace devstart
