// Faults from outside on the simulated PC: the phone lost between the
// setting read and the mode change, setups that hand off, die or never
// end, and registry values of the wrong type or size.
#include <gtest/gtest.h>

#include "core/result_codes.h"
#include "inspect/autorun_check.h"
#include "ui/presentation.h"
#include "unit/traced_pc.h"

namespace devstart {
namespace {

const OsVersion kWinXp{5, 1, 2600, 2, 3, 1};
const OsVersion kWin7{6, 1, 7601, 2, 1, 1};

// ---- the phone unplugged after its settings were read ------------------------

struct UnplugCase {
  const char* name;
  bool through_service;
  int mode1, mode2;   // what the phone answers to the two mode-change commands
  int quiet_peeks;    // -1: the service takes the request and goes quiet
  int code;
  const wchar_t* box;
  const wchar_t* last_line;
};

TEST(Unplugged, ModeChangeAfterAGoodSettingReadGivesItsBox) {
  const UnplugCase cases[] = {
      {"direct, drive gone", false, -1, -1, 0, FAIL_TO_FIND_DRIVE,
       L"SCSI Command transmission error has occurred. (FAIL_TO_FIND_DRIVE)",
       L"CAutoRunManager-:ScsiError2AutoRunError> GET_SETTING fail FAIL_TO_FIND_DRIVE"},
      {"direct, drive cannot be opened", false, -2, -2, 0, FAIL_TO_OPEN_DRIVE,
       L"SCSI Command transmission error has occurred. (FAIL_TO_OPEN_DRIVE)",
       L"CAutoRunManager-ScsiError2AutoRunError> GET_SETTING fail FAIL_TO_OPEN_DRIVE"},
      {"service, drive gone", true, -1, -1, 0, FAIL_TO_FIND_DRIVE,
       L"SCSI Command transmission error has occurred. (FAIL_TO_FIND_DRIVE)",
       L"[WindowServiceManger] GET_SETTING fail FAIL_TO_FIND_DRIVE"},
      {"service goes quiet", true, 0, 1, -1, FAIL_TO_CONNECT_PIPE, L"Windows Service Management failed.",
       L"[WindowServiceManager] ReadFile() no reply in 20000 ms"},
  };
  for (const UnplugCase& c : cases) {
    SCOPED_TRACE(c.name);
    World w;
    w.pc.files.current_directory = L"E:\\";
    w.pc.security.admin = !c.through_service;
    w.pc.system.version = c.through_service ? kWinXp : kWin7;
    if (c.through_service) w.pc.InstallService(win::kServiceRunning);
    CAutoRunManager& m = w.manager();
    m.set_drive('E');
    ASSERT_EQ(m.GetSetting().result, 0);
    w.pc.phone.model.mode1_results = {c.mode1};
    w.pc.phone.model.mode2_results = {c.mode2};
    w.pc.pipes.quiet_peeks = c.quiet_peeks;
    int code = m.ModeChange();
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(w.pc.TraceLines().back(), c.last_line);
    EXPECT_EQ(w.pc.phone.model.mode, 0);
    EXPECT_TRUE(w.pc.pipes.open_handles.empty());
    // What the local run does with a failed step.
    Texts texts(w.pc.modules, ChooseUiLanguage(w.pc.system.GetUserDefaultUILanguage()));
    ShowResult(code, texts, w.pc.windows, 0);
    ASSERT_EQ(w.pc.windows.MessageBoxes().size(), 1u);
    EXPECT_EQ(w.pc.windows.MessageBoxes()[0].text, c.box);
  }
}

// ---- setups that hand off, die or install -------------------------------------

const std::wstring kVtpKey =
    L"HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{34A0FF07-F11A-4157-84A3-92F8AD688CBF}";

struct SetupCase {
  const char* name;
  long runs_for;
  bool hands_off;  // starts a child that outlives it
  bool installs;   // what the setup has done by its end
  int result;
};

TEST(SetupEnds, TheItkStepDecidesByWhatIsInstalledWhenItsSetupEnds) {
  const SetupCase cases[] = {
      {"installs and ends", 3, false, true, 0},
      {"hands off to a child and ends", 1, true, false, FAIL_TO_SETUP_ITK},
      {"killed before installing", 2, false, false, FAIL_TO_SETUP_ITK},
  };
  for (const SetupCase& c : cases) {
    SCOPED_TRACE(c.name);
    World w;
    w.option.itk_setup = L"tools\\VTPSetup.exe";
    w.option.itk_version = L"1.0.0.3";
    w.pc.phone.model.setting[0] = 0x41;
    sim::FakeProcesses::Launchable setup{L"VTPSetup.exe", c.runs_for, {}, {}, false};
    if (c.hands_off) setup.then_start = {{4100, L"VTPSetup_child.exe", -1, true}};
    if (c.installs) {
      setup.on_start = [&w] {
        w.pc.registry.PutString(kVtpKey, L"InstallLocation", L"C:\\VTP\\");
        w.pc.registry.PutString(kVtpKey, L"DisplayVersion", L"1.0.0.3");
      };
    }
    w.pc.processes.launchable[sim::Fold(L"tools\\VTPSetup.exe")] = setup;
    CAutoRunManager& m = w.manager();
    CAutoRunManager::SettingRead read = m.GetSetting();
    if (read.settings) m.ApplyPhoneSettings(*read.settings);
    EXPECT_EQ(m.StepITK(), c.result);
    EXPECT_EQ(m.waited_process_id(), -1);
    EXPECT_EQ(w.pc.processes.open_handles(), 0);
    EXPECT_EQ(w.pc.processes.launches.size(), 1u);
  }
}

// ---- registry values of the wrong type or size --------------------------------

const std::wstring kCdrom = L"HKLM\\SYSTEM\\CurrentControlSet\\Services\\Cdrom";
const std::wstring kDefaultSel = L"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers"
                                 L"\\EventHandlersDefaultSelection\\AutorunINFLegacyArrival";
const std::wstring kRunWhen = L"HKCU\\Software\\Tavo Electronics\\Tavo PC Suite IV\\1.0\\Setting";

std::vector<std::uint8_t> Utf16(const std::wstring& s, bool terminated) {
  std::vector<std::uint8_t> out;
  for (wchar_t ch : s) {
    out.push_back(static_cast<std::uint8_t>(ch & 0xFF));
    out.push_back(static_cast<std::uint8_t>((ch >> 8) & 0xFF));
  }
  if (terminated) out.insert(out.end(), {0, 0});
  return out;
}

enum class Read { kCdromAutorun, kDefaultHandler, kRunWhenConnected };

struct FormCase {
  const char* name;
  Read read;
  std::uint32_t type;
  std::vector<std::uint8_t> bytes;
  int check;   // the check's answer (run-when-connected: 1 = start the suite)
  int repair;  // the same check in repair mode (1 = something was repaired)
};

TEST(RegistryForms, AWrongFormReadsAsMissingAndIsNotRepaired) {
  const std::vector<std::uint8_t> z4 = {0, 0, 0, 0};
  const FormCase cases[] = {
      {"Autorun REG_DWORD 0 (off)", Read::kCdromAutorun, win::kRegDword, z4, 0, 1},
      {"Autorun REG_SZ \"0\"", Read::kCdromAutorun, win::kRegSz, Utf16(L"0", true), 1, 0},
      {"Autorun REG_BINARY 4 bytes", Read::kCdromAutorun, win::kRegBinary, z4, 1, 0},
      {"Autorun REG_BINARY 8 bytes", Read::kCdromAutorun, win::kRegBinary, {0, 0, 0, 0, 0, 0, 0, 0}, 1, 0},
      {"Autorun REG_DWORD 2 bytes", Read::kCdromAutorun, win::kRegDword, {0, 0}, 1, 0},
      {"Autorun REG_DWORD 8 bytes", Read::kCdromAutorun, win::kRegDword, {0, 0, 0, 0, 0, 0, 0, 0}, 1, 0},
      {"Autorun REG_DWORD empty", Read::kCdromAutorun, win::kRegDword, {}, 1, 0},
      {"handler MSTakeNoAction (off)", Read::kDefaultHandler, win::kRegSz, Utf16(L"MSTakeNoAction", true), 0, 1},
      {"handler without terminator", Read::kDefaultHandler, win::kRegSz, Utf16(L"MSTakeNoAction", false), 1, 0},
      {"handler as REG_BINARY", Read::kDefaultHandler, win::kRegBinary, Utf16(L"MSTakeNoAction", true), 1, 0},
      {"handler as REG_DWORD", Read::kDefaultHandler, win::kRegDword, z4, 1, 0},
      {"handler empty", Read::kDefaultHandler, win::kRegSz, {}, 1, 0},
      {"handler over-long", Read::kDefaultHandler, win::kRegSz, Utf16(std::wstring(300, L'M'), true), 1, 0},
      {"run-when-connected REG_DWORD 0", Read::kRunWhenConnected, win::kRegDword, z4, 0, 0},
      {"run-when-connected REG_SZ \"0\"", Read::kRunWhenConnected, win::kRegSz, Utf16(L"0", true), 1, 1},
      {"run-when-connected REG_BINARY 4 bytes", Read::kRunWhenConnected, win::kRegBinary, z4, 1, 1},
      {"run-when-connected REG_DWORD 2 bytes", Read::kRunWhenConnected, win::kRegDword, {0, 0}, 1, 1},
      {"run-when-connected REG_DWORD 8 bytes", Read::kRunWhenConnected, win::kRegDword, {0, 0, 0, 0, 0, 0, 0, 0}, 1,
       1},
  };
  for (const FormCase& c : cases) {
    for (int repair : {0, 1}) {
      SCOPED_TRACE(std::string(c.name) + (repair ? " repair" : " check"));
      TracedPc local;
      auto& r = local.pc.registry;
      r.os_64bit = false;
      const std::wstring& key =
          c.read == Read::kCdromAutorun ? kCdrom : (c.read == Read::kDefaultHandler ? kDefaultSel : kRunWhen);
      const wchar_t* value = c.read == Read::kCdromAutorun
                                 ? L"Autorun"
                                 : (c.read == Read::kDefaultHandler ? L"" : L"RunWhenPhoneConnect");
      r.Put(key, value, c.type, c.bytes);
      RegistryAccessPair masks = MakeRegistryAccessPair(local.pc.system);
      int got = c.read == Read::kCdromAutorun    ? CheckWindowAutoRun1(local.machine, repair, masks)
                : c.read == Read::kDefaultHandler ? CheckWindowAutoRun6(local.machine, repair, masks)
                                                  : IsRunWhenPhoneConnect(local.machine, masks);
      EXPECT_EQ(got, repair ? c.repair : c.check);
      // Only a value read as "off" is rewritten; any other keeps its bytes.
      bool rewritten = repair == 1 && c.repair == 1 && c.read != Read::kRunWhenConnected;
      ASSERT_NE(r.Get(key, value), nullptr);
      EXPECT_EQ(r.Get(key, value)->bytes == c.bytes, !rewritten);
      EXPECT_EQ(r.open_handles(), 0);
    }
  }
}

}  // namespace
}  // namespace devstart
