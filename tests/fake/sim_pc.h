// The simulated PC: in-memory fakes of every port, so a native test can set up
// "Windows XP, German, config.ini with these keys" in a few lines. Contract
// tests hold these fakes to what Wine's real functions do.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/machine.h"
#include "platform/ports.h"
#include "fake/sim_inspect.h"
#include "fake/sim_device.h"

namespace devstart::sim {

// Case-insensitive key for paths and names, as Windows compares them.
std::wstring Fold(const std::wstring& s);

class FakeFileSystem {
 public:
  std::wstring current_directory = L"C:\\";
  // Absolute form of a path relative to the current directory.
  std::wstring Absolute(const std::wstring& path) const;
  void Put(const std::wstring& path, const std::string& bytes);
  std::optional<std::string> Get(const std::wstring& path) const;
  bool Exists(const std::wstring& path) const { return Get(path).has_value(); }
  void MakeFolder(const std::wstring& path);
  bool FolderExists(const std::wstring& path) const;
  // Folders where nothing can be created (an unwritable temporary folder).
  std::set<std::wstring> read_only_folders;
  bool IsWritable(const std::wstring& path) const;
  // Removal and listing for the folder operations (defined in sim_device.cpp).
  bool RemoveFile(const std::wstring& path);
  bool RemoveFolder(const std::wstring& path);
  // Folded names of the files and folders directly inside `folder`.
  std::vector<std::wstring> Children(const std::wstring& folder) const;

 private:
  std::map<std::wstring, std::string> files_;
  std::set<std::wstring> folders_;
};

class FakeSystem : public ISystem {
 public:
  explicit FakeSystem(FakeFileSystem& fs) : fs_(fs) {}
  std::wstring temp_path = L"C:\\Users\\user\\AppData\\Local\\Temp\\";
  std::wstring module_path = L"E:\\Devstart.exe";
  std::optional<OsVersion> version = OsVersion{6, 1, 7601, 2, 1, 1};
  std::uint16_t ui_language = 0x0809;
  bool has_set_thread_ui_language = true;
  std::uint32_t tick = 100000;
  // What the program did to the thread's language and the debugger.
  std::vector<std::uint16_t> thread_ui_language_calls;
  std::vector<std::uint32_t> thread_locale_calls;
  std::vector<std::wstring> debug_output;

  std::wstring GetTempPath() override { return temp_path; }
  std::wstring GetCurrentDirectory() override { return fs_.current_directory; }
  std::wstring GetModuleFileName() override { return module_path; }
  std::optional<OsVersion> GetVersion() override { return version; }
  std::uint16_t GetUserDefaultUILanguage() override { return ui_language; }
  std::optional<std::uint16_t> SetThreadUILanguageByName(std::uint16_t lang) override;
  bool SetThreadLocale(std::uint32_t lcid) override;
  std::uint32_t GetTickCount() override { return tick; }
  void OutputDebugString(const std::wstring& text) override { debug_output.push_back(text); }

 private:
  FakeFileSystem& fs_;
};

class FakeFiles : public IFiles {
 public:
  explicit FakeFiles(FakeFileSystem& fs) : fs_(fs) {}
  Handle CreateFile(const std::wstring& path, std::uint32_t access, std::uint32_t share,
                    std::uint32_t disposition, std::uint32_t attributes) override;
  bool WriteFile(Handle file, const void* bytes, std::uint32_t size) override;
  bool CloseHandle(Handle h) override;

 private:
  struct Open {
    std::wstring path;
    std::size_t position = 0;
  };
  FakeFileSystem& fs_;
  std::map<Handle, Open> open_;
  Handle next_ = 0x100;
};

// GetPrivateProfileStringW as Wine does it: BOM-detected encoding, sections and
// keys without regard to case, blanks around keys and values dropped, one pair
// of matching quotes around a value dropped, the first of duplicate keys wins.
class FakeProfile : public IProfile {
 public:
  explicit FakeProfile(FakeFileSystem& fs) : fs_(fs) {}
  ProfileRead GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                      const std::wstring& default_value, std::uint32_t size,
                                      const std::wstring& file) override;
  // Every call, to check the buffer sizes the reader asked for.
  std::vector<std::uint32_t> sizes_asked;

 private:
  FakeFileSystem& fs_;
};

class FakeSync : public ISync {
 public:
  MutexResult CreateMutex(bool initial_owner, const std::wstring& name) override;
  bool CloseHandle(Handle h) override;
  // Names held by other processes, and the ones created by the program.
  std::set<std::wstring> existing;
  std::vector<std::wstring> created;
  std::set<Handle> open;

 private:
  std::map<Handle, std::wstring> names_;
  Handle next_ = 0x200;
};

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
  };
  std::vector<Window> windows;
  std::vector<Call> calls;
  int message_box_answer = win::kIdOk;

  WindowHandle FindWindow(const std::wstring& class_name, const std::wstring& title) override;
  bool SetWindowPos(WindowHandle w, WindowHandle insert_after, int x, int y, int cx, int cy,
                    std::uint32_t flags) override;
  std::intptr_t SendMessage(WindowHandle w, std::uint32_t msg, std::uintptr_t wparam,
                            std::intptr_t lparam) override;
  int MessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
                 std::uint32_t type) override;
  std::vector<Call> MessageBoxes() const;
};

// The program's string tables, generated from the same text files as the
// resource script.
class FakeStringResources : public IStringResources {
 public:
  std::optional<std::wstring> LoadString(std::uint32_t id, std::uint16_t lang) override;
  static std::vector<std::uint16_t> Languages();
  static std::vector<std::uint32_t> Ids(std::uint16_t lang);
};

// One simulated PC with every port.
struct SimPc {
  SimPc() { fs.MakeFolder(system.temp_path); }
  FakeFileSystem fs;
  FakeSystem system{fs};
  FakeFiles files{fs};
  FakeProfile profile{fs};
  FakeSync sync;
  FakeWindows windows;
  FakeStringResources strings;
  // Registry, versions, processes, windows of other programs, architecture.
  SimInspect inspect{fs};
  // The phone, the SCSI command service, pipes, the token, folder operations.
  SimDevice device{fs};

  // The ports as the program sees them.
  Machine machine();

  // Content of a file decoded from UTF-16LE (the trace log's form).
  std::wstring ReadUtf16(const std::wstring& path) const;
  // Trace lines without their "[ms]" prefix.
  std::vector<std::wstring> TraceLines() const;
};

std::string Utf8(const std::wstring& s);

}  // namespace devstart::sim
