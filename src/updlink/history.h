// History ids: what a download is reported under (mirror letter, country,
// region, model and the moment of the check), and the report's time figures.
#pragma once

#include <string>
#include <string_view>

#include "platform/ports.h"

namespace updlink {

struct HistoryParts { std::string letter, country, region, model, stamp; };
HistoryParts SplitHistoryId(std::string_view id);
// The mirror's code for its letter; a letter of no mirror stands for itself.
std::string MirrorNameFromLetter(const std::string& letter);
// The letter for a mirror's code; any other code is the main server's.
std::string HistoryLetter(const std::string& mirrorCode);
std::string FormatStamp(const devstart::LocalTime& t);
// Seconds of the time-of-day part of now minus the stamp; -1 when the stamp
// is not six two-digit numbers forming a date and time.
long long StampElapsedSeconds(std::string_view stamp, const devstart::LocalTime& now);
std::string DownloadTime(const std::string& status, std::string_view stamp, const devstart::LocalTime& now);

}  // namespace updlink
