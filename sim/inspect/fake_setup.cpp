// A setup stand-in. The installer copies only the setup program into a
// staging folder of its own, starts it there without arguments and deletes
// the folder afterwards, so the setup carries what it installs as a resource
// and keeps its settings and log in a fixed folder of the machine, named by
// its role rather than by its file name (the copy may be renamed).
// Settings: C:\sim-setups\<role>.cfg, section [setup], overridden by /key=value
// arguments:
//   mode    = install (default) | run | never | crash | noinstall | handoff
//   seconds = how long "run" takes before it installs; "handoff" starts a
//             copy of itself in "run" mode for that long and ends at once
//   version = the version it records (driver and VTP: DisplayVersion; ITK: Version)
//   folder  = A (default) or B: the driver folder
//   code    = 1, 2 or 3: which of the driver's product codes gets the uninstall entry
//   files   = 1 (default) or 0: whether the driver setup installs its files
// Every start and end is appended to C:\sim-setups\<role>.log.
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "utf8_out.h"

namespace {

#if defined(ROLE_DRIVERSETUP)
const wchar_t kRole[] = L"DriverSetup";
#elif defined(ROLE_VTPSETUP)
const wchar_t kRole[] = L"VTPSetup";
#else
const wchar_t kRole[] = L"ITKSetup";
#endif

const wchar_t kSetupsFolder[] = L"C:\\sim-setups";

std::wstring SetupsFile(const wchar_t* extension) {
  return std::wstring(kSetupsFolder) + L"\\" + kRole + extension;
}

std::vector<std::wstring> Arguments() {
  std::vector<std::wstring> args;
  int argc = 0;
  if (wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc)) {
    args.assign(argv + 1, argv + argc);
    ::LocalFree(argv);
  }
  return args;
}

std::wstring Setting(const wchar_t* key, const wchar_t* fallback) {
  static const std::vector<std::wstring> args = Arguments();
  std::wstring arg = std::wstring(L"/") + key + L"=";
  for (const std::wstring& a : args) {
    if (a.rfind(arg, 0) == 0) return a.substr(arg.size());
  }
  wchar_t buf[512] = {};
  ::GetPrivateProfileStringW(L"setup", key, fallback, buf, 512, SetupsFile(L".cfg").c_str());
  return buf;
}

void Log(const std::wstring& line) {
  ::CreateDirectoryW(kSetupsFolder, nullptr);
  HANDLE f = ::CreateFileW(SetupsFile(L".log").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  utf8out::WriteLine(f, line);
  ::CloseHandle(f);
}

// What this setup installs, built into it (see CMakeLists.txt).
bool WritePayload(const std::wstring& path) {
  HRSRC found = ::FindResourceW(nullptr, L"PAYLOAD", RT_RCDATA);
  HGLOBAL loaded = found ? ::LoadResource(nullptr, found) : nullptr;
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (!data) return false;
  DWORD size = ::SizeofResource(nullptr, found);
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = ::WriteFile(f, data, size, &written, nullptr) && written == size;
  return ::CloseHandle(f) && ok;
}

std::wstring ProgramFilesX86() {
  wchar_t buf[MAX_PATH] = {};
  // The installer is a 32-bit program: it looks in the 32-bit Program Files.
  if (!::SHGetSpecialFolderPathW(nullptr, buf, CSIDL_PROGRAM_FILESX86, TRUE)) {
    ::SHGetSpecialFolderPathW(nullptr, buf, CSIDL_PROGRAM_FILES, TRUE);
  }
  return buf;
}

void MakeFolders(const std::wstring& path) {
  for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
    ::CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
  }
  ::CreateDirectoryW(path.c_str(), nullptr);
}

bool SetString(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY k = nullptr;
  if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &k,
                        nullptr) != ERROR_SUCCESS) {
    return false;
  }
  LONG r = ::RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(k);
  return r == ERROR_SUCCESS;
}

[[maybe_unused]] std::wstring Uninstall(const std::wstring& code) {
  return L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + code;
}

bool Install() {
#if defined(ROLE_DRIVERSETUP)
  static const wchar_t* kCodes[] = {L"{FA02ACAC-9E14-4878-A257-92A22A647C2C}", L"{C3ABE126-2BB2-4246-BFE1-6797679B3579}",
                                    L"{E1640DA5-89B4-4F52-B15D-5DA3D14F29D4}"};
  std::wstring folder = ProgramFilesX86() + (Setting(L"folder", L"A") == L"B"
                                                 ? L"\\Tavo Electronics\\Tavo USB Modem Driver\\"
                                                 : L"\\Tavo Electronics\\Tavo USB Modem Drivers\\");
  SYSTEM_INFO si{};
  ::GetNativeSystemInfo(&si);
  bool x64 = si.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
  const wchar_t* names[] = {x64 ? L"tavox64modem.sys" : L"tavousbmodem.sys", x64 ? L"tavox64bus.sys" : L"tavousbbus.sys",
                            x64 ? L"tavox64diag.sys" : L"tavousbdiag.sys"};
  if (Setting(L"files", L"1") == L"1") {
    MakeFolders(folder);
    for (const wchar_t* n : names) {
      if (!WritePayload(folder + n)) return false;
    }
  }
  int code = _wtoi(Setting(L"code", L"1").c_str());
  if (code < 1 || code > 3) code = 1;
  return SetString(Uninstall(kCodes[code - 1]), L"DisplayVersion", Setting(L"version", L"2.5.0.12"));
#elif defined(ROLE_VTPSETUP)
  std::wstring folder = ProgramFilesX86() + L"\\Tavo Electronics\\VTP\\";
  MakeFolders(folder);
  if (!WritePayload(folder + L"VTP.exe")) return false;
  std::wstring key = Uninstall(L"{34A0FF07-F11A-4157-84A3-92F8AD688CBF}");
  return SetString(key, L"InstallLocation", folder) && SetString(key, L"DisplayVersion", Setting(L"version", L"1.2.0.0"));
#else
  std::wstring folder = ProgramFilesX86() + L"\\Tavo Electronics\\Tavo Internet Kit\\";
  MakeFolders(folder);
  if (!WritePayload(folder + L"InternetKit.exe")) return false;
  std::wstring key = L"SOFTWARE\\Tavo Electronics\\Tavo Internet Kit\\1.0";
  return SetString(key, L"Path", folder) && SetString(key, L"Version", Setting(L"version", L"3.0.0.0"));
#endif
}

}  // namespace

int wmain() {
  std::wstring mode = Setting(L"mode", L"install");
  Log(L"started " + mode + L" pid " + std::to_wstring(::GetCurrentProcessId()));
  if (mode == L"never") {
    for (;;) ::Sleep(INFINITE);
  }
  if (mode == L"crash") {
    Log(L"crashing");
    ::TerminateProcess(::GetCurrentProcess(), 0xC0000005);
  }
  if (mode == L"handoff") {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" /mode=run /seconds=" + Setting(L"seconds", L"3");
    STARTUPINFOW startup{};
    startup.cb = static_cast<DWORD>(sizeof startup);
    PROCESS_INFORMATION child{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child)) {
      Log(L"handoff failed");
      return 1;
    }
    Log(L"handed off to pid " + std::to_wstring(child.dwProcessId));
    ::CloseHandle(child.hThread);
    ::CloseHandle(child.hProcess);
    return 0;
  }
  if (mode == L"noinstall") {
    Log(L"finished without installing");
    return 0;
  }
  if (mode == L"run") ::Sleep(static_cast<DWORD>(_wtoi(Setting(L"seconds", L"3").c_str())) * 1000);
  bool ok = Install();
  Log(ok ? L"installed" : L"install failed");
  return ok ? 0 : 1;
}
