// Files, version values and cabinets: what is downloaded, checked, unpacked
// and where it goes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/machine.h"
#include "updlink/server_query.h"

namespace updlink {

// An existing file opened for reading (shared) and closed again at once.
bool CanOpenForRead(devstart::Machine& m, const std::string& path);
// The first `count` bytes of a file, nullopt when it cannot be read.
std::optional<std::string> ReadHead(devstart::Machine& m, const std::string& path, std::uint32_t count);
// One value of the file's version resource, read afresh: the raw bytes.
std::optional<std::string> VersionValue(devstart::Machine& m, const std::string& path, const std::string& subBlock);
std::string GetCommonAppDataFolder(devstart::Machine& m);
void CreateFolderPath(devstart::Machine& m, const std::string& path);
// Names that would land outside the destination folder.
bool IsSafeCabinetName(std::string_view name);
bool ExtractCabinet(devstart::Machine& m, const std::string& cabinet, const std::string& destination);
std::string GetFileVersionString(devstart::Machine& m, const std::string& path);
// Downloads `url` to `path` and accepts the result only when it is a cabinet,
// since some systems report success for an HTTP error page.
bool DownloadCabinet(devstart::Machine& m, const std::string& url, const std::string& path);
// Downloads the cabinet to `cabinet`, unpacks it into `folder` and deletes
// it; false when no cabinet came.
bool InstallCabinet(devstart::Machine& m, const std::string& url, const std::string& cabinet, const std::string& folder);

// The catalogue of components on the server.
inline constexpr const char* kCataloguePath = "/client/app/live_update.jsp";
// Replaces Phonelink.dll in the current folder when the catalogue offers another version.
void UpdatePhoneComponent(ExportCall& call, const std::string& localVersion);
// Both checks first bring the phone component in the current folder up to
// the catalogue's version.
void RefreshPhoneComponent(ExportCall& call);

}  // namespace updlink
