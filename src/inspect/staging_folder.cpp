#include "inspect/staging_folder.h"

#include "core/text.h"
#include "platform/handles.h"

namespace devstart {

namespace {

std::wstring TempFolder(IFileSystem& files) { return JoinPath(files.GetTempPath(), L""); }

}  // namespace

std::wstring GetStagingFolder(IFileSystem& files) {
  std::wstring temp = TempFolder(files);
  std::wstring current = files.GetCurrentDirectory();
  if (!current.empty()) temp += current[0];
  return temp + L"\\";
}

std::wstring StagingFolderOfDrive(IFileSystem& files, char letter) {
  bool is_letter = (letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z');
  if (!is_letter) return L"";
  return TempFolder(files) + static_cast<wchar_t>(letter) + L"\\";
}

char DriveOfCurrentDirectory(IFileSystem& files) {
  std::wstring dir = files.GetCurrentDirectory();
  return dir.empty() ? 0 : static_cast<char>(dir[0] & 0xFF);
}

CallResult CreateFolderPath(IFileSystem& fs, const std::wstring& path) {
  for (std::size_t at = path.find(L'\\'); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
    fs.CreateDirectory(path.substr(0, at));
  }
  return fs.CreateDirectory(path);
}

std::optional<FindData> FolderEntry(IFileSystem& fs, const std::wstring& path) {
  std::wstring bare = path;
  if (!bare.empty() && bare.back() == L'\\') bare.pop_back();
  FindResult found = fs.FindFirstFile(bare);
  UniqueFind find(fs, found.handle);
  if (!find) return std::nullopt;
  return found.data;
}

namespace {

int EmptyAndRemove(IFileSystem& fs, const std::wstring& folder) {
  FindResult first = fs.FindFirstFile(folder + L"*.*");
  UniqueFind find(fs, first.handle);
  if (!find) return 0;
  for (std::optional<FindData> entry = first.data; entry; entry = fs.FindNextFile(find.get())) {
    if (entry->name == L"." || entry->name == L"..") continue;
    std::wstring path = folder + entry->name;
    bool link = (entry->attributes & win::kFileAttributeReparsePoint) != 0;
    if ((entry->attributes & win::kFileAttributeDirectory) != 0) {
      // A junction or directory link is removed as the link; its target,
      // possibly outside the temporary folder, stays untouched.
      if (!link) EmptyAndRemove(fs, path + L"\\");
      fs.RemoveDirectory(path);
    } else {
      // Attributes set through a file link would land on its target.
      if (!link) fs.SetFileAttributes(path, win::kFileAttributeNormal);
      fs.DeleteFile(path);
    }
  }
  find.reset();  // the folder goes only once nothing holds it open
  fs.RemoveDirectory(folder);
  return 1;
}

}  // namespace

int DeleteTempFolder(IFileSystem& fs, const std::wstring& folder) {
  if (folder.find(L"\\Temp") == std::wstring::npos) return 0;
  // Listing a planted link would empty its target: only the link goes.
  std::optional<FindData> self = FolderEntry(fs, folder);
  if (self && (self->attributes & win::kFileAttributeReparsePoint) != 0) {
    std::wstring bare = folder;
    if (bare.back() == L'\\') bare.pop_back();
    bool directory = (self->attributes & win::kFileAttributeDirectory) != 0;
    return (directory ? fs.RemoveDirectory(bare) : fs.DeleteFile(bare)).ok ? 1 : 0;
  }
  return EmptyAndRemove(fs, folder);
}

}  // namespace devstart
