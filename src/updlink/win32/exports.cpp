// The library's four entry points. Each builds its working objects for one
// call; nothing survives in memory between calls, and no exception leaves.
#include <windows.h>

#include <cstring>

#include "updlink/updlink.h"
#include "updlink/win32/adapters.h"

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
    updlink::win32::Win32Env w;
    return updlink::StartUpdate(w.env);
  } catch (...) {
    return 0;
  }
}

int __stdcall CheckLVUpdate(const char* version, char* outUrl, char* outHistory, char* outMessage) {
  try {
    updlink::win32::Win32Env w;
    updlink::CheckResult r = updlink::CheckLVUpdate(w.env, In(version));
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
    updlink::win32::Win32Env w;
    CopyOut(outMessage, updlink::UpdateGBCforSync(w.env, In(historyId), In(status)));
  } catch (...) {
    CopyOut(outMessage, updlink::kMsgFail);
  }
  return 1;
}

int __stdcall CheckPhoneSWUpdate(char* outMessage) {
  try {
    updlink::win32::Win32Env w;
    updlink::PhoneCheckResult r = updlink::CheckPhoneSWUpdate(w.env);
    CopyOut(outMessage, r.message);
    return r.result;
  } catch (...) {
    CopyOut(outMessage, updlink::kMsgNoNewVersion);
    return 0;
  }
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

}  // extern "C"
