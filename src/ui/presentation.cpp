#include "ui/presentation.h"

#include "core/trace_log.h"
#include "core/result_codes.h"

namespace devstart {

namespace {

// "<sentence>\n\n(<application>)": a blocked install and what to close first.
std::wstring Blocked(const Texts& t, std::uint32_t sentence, std::uint32_t app) {
  return t.Load(sentence) + L"\n\n(" + t.Load(app) + L")";
}

}  // namespace

std::optional<std::wstring> ComposeResultText(int code, const Texts& t) {
  switch (code) {
    case AUTORUN_OK:
    case NORMAL_EXIT:
    case 304:
      return std::nullopt;
    case FAIL_UNKNOWN: return t.Load(2001);
    case FAIL_SCSI_UNKNOWN: return t.Load(2002);
    case FAIL_TO_OPEN_DRIVE: return t.Load(2003) + L" (FAIL_TO_OPEN_DRIVE)";
    case FAIL_TO_SEND_SCSI_CMD: return t.Load(2003) + L" (FAIL_TO_SEND_SCSI_CMD)";
    case FAIL_TO_OPEN_DRIVE_ACCESS_DENIED:
      return t.Load(2003) + L" (FAIL_TO_OPEN_DRIVE_ACCESS_DENIED)";
    case FAIL_TO_FIND_DRIVE: return t.Load(2003) + L" (FAIL_TO_FIND_DRIVE)";
    case FAIL_ISO_VALUE_UNKNOWN: return t.Load(2004);
    case FAIL_SERVICE_UNKNOWN: return t.Load(2005);
    case 201: case 202: case 203: case 204: case 205: case 206: case 207: case 208:
      return t.Load(2006);
    case ADMIN_REQUIRED: return t.Load(2007);
    case 300: return t.Load(2010);
    case 302: return t.Load(2011);
    case 303: case 305: return t.Load(2009);
    case 306: return t.Load(2012);
    case 307: return t.Load(2013);
    case 308: return t.Load(2014);
    case 400: return Blocked(t, 2016, 2024);
    case 401: return Blocked(t, 2016, 2023);
    case 402: return Blocked(t, 2017, 2022);
    case 403: return Blocked(t, 2017, 2023);
    case 404: return Blocked(t, 2018, 2024);
    case 405: return Blocked(t, 2018, 2022);
    default:
      return t.Load(2008) + L"(error code is " + std::to_wstring(code) + L")";
  }
}

void ShowResult(int code, const Texts& texts, IWindows& windows, WindowHandle owner) {
  if (code == NORMAL_EXIT) Trace(L"NORMAL_EXIT");
  std::optional<std::wstring> text = ComposeResultText(code, texts);
  if (!text) return;
  windows.MessageBox(owner, *text, BoxCaption(L"Devstart"), win::kMbIconHand | win::kMbOk);
}

}  // namespace devstart
