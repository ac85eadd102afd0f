#include "device/window_service_manager.h"

#include "core/trace_log.h"
#include "core/result_codes.h"

namespace devstart {

namespace {

// Closes a service-manager handle on every path out.
struct ScHandle {
  ScHandle(IServiceControl& s, Handle h) : services(s), handle(h) {}
  ~ScHandle() {
    if (handle != kNullHandle) services.CloseServiceHandle(handle);
  }
  ScHandle(const ScHandle&) = delete;
  ScHandle& operator=(const ScHandle&) = delete;
  IServiceControl& services;
  Handle handle;
};

// The service control manager with the access asked for; kNullHandle (and
// the trace line) when it cannot be opened.
Handle OpenManager(IServiceControl& sc, std::uint32_t access) {
  HandleResult manager = sc.OpenSCManager(access);
  if (manager.handle == kNullHandle) Trace(L"[WindowServiceManager] OpenSCManager failed");
  return manager.handle;
}

std::string Utf16LeWithTerminator(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) {
    out.push_back(static_cast<char>(static_cast<std::uint32_t>(c) & 0xFF));
    out.push_back(static_cast<char>((static_cast<std::uint32_t>(c) >> 8) & 0xFF));
  }
  out.append(2, '\0');
  return out;
}

}  // namespace

WindowServiceManager::WindowServiceManager(Machine& machine, const COption& option) : machine_(machine) {
  std::wstring folder = machine.file_system ? machine.file_system->GetSpecialFolder(win::kCsidlSystemX86) : L"";
  std::wstring path = folder + L"\\" + option.service_run_file;
  // Without a system folder or a file name there is nothing sensible to
  // register; a path that does not fit is not cut into another one.
  if (!folder.empty() && !option.service_run_file.empty() && path.size() <= kMaxBinaryPath) binary_path_ = path;
}

int WindowServiceManager::QueryServiceState() {
  IServiceControl& sc = *machine_.services;
  Handle manager = OpenManager(sc, win::kScManagerConnect);
  if (manager == kNullHandle) return FAIL_TO_OPEN_SCMANAGER;
  ScHandle m(sc, manager);
  HandleResult service = sc.OpenService(manager, kServiceName, win::kServiceInterrogate);
  if (service.handle == kNullHandle) {
    Trace(L"[WindowServiceManager] OpenService failed error code is " + std::to_wstring(service.error));
    return FAIL_TO_OPEN_SERVICE;
  }
  ScHandle s(sc, service.handle);
  ControlResult status;
  for (int i = 0; i < 10; ++i) {
    status = sc.ControlService(service.handle, win::kServiceControlInterrogate);
    if (machine_.clock) machine_.clock->Sleep(1);
  }
  if (status.current_state == win::kServiceRunning) return 0;
  if (status.current_state == win::kServiceStopped) {
    Trace(L"[WindowServiceManager] ControlService() Service is not Running.");
    return SERVICE_NOT_RUNNING;
  }
  return FAIL_TO_OPEN_SERVICE;
}

int WindowServiceManager::InstallScsiService() {
  IServiceControl& sc = *machine_.services;
  Handle manager = OpenManager(sc, win::kScManagerCreateService);
  if (manager == kNullHandle) return FAIL_TO_OPEN_SCMANAGER;
  ScHandle m(sc, manager);
  if (binary_path_.empty()) {
    Trace(L"[WindowServiceManager] CreateService failed");
    return FAIL_TO_CREATE_SERVICE;
  }
  ServiceConfig config{kServiceName,           kDisplayName,           win::kServiceAllAccess,
                       win::kServiceWin32OwnProcess, win::kServiceAutoStart, win::kServiceErrorNormal,
                       binary_path_};
  HandleResult service = sc.CreateService(manager, config);
  if (service.handle == kNullHandle) {
    Trace(L"[WindowServiceManager] CreateService failed");
    return service.error == win::kErrorServiceExists ? SERVICE_ALREADY_EXISTS : FAIL_TO_CREATE_SERVICE;
  }
  ScHandle s(sc, service.handle);
  if (!sc.SetServiceDescription(service.handle, kDescription).ok) {
    Trace(L"[WindowServiceManager] ChangeServiceConfig2 \n");
  }
  return 0;
}

int WindowServiceManager::RunScsiService() {
  IServiceControl& sc = *machine_.services;
  Handle manager = OpenManager(sc, win::kScManagerCreateService);
  if (manager == kNullHandle) return FAIL_TO_OPEN_SCMANAGER;
  ScHandle m(sc, manager);
  HandleResult service = sc.OpenService(manager, kServiceName, win::kServiceAllAccess);
  if (service.handle == kNullHandle) {
    Trace(L"[WindowServiceManager] OpenService failed");
    return FAIL_TO_OPEN_SERVICE;
  }
  ScHandle s(sc, service.handle);
  sc.StartService(service.handle);
  return 0;
}

int WindowServiceManager::DecodeFailureByte(std::uint8_t first) {
  switch (first) {
    case 0xFF:
      Trace(L"[WindowServiceManger] GET_SETTING fail FAIL_TO_FIND_DRIVE");
      return FAIL_TO_FIND_DRIVE;
    case 0xFE:
      Trace(L"[WindowServiceManger] GET_SETTING fail FAIL_TO_OPEN_DRIVE");
      return FAIL_TO_OPEN_DRIVE;
    case 0xFD:
      Trace(L"[WindowServiceManger] GET_SETTING fail FAIL_TO_SEND_SCSI_CMD");
      return FAIL_TO_SEND_SCSI_CMD;
    case 0xEC:
      Trace(L"[WindowServiceManger] GET_SETTING fail FAIL_TO_OPEN_DRIVE_ACCESS_DENIED");
      return FAIL_TO_OPEN_DRIVE_ACCESS_DENIED;
    default:
      return FAIL_SCSI_UNKNOWN;
  }
}

int WindowServiceManager::PipeSend(const std::wstring& request, std::uint8_t* reply, std::uint32_t size,
                                   std::uint32_t* read) {
  INamedPipes& pipes = *machine_.pipes;
  *read = 0;
  HandleResult pipe;
  for (;;) {
    pipe = pipes.CreateFile(kPipeName, win::kGenericRead | win::kGenericWrite, 0, win::kOpenExisting, 0);
    if (pipe.handle != kInvalidHandle) break;
    if (pipe.error != win::kErrorPipeBusy) {
      Trace(L"[WindowServiceManager] PipeSend()-CreateFile() Error code is " + std::to_wstring(pipe.error));
      return FAIL_TO_CONNECT_PIPE;
    }
    if (!pipes.WaitNamedPipe(kPipeName, kPipeWaitMs).ok) {
      Trace(L"[WindowServiceManager] WaitNamedPipe failed");
      return FAIL_TO_CONNECT_PIPE;
    }
  }
  // The connection is released on every way out, so the service can take
  // the next client.
  struct Closer {
    INamedPipes& pipes;
    Handle h;
    ~Closer() { pipes.CloseHandle(h); }
  } closer{pipes, pipe.handle};

  if (!pipes.SetNamedPipeHandleState(pipe.handle, win::kPipeReadmodeByte).ok) {
    Trace(L"[WindowServiceManager] SetNamedPipeHandleState failed");
    return FAIL_TO_SET_PIPE_MODE;
  }
  std::string bytes = Utf16LeWithTerminator(request);
  Trace(L"[WindowServiceManager] WriteFile(+)");
  IoResult written = pipes.WriteFile(pipe.handle, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  Trace(L"[WindowServiceManager] WriteFile(-)");
  if (!written.ok) {
    Trace(L"[WindowServiceManager] WriteFile failed");
    return FAIL_TO_WRITE_PIPE;
  }
  for (;;) {
    Trace(L"[WindowServiceManager] ReadFile(+)");
    IoResult got = pipes.ReadFile(pipe.handle, reply, size);
    *read = got.transferred;
    if (got.transferred != 0 && got.transferred != 1 && got.transferred != 3) {
      return DecodeFailureByte(reply[0]);
    }
    if (got.ok) {
      Trace(L"[WindowServiceManager] ReadFile(-)");
      return 0;
    }
    if (got.error != win::kErrorMoreData) return 0;
    Trace(L"[WindowServiceManager] ReadFile(-)");
  }
}

}  // namespace devstart
