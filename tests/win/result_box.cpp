// Shows the error box for one result code exactly as the program does: the UI
// language chosen from the system, texts from this module's string tables
// (the program's own tables, linked in), the real MessageBoxW. The e2e tests
// read the box with the UI driver. Prints the chosen language first.
#include "platform/win32/win_api.h"

#include <cstdio>
#include <cwchar>

#include "platform/win32/machine.h"
#include "ui/presentation.h"
#include "ui/texts.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fwprintf(stderr, L"usage: result_box CODE\n");
    return 2;
  }
  devstart::Win32Machine win32;
  devstart::Machine& machine = win32.machine();
  devstart::Texts texts(machine.modules, devstart::SelectUiLanguage(machine.system));
  std::printf("language %04x\n", texts.language());
  std::fflush(stdout);
  devstart::ShowResult(static_cast<int>(std::wcstol(argv[1], nullptr, 10)), texts, machine.windows, 0);
  return 0;
}
