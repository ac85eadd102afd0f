// The Win32 adapters of the ports (platform/ports.h): each method is the one
// Win32 call its port names, nothing decided here. Grouped by concern:
// system_adapters.cpp, file_adapters.cpp, registry_adapter.cpp,
// process_adapters.cpp, service_adapters.cpp, internet_adapter.cpp,
// cabinet_adapter.cpp, com_adapter.cpp; the SCSI command library's in
// scsi_adapter.cpp, linked only into the program, the one executable that
// carries SendScsiCmd.dll.
#pragma once

#include "platform/ports.h"

namespace devstart {

class Win32SystemInfo : public ISystemInfo {
 public:
  std::optional<OsVersion> GetVersion() override;
  std::optional<std::uint16_t> GetNativeSystemInfoByName() override;
  std::uint16_t GetSystemInfo() override;
  std::uint16_t GetUserDefaultUILanguage() override;
  std::optional<std::uint16_t> SetThreadUILanguageByName(std::uint16_t lang) override;
  bool SetThreadLocale(std::uint32_t lcid) override;
  std::uint32_t GetTickCount() override;
  void Sleep(std::uint32_t ms) override;
  void OutputDebugString(const std::wstring& text) override;
  std::string GetLocaleInfoA(std::uint32_t locale, std::uint32_t type, int buffer_chars) override;
  LocalTime GetLocalTime() override;
  std::u16string MultiByteToWideChar(std::uint32_t code_page, const std::string& text) override;
  std::string WideCharToMultiByte(std::uint32_t code_page, const std::u16string& text) override;
  std::optional<std::wstring> FormatMessage(std::uint32_t code) override;
};

class Win32FileSystem : public IFileSystem {
 public:
  std::wstring GetTempPath() override;
  std::wstring GetCurrentDirectory() override;
  CallResult SetCurrentDirectory(const std::wstring& path) override;
  std::wstring GetModuleFileName() override;
  std::optional<std::wstring> SHGetSpecialFolderPath(int csidl, bool create) override;
  HandleResult CreateFile(const std::wstring& path, std::uint32_t access, std::uint32_t share,
                          std::uint32_t disposition, std::uint32_t flags) override;
  IoResult WriteFile(Handle file, const void* bytes, std::uint32_t size) override;
  std::uint32_t SetFilePointer(Handle file, std::int32_t distance, std::uint32_t method) override;
  IoResult ReadFile(Handle file, void* buffer, std::uint32_t size) override;
  CallResult CreateDirectory(const std::wstring& path) override;
  CallResult RemoveDirectory(const std::wstring& path) override;
  CallResult DeleteFile(const std::wstring& path) override;
  CallResult SetFileAttributes(const std::wstring& path, std::uint32_t attributes) override;
  CallResult CopyFile(const std::wstring& from, const std::wstring& to, bool fail_if_exists) override;
  CallResult MoveFileEx(const std::wstring& from, const std::wstring& to, std::uint32_t flags) override;
  FindResult FindFirstFile(const std::wstring& pattern) override;
  std::optional<FindData> FindNextFile(Handle find) override;
  bool FindClose(Handle find) override;
  ProfileRead GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                      const std::wstring& default_value, std::uint32_t size,
                                      const std::wstring& file) override;
  std::string GetCurrentDirectoryA() override;
  std::optional<std::string> SHGetSpecialFolderPathA(int csidl, bool create) override;
  HandleResult CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share,
                           std::uint32_t disposition, std::uint32_t flags) override;
  CallResult CreateDirectoryA(const std::string& path) override;
  CallResult DeleteFileA(const std::string& path) override;
  std::uint32_t GetFileAttributesA(const std::string& path) override;
  CallResult SetFileAttributesA(const std::string& path, std::uint32_t attributes) override;
};

class Win32VersionInfo : public IVersionInfo {
 public:
  std::uint32_t GetFileVersionInfoSize(const std::wstring& path, std::uint32_t* handle) override;
  bool GetFileVersionInfo(const std::wstring& path, std::uint32_t handle, std::uint32_t size,
                          std::vector<std::uint8_t>* block) override;
  std::optional<FixedFileInfo> VerQueryRoot(const std::vector<std::uint8_t>& block) override;
  std::uint32_t GetFileVersionInfoSizeA(const std::string& path, std::uint32_t* handle) override;
  bool GetFileVersionInfoA(const std::string& path, std::uint32_t handle, std::uint32_t size,
                           std::vector<std::uint8_t>* block) override;
  std::optional<std::string> VerQueryValueA(const std::vector<std::uint8_t>& block,
                                            const std::string& sub_block) override;
};

class Win32Registry : public IRegistry {
 public:
  std::int32_t RegCreateKeyEx(RegKey parent, const std::wstring& sub_key, std::uint32_t options, std::uint32_t sam,
                              RegKey* key, std::uint32_t* disposition) override;
  RegValueRead RegQueryValueEx(RegKey key, const std::wstring& name, std::uint32_t buffer_bytes) override;
  std::int32_t RegSetValueEx(RegKey key, const std::wstring& name, std::uint32_t type,
                             const std::vector<std::uint8_t>& data) override;
  std::int32_t RegCloseKey(RegKey key) override;
  std::int32_t RegOpenKeyExA(RegKey parent, const std::string& sub_key, std::uint32_t sam, RegKey* key) override;
  std::int32_t RegCreateKeyExA(RegKey parent, const std::string& sub_key, std::uint32_t options, std::uint32_t sam,
                               RegKey* key) override;
  std::int32_t RegQueryValueExA(RegKey key, const std::string& name, std::uint32_t size, std::string* data) override;
  std::int32_t RegSetValueExA(RegKey key, const std::string& name, std::uint32_t type,
                              const std::string& data) override;
  std::int32_t RegFlushKey(RegKey key) override;
};

class Win32KernelObjects : public IKernelObjects {
 public:
  bool CloseHandle(Handle h) override;
  MutexResult CreateMutex(bool initial_owner, const std::wstring& name) override;
};

class Win32Processes : public IProcesses {
 public:
  Handle CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t process_id) override;
  std::optional<ProcessEntry> Process32First(Handle snapshot) override;
  std::optional<ProcessEntry> Process32Next(Handle snapshot) override;
  ShellExecuteResult ShellExecuteEx(std::uint32_t mask, const std::wstring& verb, const std::wstring& file,
                                    const std::wstring& parameters, const std::wstring& directory, int show) override;
  std::optional<std::uint32_t> GetProcessIdByName(Handle process) override;
  std::optional<std::uint32_t> NtQueryProcessIdByName(Handle process) override;
  std::uint32_t MsgWaitForMultipleObjects(const std::vector<Handle>& handles, std::uint32_t timeout_ms,
                                          std::uint32_t wake_mask) override;
  PumpedMessage DispatchOneMessage() override;
  void PostQuitMessage(int exit_code) override;
  std::intptr_t ShellExecute(WindowHandle owner, const std::wstring& verb, const std::wstring& file,
                             const std::wstring& parameters, const std::wstring& directory, int show) override;
  std::intptr_t ShellExecuteA(const std::string& verb, const std::string& file, const std::string& parameters,
                              const std::string& directory, int show) override;
};

class Win32Windows : public IWindows {
 public:
  WindowHandle FindWindow(const std::wstring& class_name, const std::wstring& title) override;
  bool SetWindowPos(WindowHandle w, WindowHandle insert_after, int x, int y, int cx, int cy,
                    std::uint32_t flags) override;
  std::intptr_t SendMessage(WindowHandle w, std::uint32_t msg, std::uintptr_t wparam,
                            std::intptr_t lparam) override;
  bool PostMessage(WindowHandle w, std::uint32_t msg, std::uintptr_t wparam, std::intptr_t lparam) override;
  int MessageBox(WindowHandle owner, const std::wstring& text, const BoxCaption& caption,
                 std::uint32_t type) override;
};

class Win32Services : public IServices {
 public:
  HandleResult OpenSCManager(std::uint32_t access) override;
  HandleResult OpenService(Handle manager, const std::wstring& name, std::uint32_t access) override;
  HandleResult CreateService(Handle manager, const ServiceConfig& config) override;
  CallResult SetServiceDescription(Handle service, const std::wstring& description) override;
  ControlResult ControlService(Handle service, std::uint32_t control) override;
  CallResult StartService(Handle service) override;
  bool CloseServiceHandle(Handle h) override;
  CallResult WaitNamedPipe(const std::wstring& name, std::uint32_t timeout_ms) override;
  CallResult SetNamedPipeHandleState(Handle pipe, std::uint32_t mode) override;
  IoResult PeekNamedPipe(Handle pipe) override;
};

class Win32Security : public ISecurity {
 public:
  Handle GetCurrentProcess() override;
  HandleResult OpenProcessToken(Handle process, std::uint32_t access) override;
  std::optional<std::vector<std::uint8_t>> CreateWellKnownSid(std::uint32_t type, std::uint32_t buffer_size,
                                                              std::uint32_t* error) override;
  CallResult CheckTokenMembership(Handle token, const std::vector<std::uint8_t>& sid, bool* is_member) override;
  HandleResult GetLinkedToken(Handle token) override;
  CallResult LookupPrivilegeValue(const std::wstring& name, Luid* luid) override;
  CallResult AdjustTokenPrivileges(Handle token, const Luid& luid, std::uint32_t attributes) override;
};

// Defined in scsi_adapter.cpp: whoever constructs one imports SendScsiCmd.dll.
class Win32ScsiLibrary : public IScsiLibrary {
 public:
  int SendScsiCmd(int drive, int sub_code, int type, std::uint8_t* data, int length) override;
};

// The string tables of one module: the program itself unless told otherwise
// (the resource tests read a built program loaded as data).
class Win32Modules : public IModules {
 public:
  explicit Win32Modules(void* module = nullptr) : module_(module) {}
  std::optional<std::wstring> LoadString(std::uint32_t id, std::uint16_t lang) override;
  Handle LoadLibraryA(const std::string& name) override;
  void* GetProcAddress(Handle module, const std::string& name) override;
  Handle LoadLibraryW(const std::wstring& path) override;
  bool FreeLibrary(Handle module) override;
  GuardedCall CallGuarded(const std::function<int()>& call) override;
  GuardedLoad LoadLibraryGuarded(const std::wstring& path) override;
  bool DropCurrentDirectoryFromSearch() override;

 private:
  void* module_;  // an HMODULE
};

class Win32Internet : public IInternet {
 public:
  Handle InternetOpenA(const std::string& agent, std::uint32_t access_type, std::uint32_t flags) override;
  Handle InternetOpenUrlA(Handle session, const std::string& url, std::uint32_t flags,
                          std::uintptr_t context) override;
  bool InternetReadFile(Handle file, char* buffer, std::uint32_t size, std::uint32_t* read) override;
  bool HttpQueryInfoA(Handle request, std::uint32_t level, std::uint32_t buffer_size, std::string* out) override;
  bool InternetCloseHandle(Handle h) override;
  Handle InternetOpenW(const std::wstring& agent, std::uint32_t access_type, std::uint32_t flags) override;
  Handle InternetOpenUrlW(Handle session, const std::wstring& url, std::uint32_t flags) override;
  bool InternetSetOption(Handle h, std::uint32_t option, std::uint32_t value) override;
  bool InternetQueryDataAvailable(Handle file, std::uint32_t* available) override;
  std::int32_t URLDownloadToFileA(const std::string& url, const std::string& path,
                                  const DownloadLimits& limits) override;
};

class Win32Cabinets : public ICabinets {
 public:
  bool SetupIterateCabinetA(const std::string& cabinet, const CabinetCallback& callback) override;
};

class Win32Com : public ICom {
 public:
  std::int32_t CoInitialize() override;
  void* CreateDocument(const std::string& prog_id) override;
  void Release(void* object) override;
  void CoUninitialize() override;
};

}  // namespace devstart
