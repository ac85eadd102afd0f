// Download reports: the history id's status sent to the server, and the
// download still pending in the registry.
#pragma once

#include <string>

#include "platform/machine.h"
#include "updlink/server_query.h"

namespace updlink {

bool ReportHistory(ExportCall& call, const std::string& historyId, const std::string& status);
std::string UpdateGBCforSync(devstart::Machine& m, const std::string& historyId, const std::string& status);
// A download that was started and never reported finished counts as failed;
// the report gets a second try, and once one is accepted nothing is pending.
void ReportPendingDownload(ExportCall& call);

}  // namespace updlink
