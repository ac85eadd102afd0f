// The staging folder under the user's temporary folder: where the CD run puts
// the program's local copy, and the guarded delete that empties it.
#pragma once

#include <optional>
#include <string>

#include "platform/ports.h"

namespace devstart {

// The temporary folder, the current directory's drive letter, a backslash:
// C:\Users\u\AppData\Local\Temp\E\ for a run from E:\.
std::wstring GetStagingFolder(IFileSystem& files);

// The folder the CD run from drive `letter` staged into, as GetStagingFolder
// named it there. The local run needs this form: its own current directory
// is the staging folder, whose first character names the temporary folder's
// drive, not the CD's. Empty when `letter` is not A-Z or a-z.
std::wstring StagingFolderOfDrive(IFileSystem& files, char letter);

// The drive a run from the CD came from: the current directory's first
// character in its 8-bit form (0 for an empty answer).
char DriveOfCurrentDirectory(IFileSystem& files);

// Creates every folder along `path`; failures (existing folders included)
// are ignored. Returns what the last CreateDirectory, of `path` itself, gave.
CallResult CreateFolderPath(IFileSystem& fs, const std::wstring& path);

// The directory entry of `path` itself (a trailing backslash is dropped), as
// its parent's listing gives it, so a link shows as a link rather than as
// its target; nullopt when there is no such entry.
std::optional<FindData> FolderEntry(IFileSystem& fs, const std::wstring& path);

// Empties and removes `folder` (ending in a backslash). Refuses any folder
// whose path lacks "\Temp" (returns 0, touches nothing), returns 0 when the
// folder cannot be listed, else 1. Links (junctions, symbolic links) inside
// are removed themselves, never followed: the local run may be elevated and
// must not delete what a link points at. A `folder` that is itself a link is
// removed as the link (1 when that worked), its target never listed.
int DeleteTempFolder(IFileSystem& fs, const std::wstring& folder);

}  // namespace devstart
