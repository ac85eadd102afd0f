// The operating system as the logic sees it: one small interface per OS
// concern, in Win32 vocabulary. platform/win32 implements each with the real
// calls, tests/fake with an in-memory PC, and one contract suite holds both
// to the same behaviour.
//
// Conventions, for every port:
// - A method is one Win32 call (or the short fixed sequence its comment
//   names) with its arguments passed through unchanged: access masks, flags,
//   verbs, value types and error codes keep their Win32 values
//   (platform/win32_values.h), so a test can see exactly what was asked.
// - Errors are reported as Windows reports them: registry calls return their
//   LSTATUS; BOOL and handle calls return a small record whose `error` is
//   GetLastError() taken right after the call (0 on success); a call whose
//   failure the logic never tells apart returns bool or an empty optional.
// - Out-parameters are written only on success; on failure they keep what
//   the caller put there.
// - Handles are plain values. Owning them (and closing each kind with its
//   own call) is the job of the types in platform/handles.h.
// - The program speaks UTF-16 (std::wstring), the live-update library the
//   ANSI code page (std::string): where both need a concern, the port has
//   both variants as methods, the ANSI ones suffixed "A" as in Win32.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32_values.h"

namespace devstart {

// Handle values as the system gives them: kInvalidHandle is
// INVALID_HANDLE_VALUE, kNullHandle is NULL.
using Handle = std::uintptr_t;
constexpr Handle kInvalidHandle = static_cast<Handle>(-1);
constexpr Handle kNullHandle = 0;
using RegKey = std::uintptr_t;        // an HKEY (win::kHkey... for the predefined roots)
using WindowHandle = std::uintptr_t;  // an HWND

// A BOOL call and its error.
struct CallResult {
  bool ok = false;
  std::uint32_t error = 0;
};
// A handle call: what Windows returned (NULL or INVALID_HANDLE_VALUE on
// failure, as the call has it) and the error.
struct HandleResult {
  Handle handle = kNullHandle;
  std::uint32_t error = 0;
};
// ReadFile or WriteFile: the BOOL, the error, the bytes moved.
// One message taken off the thread's queue (`taken` false when it was
// empty); `quit` holds the exit code when it was the quit message.
struct PumpedMessage {
  bool taken = false;
  std::optional<int> quit;
};

struct IoResult {
  bool ok = false;
  std::uint32_t error = 0;
  std::uint32_t transferred = 0;
};

// ---- clock and system facts ------------------------------------------------

// The fields of OSVERSIONINFOEXW that decisions use.
struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, milliseconds = 0;
};

struct OsVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t build = 0;
  std::uint32_t platform_id = 0;
  std::uint16_t service_pack_major = 0;
  std::uint8_t product_type = 0;  // VER_NT_WORKSTATION, VER_NT_SERVER, ...
};

class ISystemInfo {
 public:
  virtual ~ISystemInfo() = default;
  // GetVersionExW with the extended record; nullopt when the call fails.
  virtual std::optional<OsVersion> GetVersion() = 0;
  // "GetNativeSystemInfo" looked up in kernel32.dll: wProcessorArchitecture;
  // nullopt when the function is missing.
  virtual std::optional<std::uint16_t> GetNativeSystemInfoByName() = 0;
  // GetSystemInfo: wProcessorArchitecture.
  virtual std::uint16_t GetSystemInfo() = 0;
  virtual std::uint16_t GetUserDefaultUILanguage() = 0;
  // "SetThreadUILanguage" looked up in kernel32.dll; nullopt when the library
  // or the function is missing, else the function's result.
  virtual std::optional<std::uint16_t> SetThreadUILanguageByName(std::uint16_t lang) = 0;
  virtual bool SetThreadLocale(std::uint32_t lcid) = 0;
  virtual std::uint32_t GetTickCount() = 0;
  virtual void Sleep(std::uint32_t ms) = 0;
  virtual void OutputDebugString(const std::wstring& text) = 0;
  // GetLocaleInfoA into a buffer of `buffer_chars`; empty on failure.
  virtual std::string GetLocaleInfoA(std::uint32_t locale, std::uint32_t type, int buffer_chars) = 0;
  virtual LocalTime GetLocalTime() = 0;
  // MultiByteToWideChar / WideCharToMultiByte of a whole text; empty on failure.
  virtual std::u16string MultiByteToWideChar(std::uint32_t code_page, const std::string& text) = 0;
  virtual std::string WideCharToMultiByte(std::uint32_t code_page, const std::u16string& text) = 0;
  // FormatMessageW from the system's table, inserts ignored, neutral
  // language; nullopt when the system has no text for the code.
  virtual std::optional<std::wstring> FormatMessage(std::uint32_t code) = 0;
};

// ---- files and folders -----------------------------------------------------

// GetPrivateProfileStringW. `size` is the buffer size in characters; the
// result holds what Windows copied (without the terminator) and its return
// value (the copied length, size - 1 when the value was cut).
struct ProfileRead {
  std::wstring text;
  std::uint32_t returned = 0;
};

// One WIN32_FIND_DATAW, the fields the program reads.
struct FindData {
  std::uint32_t attributes = 0;
  std::uint32_t reparse_tag = 0;  // dwReserved0 when attributes has REPARSE_POINT
  std::wstring name;
};
struct FindResult {
  Handle handle = kInvalidHandle;
  std::uint32_t error = 0;
  FindData data;
};

// Files, folders, named pipes opened as files, and config.ini. File and pipe
// handles are closed with IKernelObjects::CloseHandle, find handles with
// FindClose.
class IFileSystem {
 public:
  virtual ~IFileSystem() = default;
  // GetTempPathW: the folder with its trailing backslash; empty on failure.
  virtual std::wstring GetTempPath() = 0;
  virtual std::wstring GetCurrentDirectory() = 0;
  virtual CallResult SetCurrentDirectory(const std::wstring& path) = 0;
  // GetModuleFileNameW(NULL).
  virtual std::wstring GetModuleFileName() = 0;
  // SHGetSpecialFolderPathW with no owner; nullopt when it fails.
  virtual std::optional<std::wstring> SHGetSpecialFolderPath(int csidl, bool create) = 0;
  // CreateFileW(path, access, share, NULL, disposition, flags, NULL);
  // INVALID_HANDLE_VALUE on failure.
  virtual HandleResult CreateFile(const std::wstring& path, std::uint32_t access, std::uint32_t share,
                                  std::uint32_t disposition, std::uint32_t flags) = 0;
  virtual IoResult WriteFile(Handle file, const void* bytes, std::uint32_t size) = 0;
  // SetFilePointer with no high part: the new position, or
  // INVALID_SET_FILE_POINTER.
  virtual std::uint32_t SetFilePointer(Handle file, std::int32_t distance, std::uint32_t method) = 0;
  virtual IoResult ReadFile(Handle file, void* buffer, std::uint32_t size) = 0;
  virtual CallResult CreateDirectory(const std::wstring& path) = 0;
  virtual CallResult RemoveDirectory(const std::wstring& path) = 0;
  virtual CallResult DeleteFile(const std::wstring& path) = 0;
  virtual CallResult SetFileAttributes(const std::wstring& path, std::uint32_t attributes) = 0;
  virtual CallResult CopyFile(const std::wstring& from, const std::wstring& to, bool fail_if_exists) = 0;
  virtual CallResult MoveFileEx(const std::wstring& from, const std::wstring& to, std::uint32_t flags) = 0;
  virtual FindResult FindFirstFile(const std::wstring& pattern) = 0;
  // FindNextFileW; nullopt when it fails (no more files included).
  virtual std::optional<FindData> FindNextFile(Handle find) = 0;
  virtual bool FindClose(Handle find) = 0;
  virtual ProfileRead GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                              const std::wstring& default_value, std::uint32_t size,
                                              const std::wstring& file) = 0;
  // The ANSI variants the live-update library uses.
  virtual std::string GetCurrentDirectoryA() = 0;
  virtual std::optional<std::string> SHGetSpecialFolderPathA(int csidl, bool create) = 0;
  virtual HandleResult CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share,
                                   std::uint32_t disposition, std::uint32_t flags) = 0;
  virtual CallResult CreateDirectoryA(const std::string& path) = 0;
  virtual CallResult DeleteFileA(const std::string& path) = 0;
  // INVALID_FILE_ATTRIBUTES when the path does not exist.
  virtual std::uint32_t GetFileAttributesA(const std::string& path) = 0;
  virtual CallResult SetFileAttributesA(const std::string& path, std::uint32_t attributes) = 0;
};

// ---- version resources -----------------------------------------------------

// The version fields of VS_FIXEDFILEINFO the program uses.
struct FixedFileInfo {
  std::uint32_t signature = 0;
  std::uint32_t struc_version = 0;
  std::uint32_t file_version_ms = 0;
  std::uint32_t file_version_ls = 0;
  std::uint32_t product_version_ms = 0;
  std::uint32_t product_version_ls = 0;
};

class IVersionInfo {
 public:
  virtual ~IVersionInfo() = default;
  // GetFileVersionInfoSizeW; `handle` receives the value the call returns.
  virtual std::uint32_t GetFileVersionInfoSize(const std::wstring& path, std::uint32_t* handle) = 0;
  // GetFileVersionInfoW into a block of `size` bytes.
  virtual bool GetFileVersionInfo(const std::wstring& path, std::uint32_t handle, std::uint32_t size,
                                  std::vector<std::uint8_t>* block) = 0;
  // VerQueryValueW of the root block "\".
  virtual std::optional<FixedFileInfo> VerQueryRoot(const std::vector<std::uint8_t>& block) = 0;
  // The ANSI variants: the same calls, and VerQueryValueA of any sub-block,
  // returning the value's bytes (a string value up to its terminator).
  virtual std::uint32_t GetFileVersionInfoSizeA(const std::string& path, std::uint32_t* handle) = 0;
  virtual bool GetFileVersionInfoA(const std::string& path, std::uint32_t handle, std::uint32_t size,
                                   std::vector<std::uint8_t>* block) = 0;
  virtual std::optional<std::string> VerQueryValueA(const std::vector<std::uint8_t>& block,
                                                    const std::string& sub_block) = 0;
};

// ---- registry --------------------------------------------------------------

// RegQueryValueExW into a caller buffer of `buffer_bytes` bytes.
struct RegValueRead {
  std::int32_t status = 0;          // the call's result (ERROR_MORE_DATA when too small)
  std::uint32_t type = 0;
  std::uint32_t size = 0;           // byte count the call reported
  std::vector<std::uint8_t> data;   // the bytes written into the buffer on success
};

class IRegistry {
 public:
  virtual ~IRegistry() = default;
  // RegCreateKeyExW with no class and no security attributes.
  virtual std::int32_t RegCreateKeyEx(RegKey parent, const std::wstring& sub_key, std::uint32_t options,
                                      std::uint32_t sam, RegKey* key, std::uint32_t* disposition) = 0;
  virtual RegValueRead RegQueryValueEx(RegKey key, const std::wstring& name, std::uint32_t buffer_bytes) = 0;
  virtual std::int32_t RegSetValueEx(RegKey key, const std::wstring& name, std::uint32_t type,
                                     const std::vector<std::uint8_t>& data) = 0;
  virtual std::int32_t RegCloseKey(RegKey key) = 0;
  // The ANSI variants. RegQueryValueExA reads into a zeroed buffer of `size`
  // bytes; `data` receives the bytes the call reported.
  virtual std::int32_t RegOpenKeyExA(RegKey parent, const std::string& sub_key, std::uint32_t sam, RegKey* key) = 0;
  virtual std::int32_t RegCreateKeyExA(RegKey parent, const std::string& sub_key, std::uint32_t options,
                                       std::uint32_t sam, RegKey* key) = 0;
  virtual std::int32_t RegQueryValueExA(RegKey key, const std::string& name, std::uint32_t size,
                                        std::string* data) = 0;
  virtual std::int32_t RegSetValueExA(RegKey key, const std::string& name, std::uint32_t type,
                                      const std::string& data) = 0;
  virtual std::int32_t RegFlushKey(RegKey key) = 0;
};

// ---- kernel objects --------------------------------------------------------

struct MutexResult {
  Handle handle = kNullHandle;
  std::uint32_t last_error = 0;  // GetLastError right after CreateMutexW (ERROR_ALREADY_EXISTS)
};

// The calls every kernel handle shares, and the named mutexes.
class IKernelObjects {
 public:
  virtual ~IKernelObjects() = default;
  // Files, pipes, snapshots, processes, threads, tokens and mutexes.
  virtual bool CloseHandle(Handle h) = 0;
  virtual MutexResult CreateMutex(bool initial_owner, const std::wstring& name) = 0;
};

// ---- processes and the thread's messages -----------------------------------

struct ProcessEntry {
  std::uint32_t th32ProcessID = 0;
  std::wstring szExeFile;
};

struct ShellExecuteResult {
  bool ok = false;
  Handle process = kNullHandle;  // hProcess with SEE_MASK_NOCLOSEPROCESS
  std::uint32_t last_error = 0;
};

class IProcesses {
 public:
  virtual ~IProcesses() = default;
  // CreateToolhelp32Snapshot; INVALID_HANDLE_VALUE on failure.
  virtual Handle CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t process_id) = 0;
  // Process32FirstW / Process32NextW with dwSize 556; nullopt when the call fails.
  virtual std::optional<ProcessEntry> Process32First(Handle snapshot) = 0;
  virtual std::optional<ProcessEntry> Process32Next(Handle snapshot) = 0;
  // ShellExecuteExW with a record of size 60 and no owner; an empty
  // directory is none (the new process inherits the current directory).
  virtual ShellExecuteResult ShellExecuteEx(std::uint32_t mask, const std::wstring& verb, const std::wstring& file,
                                            const std::wstring& parameters, const std::wstring& directory,
                                            int show) = 0;
  // "GetProcessId" looked up in kernel32.dll; nullopt when it is missing.
  virtual std::optional<std::uint32_t> GetProcessIdByName(Handle process) = 0;
  // "NtQueryInformationProcess" of ntdll.dll, basic information class (0),
  // its UniqueProcessId; nullopt when the entry point is missing or fails.
  virtual std::optional<std::uint32_t> NtQueryProcessIdByName(Handle process) = 0;
  // MsgWaitForMultipleObjects with wait-any.
  virtual std::uint32_t MsgWaitForMultipleObjects(const std::vector<Handle>& handles, std::uint32_t timeout_ms,
                                                  std::uint32_t wake_mask) = 0;
  // PeekMessageW with PM_REMOVE, then TranslateMessage and DispatchMessageW.
  // A quit message is taken but has no window to go to: its exit code comes
  // back instead, so that a pump inside a wait can post it again afterwards.
  virtual PumpedMessage DispatchOneMessage() = 0;
  // PostQuitMessage.
  virtual void PostQuitMessage(int exit_code) = 0;
  // ShellExecuteA with no owner: its HINSTANCE result (> 32 on success).
  virtual std::intptr_t ShellExecuteA(const std::string& verb, const std::string& file, const std::string& parameters,
                                      const std::string& directory, int show) = 0;
  // ShellExecuteW; an empty directory is passed as NULL.
  virtual std::intptr_t ShellExecute(WindowHandle owner, const std::wstring& verb, const std::wstring& file,
                                     const std::wstring& parameters, const std::wstring& directory, int show) = 0;
};

// ---- windows and message boxes ---------------------------------------------

// A message box's caption: none, which MessageBoxW shows as the system's own
// localised "Error", or this text, which may be empty (an empty title bar).
// The program shows both kinds, so they are different values.
using BoxCaption = std::optional<std::wstring>;
inline const BoxCaption kSystemCaption = std::nullopt;

class IWindows {
 public:
  virtual ~IWindows() = default;
  // FindWindowW; an empty class or title is passed as NULL (any).
  virtual WindowHandle FindWindow(const std::wstring& class_name, const std::wstring& title) = 0;
  virtual bool SetWindowPos(WindowHandle w, WindowHandle insert_after, int x, int y, int cx, int cy,
                            std::uint32_t flags) = 0;
  virtual std::intptr_t SendMessage(WindowHandle w, std::uint32_t msg, std::uintptr_t wparam,
                                    std::intptr_t lparam) = 0;
  virtual bool PostMessage(WindowHandle w, std::uint32_t msg, std::uintptr_t wparam, std::intptr_t lparam) = 0;
  // MessageBoxW; returns the button pressed. Only kSystemCaption is passed
  // as NULL.
  virtual int MessageBox(WindowHandle owner, const std::wstring& text, const BoxCaption& caption,
                         std::uint32_t type) = 0;
};

// ---- services and pipes ----------------------------------------------------

// What CreateServiceW is given besides the manager handle.
struct ServiceConfig {
  std::wstring name;
  std::wstring display_name;
  std::uint32_t desired_access = 0;
  std::uint32_t service_type = 0;
  std::uint32_t start_type = 0;
  std::uint32_t error_control = 0;
  std::wstring binary_path;
};

// ControlService: its BOOL, the error, and the SERVICE_STATUS field the
// program reads (zero when Windows did not fill the record).
struct ControlResult {
  bool ok = false;
  std::uint32_t error = 0;
  std::uint32_t current_state = 0;
};

// The service control manager of the local machine and the client calls of
// named pipes (a pipe is opened, written and read through IFileSystem).
class IServices {
 public:
  virtual ~IServices() = default;
  // OpenSCManagerW(NULL, NULL, access).
  virtual HandleResult OpenSCManager(std::uint32_t access) = 0;
  virtual HandleResult OpenService(Handle manager, const std::wstring& name, std::uint32_t access) = 0;
  virtual HandleResult CreateService(Handle manager, const ServiceConfig& config) = 0;
  // ChangeServiceConfig2W with SERVICE_CONFIG_DESCRIPTION.
  virtual CallResult SetServiceDescription(Handle service, const std::wstring& description) = 0;
  virtual ControlResult ControlService(Handle service, std::uint32_t control) = 0;
  // StartServiceW with no arguments.
  virtual CallResult StartService(Handle service) = 0;
  virtual bool CloseServiceHandle(Handle h) = 0;
  virtual CallResult WaitNamedPipe(const std::wstring& name, std::uint32_t timeout_ms) = 0;
  // SetNamedPipeHandleState with a read mode, collection count and time-out
  // left unchanged (NULL).
  virtual CallResult SetNamedPipeHandleState(Handle pipe, std::uint32_t mode) = 0;
};

// ---- account -----------------------------------------------------------------

// A locally unique identifier (LUID) of a privilege.
struct Luid {
  std::uint32_t low = 0;
  std::int32_t high = 0;
};

// Token membership and privileges of the current process.
class ISecurity {
 public:
  virtual ~ISecurity() = default;
  // GetCurrentProcess(): the pseudo handle (never closed).
  virtual Handle GetCurrentProcess() = 0;
  virtual HandleResult OpenProcessToken(Handle process, std::uint32_t access) = 0;
  // CreateWellKnownSid(type, NULL, ...) into a buffer of `buffer_size` bytes;
  // where Windows lacks it (2000), the Administrators SID is built instead.
  virtual std::optional<std::vector<std::uint8_t>> CreateWellKnownSid(std::uint32_t type, std::uint32_t buffer_size,
                                                                      std::uint32_t* error) = 0;
  // CheckTokenMembership; token kNullHandle means the caller's effective token.
  virtual CallResult CheckTokenMembership(Handle token, const std::vector<std::uint8_t>& sid, bool* is_member) = 0;
  // GetTokenInformation(TokenLinkedToken): the linked token's handle.
  virtual HandleResult GetLinkedToken(Handle token) = 0;
  // LookupPrivilegeValueW(NULL, name, ...).
  virtual CallResult LookupPrivilegeValue(const std::wstring& name, Luid* luid) = 0;
  // AdjustTokenPrivileges with one privilege and no previous state.
  virtual CallResult AdjustTokenPrivileges(Handle token, const Luid& luid, std::uint32_t attributes) = 0;
};

// ---- the SCSI command library ------------------------------------------------

// "SendScsiCmd.dll". `data` points to the caller's reply buffer; the result is
// the number of bytes transferred or a negative code.
class IScsiLibrary {
 public:
  virtual ~IScsiLibrary() = default;
  virtual int SendScsiCmd(int drive, int sub_code, int type, std::uint8_t* data, int length) = 0;
};

// ---- modules and their resources -----------------------------------------------

// What a guarded call came to: its result, or the exception that ended it.
// When the exception was a C++ `_com_error` thrown by Microsoft's compiler,
// `com_hresult` is the error it carried.
struct GuardedCall {
  int result = 0;
  bool raised = false;
  std::uint32_t code = 0;
  std::optional<std::int32_t> com_hresult;
};

class IModules {
 public:
  virtual ~IModules() = default;
  // A string of the program's own string tables, looked up by explicit
  // language (FindResourceExW on the string block), so every Windows and Wine
  // give the same answer whatever the thread's UI language is.
  virtual std::optional<std::wstring> LoadString(std::uint32_t id, std::uint16_t lang) = 0;
  // LoadLibraryA (0 on failure) and GetProcAddress (nullptr when missing).
  // Libraries loaded for the phone's identity are never freed.
  virtual Handle LoadLibraryA(const std::string& name) = 0;
  virtual void* GetProcAddress(Handle module, const std::string& name) = 0;
  // LoadLibraryW (0 on failure) and FreeLibrary, for the libraries the
  // program loads from its own folder for one call.
  virtual Handle LoadLibraryW(const std::wstring& path) = 0;
  virtual bool FreeLibrary(Handle module) = 0;
  // Runs `call` inside a structured-exception guard, so that an exception
  // raised by a foreign library (a C++ exception of another compiler reaches
  // this program only as one) ends the call instead of the process.
  virtual GuardedCall CallGuarded(const std::function<int()>& call) = 0;
};

// ---- internet --------------------------------------------------------------------

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
  // URLDownloadToFileA with a status callback that asks for nothing; its HRESULT.
  virtual std::int32_t URLDownloadToFileA(const std::string& url, const std::string& path) = 0;
};

// ---- cabinets --------------------------------------------------------------------

// SetupIterateCabinetA; the callback sees the notification and the name
// inside the cabinet (FILEINCABINET) or the extracted target (FILEEXTRACTED),
// and may set the full target name. Names reach it unchanged. A target that
// does not fit MAX_PATH characters with its terminator is skipped.
using CabinetCallback =
    std::function<std::uint32_t(std::uint32_t notification, const std::string& name, std::string* target)>;
class ICabinets {
 public:
  virtual ~ICabinets() = default;
  virtual bool SetupIterateCabinetA(const std::string& cabinet, const CabinetCallback& callback) = 0;
};

// ---- COM -------------------------------------------------------------------------

class ICom {
 public:
  virtual ~ICom() = default;
  // CoInitialize(NULL): its HRESULT.
  virtual std::int32_t CoInitialize() = 0;
  // CLSIDFromProgID, CoCreateInstance (in-process), OleRun and the query for
  // the document interface; nullptr when any of them fails.
  virtual void* CreateDocument(const std::string& prog_id) = 0;
  // IUnknown::Release of what CreateDocument returned.
  virtual void Release(void* object) = 0;
  virtual void CoUninitialize() = 0;
};

}  // namespace devstart
