// What an update server answers is outside input: any status, a missing or
// lying Content-Length, a body cut off by a failed read. The program's
// download of the update library and the library's own fetch must take all
// of it, keep a staged library unless a whole download replaces it, and
// close every internet handle.
#include "common/fuzz_world.h"
#include "core/text.h"
#include "update/live_update.h"
#include "updlink/server_query.h"

using namespace devstart;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static sim::SimPc pc;
  static Machine machine = pc.machine();
  static const std::string kUrl = "http://update.invalid/P4_Updlink.dll";
  static const std::wstring kStaged = L"E:\\P4_Updlink.dll";
  fuzz::ForgetAfterInput forget{pc};
  fuzz::Input in(data, size);
  sim::HttpAnswer answer;
  std::uint8_t shape = in.Byte();
  std::uint32_t low = in.Byte();
  auto status = static_cast<std::int16_t>(low | (static_cast<std::uint32_t>(in.Byte()) << 8));
  answer.status = (shape & 1) ? status : 200;
  answer.no_length = (shape & 2) != 0;
  answer.content_length = (shape & 4) ? static_cast<long>(in.Word() % 100000) : -1;
  answer.read_error_at = (shape & 8) ? static_cast<long>(in.Byte()) : -1;
  answer.unreachable = (shape & 16) != 0;
  answer.body = in.Rest();
  pc.internet.answers.clear();
  pc.internet.answers[kUrl] = answer;

  // The program's download over a staged library.
  pc.files.Put(kStaged, "staged");
  COption option;
  option.swupdate_file_name = L"P4_Updlink.dll";
  CLiveUpdate update(machine, option, {});
  update.SelectLibraryUrl(Widen(kUrl.c_str()));
  int downloaded = update.DownloadUrl();
  std::string staged = pc.files.Get(kStaged).value_or("");
  if (downloaded == 1) {
    fuzz::Require(answer.body.compare(0, staged.size(), staged) == 0);  // what came, as it came
  } else {
    fuzz::Require(downloaded == 0 && staged == "staged");
  }
  fuzz::Require(!pc.files.Exists(kStaged + L".download"));
  fuzz::Require(pc.internet.open_handles() == 0);

  // The library's fetch and size probe of the same answer.
  {
    updlink::ServerQuery query(machine);
    std::string text = query.FetchUrlText(kUrl);
    fuzz::Require(text.find('<') == std::string::npos || text[0] == '<');  // from the first tag on
    fuzz::Require(query.GetContentLength(kUrl) >= 0);
  }
  fuzz::Require(pc.internet.open_handles() == 0);
  pc.internet.answers = {};
  pc.files.DeleteFile(kStaged);
  return 0;
}
