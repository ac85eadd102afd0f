#include "device/window_service_manager.h"

#include "core/text.h"
#include "core/trace_log.h"
#include "core/result_codes.h"
#include "device/phone_commands.h"

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
  const PhoneFailure* failure = FailureOfReplyByte(first);
  if (failure == nullptr) return FAIL_SCSI_UNKNOWN;
  Trace(std::wstring(L"[WindowServiceManger] GET_SETTING fail ") + failure->name);
  return failure->code;
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
  std::string bytes = ToUtf16LeBytes(request);
  bytes.append(2, '\0');  // the service reads up to the terminator
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
