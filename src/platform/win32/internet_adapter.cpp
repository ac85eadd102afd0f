// WinINet and the URL moniker download.
#include "platform/win32/convert.h"

#include <urlmon.h>
#include <wininet.h>
#undef InternetSetOption

#include <string>
#include <vector>

#include "platform/win32/adapters.h"

namespace devstart {

namespace {

HINTERNET ToInternet(Handle h) { return reinterpret_cast<HINTERNET>(h); }

// Asks for nothing and never cancels: the download runs as if no callback
// were given, which is what the live-update library always passed. It lives
// on the caller's stack for one download, so reference counting is moot.
class DownloadStatusCallback final : public IBindStatusCallback {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 0; }
  ULONG STDMETHODCALLTYPE Release() override { return 0; }
  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG, ULONG, ULONG, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return E_NOTIMPL; }
};

}  // namespace

Handle Win32Internet::InternetOpenA(const std::string& agent, std::uint32_t access_type, std::uint32_t flags) {
  return reinterpret_cast<Handle>(::InternetOpenA(agent.c_str(), access_type, nullptr, nullptr, flags));
}

Handle Win32Internet::InternetOpenUrlA(Handle session, const std::string& url, std::uint32_t flags,
                                       std::uintptr_t context) {
  return reinterpret_cast<Handle>(::InternetOpenUrlA(ToInternet(session), url.c_str(), nullptr, 0, flags, context));
}

bool Win32Internet::InternetReadFile(Handle file, char* buffer, std::uint32_t size, std::uint32_t* read) {
  DWORD got = 0;
  if (!::InternetReadFile(ToInternet(file), buffer, size, &got)) return false;
  if (read) *read = got;
  return true;
}

bool Win32Internet::HttpQueryInfoA(Handle request, std::uint32_t level, std::uint32_t buffer_size,
                                   std::string* out) {
  std::vector<char> buffer(buffer_size, '\0');
  DWORD len = buffer_size;
  if (!::HttpQueryInfoA(ToInternet(request), level, buffer.empty() ? nullptr : buffer.data(), &len, nullptr)) {
    return false;
  }
  if (out) out->assign(buffer.data(), len < buffer_size ? len : buffer_size);
  return true;
}

bool Win32Internet::InternetCloseHandle(Handle h) { return ::InternetCloseHandle(ToInternet(h)) != FALSE; }

Handle Win32Internet::InternetOpenW(const std::wstring& agent, std::uint32_t access_type, std::uint32_t flags) {
  return reinterpret_cast<Handle>(::InternetOpenW(agent.c_str(), access_type, nullptr, nullptr, flags));
}

Handle Win32Internet::InternetOpenUrlW(Handle session, const std::wstring& url, std::uint32_t flags) {
  return reinterpret_cast<Handle>(::InternetOpenUrlW(ToInternet(session), url.c_str(), nullptr, 0, flags, 0));
}

bool Win32Internet::InternetSetOption(Handle h, std::uint32_t option, std::uint32_t value) {
  DWORD v = value;
  return ::InternetSetOptionW(ToInternet(h), option, &v, sizeof v) != FALSE;
}

bool Win32Internet::InternetQueryDataAvailable(Handle file, std::uint32_t* available) {
  DWORD n = 0;
  if (!::InternetQueryDataAvailable(ToInternet(file), &n, 0, 0)) return false;
  if (available) *available = n;
  return true;
}

std::int32_t Win32Internet::URLDownloadToFileA(const std::string& url, const std::string& path) {
  DownloadStatusCallback callback;
  return ::URLDownloadToFileA(nullptr, url.c_str(), path.c_str(), 0, &callback);
}

}  // namespace devstart
