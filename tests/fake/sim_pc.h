// The simulated PC: one in-memory fake per port, so a native test can set up
// "Windows XP, German, config.ini with these keys" in a few lines. The
// contract suite holds these fakes to what Wine's real functions do.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fake/sim_files.h"
#include "fake/sim_kernel.h"
#include "fake/sim_online.h"
#include "fake/sim_processes.h"
#include "fake/sim_registry.h"
#include "fake/sim_services.h"
#include "platform/machine.h"
#include "update/live_update.h"

namespace devstart::sim {

class FakeSystemInfo : public ISystemInfo {
 public:
  // Sleep is time passing for the processes too.
  explicit FakeSystemInfo(FakeProcesses& processes) : processes_(processes) {}
  std::optional<OsVersion> version = OsVersion{6, 1, 7601, 2, 1, 1};
  std::optional<std::uint16_t> native_architecture = win::kProcessorArchitectureAmd64;  // nullopt: no such function
  std::uint16_t system_info_architecture = win::kProcessorArchitectureIntel;
  std::uint16_t ui_language = 0x0809;
  bool has_set_thread_ui_language = true;
  std::uint32_t tick = 100000;
  // The user's locale (LOCALE_USER_DEFAULT) by information type, and the
  // local time, which stands still.
  std::map<std::uint32_t, std::string> user_locale = {{win::kLocaleSAbbrevCtryName, "GBR"}};
  LocalTime local_time{2026, 12, 7, 10, 30, 15, 123};
  // What the program did to the thread's language, the debugger and time.
  std::vector<std::uint16_t> thread_ui_language_calls;
  std::vector<std::uint32_t> thread_locale_calls;
  std::vector<std::wstring> debug_output;
  std::uint64_t slept_ms = 0;
  int sleeps = 0;
  std::vector<std::uint32_t> sleep_calls;  // the milliseconds of every Sleep

  std::optional<OsVersion> GetVersion() override { return version; }
  std::optional<std::uint16_t> GetNativeSystemInfoByName() override { return native_architecture; }
  std::uint16_t GetSystemInfo() override { return system_info_architecture; }
  std::uint16_t GetUserDefaultUILanguage() override { return ui_language; }
  std::optional<std::uint16_t> SetThreadUILanguageByName(std::uint16_t lang) override;
  bool SetThreadLocale(std::uint32_t lcid) override;
  std::uint32_t GetTickCount() override { return tick; }
  void Sleep(std::uint32_t ms) override;
  void OutputDebugString(const std::wstring& text) override { debug_output.push_back(text); }
  // Empty when the value (with its terminator) does not fit the buffer.
  std::string GetLocaleInfoA(std::uint32_t locale, std::uint32_t type, int buffer_chars) override;
  LocalTime GetLocalTime() override { return local_time; }
  // From UTF-8 or the ANSI code page (Latin-1 here), to the ANSI code page;
  // other code pages fail.
  std::u16string MultiByteToWideChar(std::uint32_t code_page, const std::string& text) override;
  std::string WideCharToMultiByte(std::uint32_t code_page, const std::u16string& text) override;
  // The system's message texts by code, as FormatMessage gives them.
  std::map<std::uint32_t, std::wstring> messages = {{0x80004005u, L"Unspecified error\r\n"}};
  std::optional<std::wstring> FormatMessage(std::uint32_t code) override;
  // The ANSI code page as a double-byte one: a character above U+00FF takes
  // two bytes (the first with its high bit set) instead of becoming '?'.
  bool double_byte_ansi = false;

 private:
  FakeProcesses& processes_;
};

// Top-level windows of other programs, and the message boxes.
class FakeWindows : public IWindows {
 public:
  struct Window {
    WindowHandle handle;
    std::wstring class_name;
    std::wstring title;
  };
  struct Call {
    std::wstring what;  // "SetWindowPos", "SendMessage", "MessageBox"
    WindowHandle window = 0;
    std::uintptr_t a = 0;
    std::uintptr_t b = 0;
    std::wstring text;
    std::wstring caption;
    BoxCaption box_caption;  // a message box's, none kept apart from empty
  };
  struct Post {
    WindowHandle window;
    std::uint32_t msg;
    std::uintptr_t wparam;
    std::intptr_t lparam;
  };
  std::vector<Window> windows;
  std::vector<Call> calls;
  std::vector<Post> posts;
  int message_box_answer = win::kIdOk;

  WindowHandle FindWindow(const std::wstring& class_name, const std::wstring& title) override;
  bool SetWindowPos(WindowHandle w, WindowHandle insert_after, int x, int y, int cx, int cy,
                    std::uint32_t flags) override;
  std::intptr_t SendMessage(WindowHandle w, std::uint32_t msg, std::uintptr_t wparam,
                            std::intptr_t lparam) override;
  bool PostMessage(WindowHandle w, std::uint32_t msg, std::uintptr_t wparam, std::intptr_t lparam) override;
  int MessageBox(WindowHandle owner, const std::wstring& text, const BoxCaption& caption,
                 std::uint32_t type) override;
  std::vector<Call> MessageBoxes() const;
};

// What a foreign library throws in the simulation, where a real one would
// raise a structured exception; CallGuarded catches it.
struct RaisedException {
  std::uint32_t code;
  std::optional<std::int32_t> com_hresult;
};

// The check library's behaviour: the answer of each of its ten buffers (as
// bytes; 260 of them leave no terminator), its result or what it raises
// after filling them, and what it was given in arguments 11 and 12.
struct CheckLibrary {
  std::vector<std::string> answers = std::vector<std::string>(10);
  int result = 1;
  std::optional<std::uint32_t> raises;
  std::optional<std::int32_t> com_hresult;
  std::vector<std::pair<std::string, std::string>> calls;
};

// A file on the simulated disk holding this is the check library.
inline const std::string kCheckLibraryContent = "check library";
// Libraries whose entry point raises an access violation on attach (past
// the loader, or caught by it, which fails the load with the exception's
// status as Wine does), or answers FALSE to it (the load fails with 1114).
inline const std::string kRaisingLibraryContent = "DllMain raises";
inline const std::string kLoaderCaughtLibraryContent = "DllMain raises, the loader catches it";
inline const std::string kFailingLibraryContent = "DllMain fails";

// The program's string tables, generated from the same text files as the
// resource script, the libraries the live-update library loads, and those
// the program loads by path. What a file holds decides what it is: the check
// library (kCheckLibraryContent), an update library whose StartUpdate
// records its tag ("StartUpdate:<tag>"), or a library without either export.
class FakeModules : public IModules {
 public:
  IdentityPhone identity;
  FakeFiles* files = nullptr;
  CheckLibrary check;
  std::vector<std::wstring> loads;        // every LoadLibraryW and guarded load path
  std::vector<std::string> loads_a;       // every LoadLibraryA name
  // How many loads had been made when the current directory left the
  // search; -1 while it has not.
  int search_dropped_after = -1;
  std::vector<std::wstring> update_runs;  // "<tag> <current directory>" of every StartUpdate
  std::wstring running_tag;
  int loaded_libraries() const { return static_cast<int>(libraries_.size()); }

  std::optional<std::wstring> LoadString(std::uint32_t id, std::uint16_t lang) override;
  Handle LoadLibraryA(const std::string& name) override {
    loads_a.push_back(name);
    return identity.Load(name);
  }
  void* GetProcAddress(Handle module, const std::string& name) override;
  Handle LoadLibraryW(const std::wstring& path) override;
  bool FreeLibrary(Handle module) override;
  GuardedCall CallGuarded(const std::function<int()>& call) override;
  GuardedLoad LoadLibraryGuarded(const std::wstring& path) override;
  bool DropCurrentDirectoryFromSearch() override {
    search_dropped_after = static_cast<int>(loads.size() + loads_a.size());
    return true;
  }
  static std::vector<std::uint16_t> Languages();
  static std::vector<std::uint32_t> Ids(std::uint16_t lang);

 private:
  std::map<Handle, std::string> libraries_;
  Handle next_library_ = 0x30000000;
};

// One simulated PC with every port. Its pipe for the SCSI command service
// answers through the phone while that service runs.
struct SimPc {
  SimPc();
  SimPc(const SimPc&) = delete;
  SimPc& operator=(const SimPc&) = delete;

  KernelHandles handles;
  PipeServer pipes;
  FakeFiles files{handles, pipes};
  FakeVersionInfo versions{files};
  FakeRegistry registry;
  FakeProcesses processes{handles};
  FakeSystemInfo system{processes};
  FakeKernelObjects kernel{handles};
  FakeWindows windows;
  FakeServices services{pipes};
  FakeSecurity security{handles};
  FakeScsiLibrary phone;
  FakeModules modules;
  FakeInternet internet{files};
  FakeCabinets cabinets{files};
  FakeCom com;

  // The ports as the program sees them.
  Machine machine();

  // The SCSI command service as the installer registers it, in a state.
  FakeServices::Service& InstallService(std::uint32_t state);
  bool ServiceRuns();

  // Content of a file decoded from UTF-16LE (the trace log's form).
  std::wstring ReadUtf16(const std::wstring& path) const;
  // Trace lines without their "[ms]" prefix.
  std::vector<std::wstring> TraceLines() const;
};

}  // namespace devstart::sim
