#include "updlink/reports.h"

#include "updlink/encoding.h"
#include "updlink/history.h"
#include "updlink/registry_state.h"
#include "updlink/words.h"

namespace updlink {

using devstart::Machine;
namespace w = devstart::win;

bool ReportHistory(ExportCall& call, const std::string& historyId, const std::string& status) {
  Machine& m = call.machine();
  std::string serial;
  {
    // The key is created even when there is no id to report.
    RegistryKey key(m.registry);
    key.OpenOrCreate(w::kHkeyCurrentUser, kSyncKey);
    if (historyId.empty()) return false;
    serial = key.Read("S_NUM");
  }
  HistoryParts p = SplitHistoryId(historyId);
  std::string path = "/csmg/b2c/client/ric_hit_rate_pcsync_log.jsp?region=" + EncodeQueryValue(p.region) +
                     "&country=" + EncodeQueryValue(p.country) + "&status=" + EncodeQueryValue(status) +
                     "&ric=" + EncodeQueryValue(MirrorNameFromLetter(p.letter)) + "&client=SYNC_LU&model=" +
                     EncodeQueryValue(p.model) + "&esn=" + EncodeQueryValue(serial) + "&version=&history_id=" +
                     EncodeQueryValue(p.stamp) + "&userid=&filesize=0&download_time=" +
                     DownloadTime(status, p.stamp, m.system.GetLocalTime());
  AnswerParser answer;
  return FetchAnswer(call, path, answer) == Reply::kAccepted;
}

// S_KEY holds the id of the download last reported started and not yet
// reported finished.
std::string UpdateGBCforSync(Machine& m, const std::string& historyId, const std::string& status) {
  ExportCall call(m);
  std::string pending = ReadSyncValue(m, "S_KEY");
  m.system.Sleep(1000);
  bool ok = true;
  if (status == "START") {
    if (!pending.empty()) {
      // The download that was never finished is the one reported as failed.
      ok = ReportHistory(call, pending, "FAIL");
      m.system.Sleep(1000);
    }
    WriteSyncValue(m, "S_KEY", historyId);
    if (!ReportHistory(call, historyId, "START")) {
      WriteSyncValue(m, "S_KEY", "");
      ok = false;
    }
  } else if (status == "FAIL" || status == "OK") {
    if (ReportHistory(call, historyId, status)) WriteSyncValue(m, "S_KEY", "");
    else ok = false;
  }
  return ok ? kMsgSuccess : kMsgFail;
}

void ReportPendingDownload(ExportCall& call) {
  std::string pending = ReadSyncValue(call.machine(), "S_KEY");
  if (pending.empty()) return;
  if (ReportHistory(call, pending, "FAIL") || ReportHistory(call, pending, "FAIL"))
    WriteSyncValue(call.machine(), "S_KEY", "");
}

}  // namespace updlink
