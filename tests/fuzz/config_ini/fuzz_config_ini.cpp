// config.ini is the CD's own file, but a phone or a copied CD can carry any
// bytes there: the option reader must take numbers, yes/no, texts, over-long
// values, binary junk, UTF-16 and one huge line without harm.
#include "common/fuzz_world.h"
#include "core/option.h"

using namespace devstart;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static sim::SimPc pc;
  static const std::wstring kIni = L"E:\\config.ini";
  fuzz::ForgetAfterInput forget{pc};
  pc.files.Put(kIni, std::string(reinterpret_cast<const char*>(data), size));
  COption option;
  option.Load(CIni(pc.files, kIni));
  // Whatever the file says, the driver path stays relative to the CD.
  fuzz::Require(!option.driver_name.empty() && option.driver_name[0] == L'.');
  fuzz::Require(option.IsPCSuiteMode() == 0 || option.IsPCSuiteMode() == 1);
  fuzz::Require(option.IsITKMode() == 0 || option.IsITKMode() == 1);
  for (int yes_no : {option.driver_chk, option.itk_chk, option.iso_type0, option.iso_type1, option.usb_vendor0,
                     option.usb_vendor1, option.auto_run_check, option.sciscmd_send, option.itk_run,
                     option.pcsuite_run, option.pcsuite_test}) {
    fuzz::Require(yes_no == 0 || yes_no == 1);
  }
  // The disk's parse of the file goes with the input.
  pc.files.Put(kIni, "");
  (void)CIni(pc.files, kIni).ReadText(L"k", L"s");
  return 0;
}
