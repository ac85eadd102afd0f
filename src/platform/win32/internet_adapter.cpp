// WinINet and the URL moniker download.
#include "platform/win32/convert.h"

#include <urlmon.h>
#include <wininet.h>
#undef InternetSetOption

#include <cwctype>
#include <string>
#include <vector>

#include "platform/win32/adapters.h"

namespace devstart {

namespace {

HINTERNET ToInternet(Handle h) { return reinterpret_cast<HINTERNET>(h); }

// IHttpNegotiate's interface id, spelled out so that no GUID library is linked.
constexpr IID kIidHttpNegotiate = {0x79EAC9D2, 0xBAF9, 0x11CE, {0x8C, 0x82, 0x00, 0xAA, 0x00, 0x4B, 0xA9, 0x0B}};

bool SameScheme(const std::string& url, const wchar_t* other) {
  std::size_t colon = url.find(':');
  if (colon == std::string::npos || !other) return false;
  for (std::size_t i = 0; i <= colon; ++i) {
    wchar_t a = static_cast<wchar_t>(static_cast<unsigned char>(url[i]));
    wchar_t b = other[i];
    if (b == L'\0') return false;
    if (::towlower(a) != ::towlower(b)) return false;
  }
  return true;
}

// Asks for nothing. It ends the download when the answer is not 200 (before
// urlmon keeps a byte of it), when a redirect leaves the address's scheme,
// and when the bytes or the time pass the limits, so a server that answers
// without end cannot hold the caller. It lives on the caller's stack for one
// download, so reference counting is moot.
class DownloadStatusCallback final : public IBindStatusCallback, public IHttpNegotiate {
 public:
  DownloadStatusCallback(const std::string& url, const DownloadLimits& limits)
      : url_(url), limits_(limits), start_(::GetTickCount()) {}
  ~DownloadStatusCallback() {
    if (binding_) binding_->Release();
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (::IsEqualIID(iid, kIidHttpNegotiate)) {
      *out = static_cast<IHttpNegotiate*>(this);
      return S_OK;
    }
    return E_NOTIMPL;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 0; }
  ULONG STDMETHODCALLTYPE Release() override { return 0; }
  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding* binding) override {
    if (binding && !binding_) {
      binding->AddRef();
      binding_ = binding;
    }
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG total, ULONG status, LPCWSTR text) override {
    // Wine follows a redirect loop without end: five redirects are enough.
    if (status == BINDSTATUS_REDIRECTING && (++redirects_ > 5 || !SameScheme(url_, text))) return Abort();
    bool within = WithinLimits(limits_, progress > total ? progress : total, ::GetTickCount() - start_);
    return within ? S_OK : Abort();
  }
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return E_NOTIMPL; }
  // No headers of its own: the request stays as it was.
  HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* extra) override {
    if (extra) *extra = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnResponse(DWORD code, LPCWSTR, LPCWSTR, LPWSTR* extra) override {
    if (extra) *extra = nullptr;
    return code == 200 ? S_OK : Abort();
  }

 private:
  HRESULT Abort() {
    if (binding_) binding_->Abort();
    return E_ABORT;
  }
  std::string url_;
  DownloadLimits limits_;
  DWORD start_;
  int redirects_ = 0;
  IBinding* binding_ = nullptr;
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

std::int32_t Win32Internet::URLDownloadToFileA(const std::string& url, const std::string& path,
                                               const DownloadLimits& limits) {
  DownloadStatusCallback callback(url, limits);
  return ::URLDownloadToFileA(nullptr, url.c_str(), path.c_str(), 0, &callback);
}

}  // namespace devstart
