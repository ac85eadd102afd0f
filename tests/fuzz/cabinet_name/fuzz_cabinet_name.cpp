// Entry names in a downloaded cabinet are the server's: extraction must keep
// every file it writes inside the destination folder.
#include "common/fuzz_world.h"
#include "core/text.h"
#include "updlink/cabinets.h"

using namespace devstart;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static sim::SimPc pc;
  static Machine machine = pc.machine();
  static const std::string kCabinet = "C:\\ProgramData\\Tavo\\update.cab";
  static const std::string kDestination = "C:\\ProgramData\\Tavo\\Update";
  fuzz::ForgetAfterInput forget{pc};
  // Names reach the library as C strings.
  std::string name(reinterpret_cast<const char*>(data), size);
  name.resize(name.find('\0') == std::string::npos ? name.size() : name.find('\0'));
  bool safe = updlink::IsSafeCabinetName(name);
  if (safe) {
    // No drive, no stream, no root, no step up.
    fuzz::Require(name.find(':') == std::string::npos && name[0] != '\\' && name[0] != '/');
    fuzz::Require(name != ".." && name.rfind("..\\", 0) != 0 && name.rfind("../", 0) != 0);
    fuzz::Require(name.find("\\..\\") == std::string::npos && name.find("/../") == std::string::npos);
    fuzz::Require(name.size() < 3 || (name.substr(name.size() - 3) != "\\.." && name.substr(name.size() - 3) != "/.."));
  }
  // Through the extraction: a safe name lands in the destination, any other
  // is left in the cabinet.
  pc.cabinets.by_content = {{"cabinet", {{name, "x"}}}};
  pc.files.Put(Widen(kCabinet.c_str()), "cabinet");
  (void)updlink::ExtractCabinet(machine, kCabinet, kDestination);
  std::wstring full = Widen((kDestination + "\\" + name).c_str());
  if (!safe) fuzz::Require(name.empty() || !pc.files.Exists(full));
  // The disk as it was: the file, then the folders the extraction made.
  pc.files.DeleteFile(full);
  for (std::size_t at = full.size(); at > kDestination.size(); --at) {
    if (full[at - 1] == L'\\' || full[at - 1] == L'/') pc.files.RemoveDirectory(full.substr(0, at - 1));
  }
  pc.cabinets.by_content = {};
  return 0;
}
