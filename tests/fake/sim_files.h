// The simulated PC's disk: drive letters, folders, files with attributes,
// files in use, links (junctions), special folders and config.ini reading;
// named pipes opened through the same CreateFile; version resources of files.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fake/sim_kernel.h"

namespace devstart::sim {

// The server side of every named pipe. A pipe exists when `server` answers
// for its name; busy rounds and failures are scripted per exchange. The file
// system routes CreateFile, ReadFile and WriteFile of `\\.\pipe\NAME` here,
// the service port WaitNamedPipe and SetNamedPipeHandleState.
class PipeServer : public KernelObjectOwner {
 public:
  // Answers one request (raw bytes) with a reply; nullopt = no such pipe.
  std::function<std::optional<std::string>(const std::wstring& name, const std::string& request)> server;
  int busy_opens = 0;          // this many opens fail with ERROR_PIPE_BUSY first
  bool wait_fails = false;     // WaitNamedPipe fails (time-out)
  bool set_state_fails = false;
  bool write_fails = false;
  // Peeks that find nothing yet while the service works on the request;
  // -1: it never answers and keeps the connection open.
  int quiet_peeks = 0;
  // Replies read in pieces, each with its ReadFile error (0 = success);
  // when empty, the server's reply is read at once.
  std::deque<std::pair<std::string, std::uint32_t>> scripted_reads;
  std::vector<std::string> requests;
  // Every client call, e.g. "SetNamedPipeHandleState 0".
  std::vector<std::wstring> calls;
  std::set<Handle> open_handles;

  static bool IsPipePath(const std::wstring& path);
  bool Has(Handle h) const { return connections_.count(h) != 0; }
  HandleResult Open(KernelHandles& handles, const std::wstring& name, std::uint32_t access, std::uint32_t share,
                    std::uint32_t disposition, std::uint32_t flags);
  IoResult Write(Handle pipe, const void* bytes, std::uint32_t size);
  IoResult Read(Handle pipe, void* buffer, std::uint32_t size);
  CallResult Wait(const std::wstring& name, std::uint32_t timeout_ms);
  CallResult SetState(Handle pipe, std::uint32_t mode);
  IoResult Peek(Handle pipe);
  bool Release(Handle h) override;

 private:
  struct Connection {
    std::wstring name;
    std::string pending;  // the reply not read yet
  };
  std::map<Handle, Connection> connections_;
};

class FakeFiles : public IFileSystem, public KernelObjectOwner {
 public:
  FakeFiles(KernelHandles& handles, PipeServer& pipes) : handles_(handles), pipes_(pipes) {}

  std::wstring temp_path = L"C:\\Users\\user\\AppData\\Local\\Temp\\";
  std::wstring module_path = L"E:\\Devstart.exe";
  std::wstring current_directory = L"C:\\";
  std::map<int, std::wstring> special_folders = {{win::kCsidlSystemX86, L"C:\\windows\\system32"},
                                                 {win::kCsidlSystem, L"C:\\windows\\system32"},
                                                 {win::kCsidlProgramFiles, L"C:\\Program Files (x86)"}};
  // Folders where nothing can be created (an unwritable temporary folder).
  std::set<std::wstring> read_only_folders;
  // Folded path -> attributes (files without an entry are normal).
  std::map<std::wstring, std::uint32_t> attributes;
  std::set<std::wstring> in_use;  // folded paths of files that cannot be deleted
  // Folded link path -> target folder.
  std::map<std::wstring, std::wstring> links;
  // Faults of the disk. Folded path -> the error reading that file gives (a
  // damaged CD); drive letter (upper case) -> the error every call on a drive
  // that went away gives; drive letter -> bytes left before the disk is full.
  std::map<std::wstring, std::uint32_t> read_errors;
  std::map<wchar_t, std::uint32_t> gone_drives;
  std::map<wchar_t, std::size_t> free_bytes;
  // Called with the source as each CopyFile begins: a row can pull the CD
  // out in the middle of the copies.
  std::function<void(const std::wstring& from)> before_copy;
  // The folder operations asked for, e.g. "CreateDirectory C:\x".
  std::vector<std::wstring> calls;
  // The buffer size of every GetPrivateProfileString.
  std::vector<std::uint32_t> profile_sizes_asked;
  std::set<Handle> open_files;

  // Set-up and inspection behind the ports' back. Paths may be relative to
  // the current directory; Put makes the folders on the way.
  std::wstring Absolute(const std::wstring& path) const;
  void Put(const std::wstring& path, const std::string& bytes);
  std::optional<std::string> Get(const std::wstring& path) const;
  bool Exists(const std::wstring& path) const { return files_.count(Key(path)) != 0; }
  void MakeFolder(const std::wstring& path);
  bool FolderExists(const std::wstring& path) const;
  // A junction, or with `symbolic` a directory symbolic link.
  void AddLink(const std::wstring& link, const std::wstring& target, bool symbolic = false);
  void SetAttributes(const std::wstring& path, std::uint32_t attributes);
  // Writes a whole file as CreateFile (always), WriteFile and CloseHandle
  // would, for the fakes that write files for the program (downloads,
  // cabinets): what those calls refuse fails here. The error, 0 on success.
  std::uint32_t Store(const std::wstring& path, const std::string& bytes);

  std::wstring GetTempPath() override { return temp_path; }
  std::wstring GetCurrentDirectory() override { return current_directory; }
  // As Windows keeps it: absolute, without a trailing backslash but at a root.
  CallResult SetCurrentDirectory(const std::wstring& path) override;
  std::wstring GetModuleFileName() override { return module_path; }
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
  // As Wine does it: BOM-detected encoding, sections and keys without regard
  // to case, blanks around keys and values dropped, one pair of matching
  // quotes around a value dropped, the first of duplicate keys wins.
  ProfileRead GetPrivateProfileString(const std::wstring& section, const std::wstring& key,
                                      const std::wstring& default_value, std::uint32_t size,
                                      const std::wstring& file) override;
  // The ANSI variants: the same disk, the path widened byte for byte.
  std::string GetCurrentDirectoryA() override { return Narrow(current_directory); }
  std::optional<std::string> SHGetSpecialFolderPathA(int csidl, bool create) override;
  HandleResult CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t share,
                           std::uint32_t disposition, std::uint32_t flags) override {
    return CreateFile(Widen(path), access, share, disposition, flags);
  }
  CallResult CreateDirectoryA(const std::string& path) override { return CreateDirectory(Widen(path)); }
  CallResult DeleteFileA(const std::string& path) override { return DeleteFile(Widen(path)); }
  std::uint32_t GetFileAttributesA(const std::string& path) override;
  CallResult SetFileAttributesA(const std::string& path, std::uint32_t attributes) override {
    return SetFileAttributes(Widen(path), attributes);
  }

  bool Release(Handle h) override;

 private:
  struct File {
    std::wstring path;  // as first written, for listings
    std::string bytes;
  };
  struct OpenFile {
    std::wstring key;
    std::uint32_t access = 0;
    std::size_t position = 0;
    std::uint32_t share = 0;
  };
  // Whether the handles open on `key` and a new opener with this access and
  // share mode let each other in.
  bool SharingAllows(const std::wstring& key, std::uint32_t access, std::uint32_t share) const;
  std::wstring Key(const std::wstring& path) const { return Fold(Absolute(path)); }
  // The path with a leading link replaced by its target.
  std::wstring Resolve(const std::wstring& path) const;
  bool IsWritable(const std::wstring& path) const;
  // The error of a call on a drive that went away, 0 when it is there.
  std::uint32_t GoneError(const std::wstring& path) const;
  // Takes `size` bytes of the path's drive; false when they are not left.
  bool Allocate(const std::wstring& path, std::size_t size);
  // Whether the folder of this folded absolute path is there ("c:" always is).
  bool FolderKeyExists(std::wstring_view key) const { return key.size() == 2 || folders_.find(key) != folders_.end(); }
  void MakeFolderAt(const std::wstring& abs, const std::wstring& folded);
  // Removes the folder of this folded path if nothing is inside it.
  bool RemoveEmptyFolder(const std::wstring& key);
  // Names (as written) of the files and folders directly inside `folder`.
  std::vector<std::wstring> Children(const std::wstring& folder) const;
  FindData Describe(const std::wstring& folder, const std::wstring& name) const;

  KernelHandles& handles_;
  PipeServer& pipes_;
  std::map<std::wstring, File, std::less<>> files_;           // by folded absolute path
  std::map<std::wstring, std::wstring, std::less<>> folders_;  // folded -> as made
  std::map<std::wstring, std::uint32_t> link_tags_;  // folded link path -> reparse tag
  std::map<Handle, OpenFile> open_;
  std::map<Handle, std::deque<FindData>> finds_;
  Handle next_find_ = 0xF00000;
};

// Version resources of files on the simulated disk. A file's resource
// belongs to its bytes: rewriting the file with other bytes takes it away, as
// replacing a program would.
class FakeVersionInfo : public IVersionInfo {
 public:
  explicit FakeVersionInfo(FakeFiles& files) : files_(files) {}
  // Gives a file (written when missing) file version a.b.c.d; returns the
  // root block it carries.
  FixedFileInfo Put(const std::wstring& path, std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d);

  std::uint32_t GetFileVersionInfoSize(const std::wstring& path, std::uint32_t* handle) override;
  bool GetFileVersionInfo(const std::wstring& path, std::uint32_t handle, std::uint32_t size,
                          std::vector<std::uint8_t>* block) override;
  std::optional<FixedFileInfo> VerQueryRoot(const std::vector<std::uint8_t>& block) override;
  // Gives a file (written when missing) a string table: its translation
  // (language and code page) and values by name, e.g. "FileVersion".
  void PutStrings(const std::wstring& path, std::uint16_t lang, std::uint16_t code_page,
                  const std::map<std::string, std::string>& values);

  // The ANSI variants see the root block and the string tables: a sub-block
  // is "\VarFileInfo\Translation" or "\StringFileInfo\<lang><cp>\<name>",
  // named without regard to case.
  std::uint32_t GetFileVersionInfoSizeA(const std::string& path, std::uint32_t* handle) override;
  bool GetFileVersionInfoA(const std::string& path, std::uint32_t handle, std::uint32_t size,
                           std::vector<std::uint8_t>* block) override;
  std::optional<std::string> VerQueryValueA(const std::vector<std::uint8_t>& block,
                                            const std::string& sub_block) override;

 private:
  // The file is on the disk with the bytes its resource was given to.
  bool Current(const std::wstring& path) const;
  // The root block of a current file.
  const FixedFileInfo* Find(const std::wstring& path) const;
  // The block the ANSI calls hand out: the root block, then each sub-block's
  // folded name and value; nullopt for a file without a resource.
  std::optional<std::vector<std::uint8_t>> BlockA(const std::string& path) const;
  FakeFiles& files_;
  std::map<std::wstring, FixedFileInfo> resources_;  // by folded absolute path
  // Folded absolute path -> folded sub-block name -> value.
  std::map<std::wstring, std::map<std::string, std::string>> strings_;
  std::map<std::wstring, std::string> bytes_;  // by folded absolute path
};

}  // namespace devstart::sim
