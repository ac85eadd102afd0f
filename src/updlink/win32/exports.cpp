// The library's four entry points. Each builds its working objects for one
// call; nothing survives in memory between calls, and no exception leaves.
#include "platform/win32/win_api.h"

#include <cstring>

#include "updlink/updlink.h"
#include "platform/win32/machine.h"

namespace {

void CopyOut(char* dest, const std::string& text) {
  if (!dest) return;
  std::memcpy(dest, text.c_str(), text.size() + 1);
}

std::string In(const char* text) { return text ? std::string(text) : std::string(); }

}  // namespace

extern "C" {

int __cdecl StartUpdate() {
  try {
    devstart::Win32Machine w;
    return updlink::StartUpdate(w.machine());
  } catch (...) {
    return 0;
  }
}

int __stdcall CheckLVUpdate(const char* version, char* outUrl, char* outHistory, char* outMessage) {
  try {
    devstart::Win32Machine w;
    updlink::CheckResult r = updlink::CheckLVUpdate(w.machine(), In(version));
    CopyOut(outUrl, r.url);
    CopyOut(outHistory, r.history);
    CopyOut(outMessage, r.message);
  } catch (...) {
    CopyOut(outUrl, "");
    CopyOut(outHistory, "");
    CopyOut(outMessage, updlink::kMsgConnFail);
  }
  return 1;
}

int __stdcall UpdateGBCforSync(const char* historyId, const char* status, char* outMessage) {
  try {
    devstart::Win32Machine w;
    CopyOut(outMessage, updlink::UpdateGBCforSync(w.machine(), In(historyId), In(status)));
  } catch (...) {
    CopyOut(outMessage, updlink::kMsgFail);
  }
  return 1;
}

int __stdcall CheckPhoneSWUpdate(char* outMessage) {
  try {
    devstart::Win32Machine w;
    updlink::PhoneCheckResult r = updlink::CheckPhoneSWUpdate(w.machine());
    CopyOut(outMessage, r.message);
    return r.result;
  } catch (...) {
    CopyOut(outMessage, updlink::kMsgNoNewVersion);
    return 0;
  }
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

}  // extern "C"
