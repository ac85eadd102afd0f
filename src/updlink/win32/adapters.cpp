#include "updlink/win32/adapters.h"

#include <windows.h>
#include <objbase.h>
#include <ole2.h>
#include <setupapi.h>
#include <shellapi.h>
#include <shlobj.h>
#include <urlmon.h>
#include <wininet.h>

#include <vector>

#include "platform/scoped_handle.h"

#undef CreateDirectory
#undef DeleteFile

namespace updlink::win32 {

namespace w = updlink::win;
static_assert(w::kKeyAllAccess == KEY_ALL_ACCESS);
static_assert(w::kKeyRead == KEY_READ);
static_assert(w::kRegOptionNonVolatile == REG_OPTION_NON_VOLATILE);
static_assert(w::kRegSz == REG_SZ);
static_assert(w::kErrorSuccess == ERROR_SUCCESS);
static_assert(w::kInternetOpenTypePreconfig == INTERNET_OPEN_TYPE_PRECONFIG);
static_assert(w::kInternetFlagReload == INTERNET_FLAG_RELOAD);
static_assert(w::kInternetFlagTransferBinary == INTERNET_FLAG_TRANSFER_BINARY);
static_assert(w::kInternetFlagNoCacheWrite == INTERNET_FLAG_NO_CACHE_WRITE);
static_assert(w::kHttpQueryContentLength == HTTP_QUERY_CONTENT_LENGTH);
static_assert(w::kHttpQueryStatusCode == HTTP_QUERY_STATUS_CODE);
static_assert(w::kSpFileNotifyFileInCabinet == SPFILENOTIFY_FILEINCABINET);
static_assert(w::kSpFileNotifyFileExtracted == SPFILENOTIFY_FILEEXTRACTED);
static_assert(w::kFileOpSkip == FILEOP_SKIP);
static_assert(w::kFileOpDoIt == FILEOP_DOIT);
static_assert(w::kNoError == NO_ERROR);
static_assert(w::kErrorFileNotFound == ERROR_FILE_NOT_FOUND);
static_assert(w::kFileAttributeNormal == FILE_ATTRIBUTE_NORMAL);
static_assert(w::kInvalidFileAttributes == INVALID_FILE_ATTRIBUTES);
static_assert(w::kFileAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY);
static_assert(w::kCsidlCommonAppData == CSIDL_COMMON_APPDATA);
static_assert(w::kSwShowNormal == SW_SHOWNORMAL);
static_assert(w::kCpUtf8 == CP_UTF8);
static_assert(w::kCpAcp == CP_ACP);
static_assert(w::kLocaleUserDefault == LOCALE_USER_DEFAULT);
static_assert(w::kLocaleSAbbrevCtryName == LOCALE_SABBREVCTRYNAME);
static_assert(w::kSOk == S_OK);

namespace {
// The predefined roots are sign-extended pointers on 64-bit Windows.
HKEY ToKey(Handle h) {
  if (h >= 0x80000000u && h <= 0x80000006u)
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(static_cast<DWORD>(h))));
  return reinterpret_cast<HKEY>(h);
}
Handle FromPtr(const void* p) { return reinterpret_cast<Handle>(p); }
HINTERNET Net(Handle h) { return reinterpret_cast<HINTERNET>(h); }

// Files the adapters open and close within one operation. Kernel handles need
// no port to close them; the type only carries the call and the invalid value.
struct Kernel {};
struct FileTraits {
  using Port = Kernel;
  using Value = HANDLE;
  static inline const Value kInvalid = INVALID_HANDLE_VALUE;
  static void Close(Port&, Value v) { ::CloseHandle(v); }
};
Kernel kernel;
devstart::ScopedHandle<FileTraits> OpenForRead(const std::string& path) {
  return {kernel, CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
}
}  // namespace

// ---- registry ---------------------------------------------------------------
long Registry::OpenKey(Handle root, const std::string& subkey, std::uint32_t sam, Handle* out) {
  HKEY k = nullptr;
  LONG r = RegOpenKeyExA(ToKey(root), subkey.c_str(), 0, sam, &k);
  *out = r == ERROR_SUCCESS ? FromPtr(k) : 0;
  return r;
}
long Registry::CreateKey(Handle root, const std::string& subkey, std::uint32_t options, std::uint32_t sam, Handle* out) {
  HKEY k = nullptr;
  LONG r = RegCreateKeyExA(ToKey(root), subkey.c_str(), 0, nullptr, options, sam, nullptr, &k, nullptr);
  *out = r == ERROR_SUCCESS ? FromPtr(k) : 0;
  return r;
}
long Registry::QueryValue(Handle key, const std::string& name, std::uint32_t size, std::string* data) {
  std::vector<char> buf(size, '\0');
  DWORD type = 0, len = size;
  LONG r = RegQueryValueExA(ToKey(key), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &len);
  data->assign(buf.data(), r == ERROR_SUCCESS ? len : 0);
  return r;
}
long Registry::SetValue(Handle key, const std::string& name, std::uint32_t type, const std::string& data) {
  return RegSetValueExA(ToKey(key), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>(data.size()));
}
long Registry::Flush(Handle key) { return RegFlushKey(ToKey(key)); }
long Registry::Close(Handle key) { return RegCloseKey(ToKey(key)); }

// ---- internet ---------------------------------------------------------------
Handle Internet::Open(const std::string& agent, std::uint32_t accessType, std::uint32_t flags) {
  return FromPtr(InternetOpenA(agent.c_str(), accessType, nullptr, nullptr, flags));
}
Handle Internet::OpenUrl(Handle session, const std::string& url, std::uint32_t flags, std::uintptr_t context) {
  return FromPtr(InternetOpenUrlA(Net(session), url.c_str(), nullptr, 0, flags, context));
}
bool Internet::Read(Handle file, char* buffer, std::uint32_t size, std::uint32_t* read) {
  DWORD got = 0;
  BOOL ok = InternetReadFile(Net(file), buffer, size, &got);
  *read = got;
  return ok != FALSE;
}
bool Internet::QueryInfo(Handle request, std::uint32_t level, std::uint32_t bufferSize, std::string* out) {
  std::vector<char> buf(bufferSize, '\0');
  DWORD len = bufferSize;
  if (!HttpQueryInfoA(Net(request), level, buf.data(), &len, nullptr)) return false;
  out->assign(buf.data(), len < bufferSize ? len : bufferSize);
  return true;
}
void Internet::CloseHandle(Handle h) { InternetCloseHandle(Net(h)); }

// ---- URL download -----------------------------------------------------------
namespace {
// Lives on the caller's stack for one download; reference counting is moot.
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

long UrlDownload::DownloadToFile(const std::string& url, const std::string& path) {
  DownloadStatusCallback cb;
  return URLDownloadToFileA(nullptr, url.c_str(), path.c_str(), 0, &cb);
}

// ---- cabinets ---------------------------------------------------------------
namespace {
UINT CALLBACK CabinetThunk(PVOID context, UINT note, UINT_PTR p1, UINT_PTR) {
  auto& cb = *static_cast<const CabinetCallback*>(context);
  try {
    if (note == SPFILENOTIFY_FILEINCABINET) {
      auto* info = reinterpret_cast<FILE_IN_CABINET_INFO_A*>(p1);
      std::string target;
      UINT r = cb(note, info->NameInCabinet ? info->NameInCabinet : "", &target);
      if (r == FILEOP_DOIT) {
        if (target.size() >= MAX_PATH) return FILEOP_SKIP;
        lstrcpynA(info->FullTargetName, target.c_str(), MAX_PATH);
      }
      return r;
    }
    if (note == SPFILENOTIFY_FILEEXTRACTED) {
      auto* paths = reinterpret_cast<FILEPATHS_A*>(p1);
      std::string dummy;
      return cb(note, paths->Target ? paths->Target : "", &dummy);
    }
    std::string dummy;
    return cb(note, "", &dummy);
  } catch (...) {
    return FILEOP_ABORT;
  }
}
}  // namespace

bool Cabinet::Iterate(const std::string& cabinet, const CabinetCallback& cb) {
  return SetupIterateCabinetA(cabinet.c_str(), 0, CabinetThunk, const_cast<CabinetCallback*>(&cb)) != FALSE;
}

// ---- files ------------------------------------------------------------------
std::string Files::CurrentDirectory() {
  char buf[1000] = {};
  DWORD n = GetCurrentDirectoryA(sizeof buf, buf);
  return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
}
bool Files::CreateDirectory(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != FALSE; }
std::uint32_t Files::GetAttributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }
bool Files::SetAttributes(const std::string& path, std::uint32_t a) { return SetFileAttributesA(path.c_str(), a) != FALSE; }
bool Files::DeleteFile(const std::string& path) { return DeleteFileA(path.c_str()) != FALSE; }
bool Files::CanOpenForRead(const std::string& path) { return OpenForRead(path).valid(); }
std::optional<std::string> Files::ReadHead(const std::string& path, std::uint32_t count) {
  auto file = OpenForRead(path);
  if (!file) return std::nullopt;
  std::string buf(count, '\0');
  DWORD got = 0;
  if (!ReadFile(file.get(), buf.data(), count, &got, nullptr)) return std::nullopt;
  buf.resize(got);
  return buf;
}
std::optional<std::string> Files::VersionValue(const std::string& path, const std::string& subBlock) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (!size) return std::nullopt;
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return std::nullopt;
  void* value = nullptr;
  UINT len = 0;
  if (!VerQueryValueA(block.data(), subBlock.c_str(), &value, &len) || !value) return std::nullopt;
  // String values count characters (with the NUL), binary ones bytes.
  if (subBlock.rfind("\\StringFileInfo", 0) == 0) return std::string(static_cast<const char*>(value));
  return std::string(static_cast<const char*>(value), len);
}

// ---- shell ------------------------------------------------------------------
bool Shell::SpecialFolder(int csidl, bool create, std::string* path) {
  char buf[MAX_PATH + 1] = {};
  if (!SHGetSpecialFolderPathA(nullptr, buf, csidl, create ? TRUE : FALSE)) return false;
  *path = buf;
  return true;
}
std::intptr_t Shell::Execute(const std::string& verb, const std::string& file, const std::string& params,
                             const std::string& dir, int show) {
  return reinterpret_cast<std::intptr_t>(ShellExecuteA(nullptr, verb.c_str(), file.c_str(),
                                                       params.empty() ? nullptr : params.c_str(), dir.c_str(), show));
}

// ---- modules ----------------------------------------------------------------
Handle Modules::Load(const std::string& name) { return FromPtr(LoadLibraryA(name.c_str())); }
void* Modules::Proc(Handle module, const std::string& name) {
  return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(module), name.c_str()));
}

// ---- COM --------------------------------------------------------------------
long Com::Initialize() { return CoInitialize(nullptr); }
void* Com::CreateDocument(const std::string& progId) {
  // IXMLDOMDocument2
  static const IID kIidDocument2 = {0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};
  std::wstring wide(progId.begin(), progId.end());
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(wide.c_str(), &clsid))) return nullptr;
  IUnknown* unknown = nullptr;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&unknown))) ||
      !unknown)
    return nullptr;
  void* document = nullptr;
  if (FAILED(OleRun(unknown)) || FAILED(unknown->QueryInterface(kIidDocument2, &document))) document = nullptr;
  unknown->Release();
  return document;
}
void Com::Release(void* object) { static_cast<IUnknown*>(object)->Release(); }
void Com::Uninitialize() { CoUninitialize(); }

// ---- system -----------------------------------------------------------------
std::string System::LocaleInfo(std::uint32_t locale, std::uint32_t type, int bufferChars) {
  std::vector<char> buf(bufferChars, '\0');
  int n = GetLocaleInfoA(locale, type, buf.data(), bufferChars);
  return n > 0 ? std::string(buf.data()) : std::string();
}
LocalTime System::Now() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}
void System::Sleep(std::uint32_t ms) { ::Sleep(ms); }
std::u16string System::MultiByteToWide(std::uint32_t cp, const std::string& text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(cp, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return {};
  std::u16string out(n, u'\0');
  MultiByteToWideChar(cp, 0, text.data(), static_cast<int>(text.size()), reinterpret_cast<wchar_t*>(out.data()), n);
  return out;
}
std::string System::WideToMultiByte(std::uint32_t cp, const std::u16string& text) {
  if (text.empty()) return {};
  // Twice the wide length in bytes covers every double-byte code page.
  std::string out(text.size() * 2, '\0');
  int n = WideCharToMultiByte(cp, 0, reinterpret_cast<const wchar_t*>(text.data()), static_cast<int>(text.size()),
                              out.data(), static_cast<int>(out.size()), nullptr, nullptr);
  out.resize(n > 0 ? n : 0);
  return out;
}

}  // namespace updlink::win32
