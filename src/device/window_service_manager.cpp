#include "device/window_service_manager.h"

#include "core/text.h"
#include "core/trace_log.h"
#include "core/result_codes.h"
#include "device/phone_commands.h"
#include "platform/handles.h"

namespace devstart {

namespace {

// The service control manager with the access asked for; empty (and the
// trace line) when it cannot be opened.
UniqueService OpenManager(IServices& sc, std::uint32_t access) {
  UniqueService manager(sc, sc.OpenSCManager(access).handle);
  if (!manager) Trace(L"[WindowServiceManager] OpenSCManager failed");
  return manager;
}

}  // namespace

WindowServiceManager::WindowServiceManager(Machine& machine, const COption& option) : machine_(machine) {
  std::wstring folder = machine.files.SHGetSpecialFolderPath(win::kCsidlSystemX86, false).value_or(L"");
  std::wstring path = JoinPath(folder, option.service_run_file);
  // Without a system folder or a file name there is nothing sensible to
  // register; a path that does not fit is not cut into another one.
  if (!folder.empty() && !option.service_run_file.empty() && path.size() <= kMaxBinaryPath) binary_path_ = path;
}

int WindowServiceManager::QueryServiceState() {
  IServices& sc = machine_.services;
  UniqueService manager = OpenManager(sc, win::kScManagerConnect);
  if (!manager) return FAIL_TO_OPEN_SCMANAGER;
  HandleResult service = sc.OpenService(manager.get(), kServiceName, win::kServiceInterrogate);
  if (service.handle == kNullHandle) {
    Trace(L"[WindowServiceManager] OpenService failed error code is " + std::to_wstring(service.error));
    return FAIL_TO_OPEN_SERVICE;
  }
  UniqueService owned(sc, service.handle);
  ControlResult status;
  for (int i = 0; i < 10; ++i) {
    status = sc.ControlService(service.handle, win::kServiceControlInterrogate);
    machine_.system.Sleep(1);
  }
  if (status.current_state == win::kServiceRunning) return 0;
  if (status.current_state == win::kServiceStopped) {
    Trace(L"[WindowServiceManager] ControlService() Service is not Running.");
    return SERVICE_NOT_RUNNING;
  }
  return FAIL_TO_OPEN_SERVICE;
}

int WindowServiceManager::InstallScsiService() {
  IServices& sc = machine_.services;
  UniqueService manager = OpenManager(sc, win::kScManagerCreateService);
  if (!manager) return FAIL_TO_OPEN_SCMANAGER;
  if (binary_path_.empty()) {
    Trace(L"[WindowServiceManager] CreateService failed");
    return FAIL_TO_CREATE_SERVICE;
  }
  ServiceConfig config{kServiceName,           kDisplayName,           win::kServiceAllAccess,
                       win::kServiceWin32OwnProcess, win::kServiceAutoStart, win::kServiceErrorNormal,
                       binary_path_};
  HandleResult service = sc.CreateService(manager.get(), config);
  if (service.handle == kNullHandle) {
    Trace(L"[WindowServiceManager] CreateService failed");
    return service.error == win::kErrorServiceExists ? SERVICE_ALREADY_EXISTS : FAIL_TO_CREATE_SERVICE;
  }
  UniqueService owned(sc, service.handle);
  if (!sc.SetServiceDescription(service.handle, kDescription).ok) {
    Trace(L"[WindowServiceManager] ChangeServiceConfig2 \n");
  }
  return 0;
}

int WindowServiceManager::RunScsiService() {
  IServices& sc = machine_.services;
  UniqueService manager = OpenManager(sc, win::kScManagerCreateService);
  if (!manager) return FAIL_TO_OPEN_SCMANAGER;
  HandleResult service = sc.OpenService(manager.get(), kServiceName, win::kServiceAllAccess);
  if (service.handle == kNullHandle) {
    Trace(L"[WindowServiceManager] OpenService failed");
    return FAIL_TO_OPEN_SERVICE;
  }
  UniqueService owned(sc, service.handle);
  sc.StartService(service.handle);
  return 0;
}

int WindowServiceManager::DecodeFailureByte(std::uint8_t first) {
  const PhoneFailure* failure = FailureOfReplyByte(first);
  if (failure == nullptr) return FAIL_SCSI_UNKNOWN;
  Trace(std::wstring(L"[WindowServiceManger] GET_SETTING fail ") + failure->name);
  return failure->code;
}

bool WindowServiceManager::AwaitReply(Handle pipe) {
  ISystemInfo& clock = machine_.system;
  const std::uint32_t start = clock.GetTickCount();
  for (;;) {
    IoResult peek = machine_.services.PeekNamedPipe(pipe);
    if (!peek.ok || peek.transferred != 0) return true;
    // Unsigned difference: right across the tick count's wrap.
    if (clock.GetTickCount() - start >= kReplyWaitMs) return false;
    clock.Sleep(kReplyPollMs);
  }
}

int WindowServiceManager::PipeSend(const std::wstring& request, std::uint8_t* reply, std::uint32_t size,
                                   std::uint32_t* read) {
  IFileSystem& files = machine_.files;
  IServices& pipes = machine_.services;
  *read = 0;
  HandleResult pipe;
  for (;;) {
    pipe = files.CreateFile(kPipeName, win::kGenericRead | win::kGenericWrite, 0, win::kOpenExisting, 0);
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
  UniqueFile connection(machine_.kernel, pipe.handle);

  if (!pipes.SetNamedPipeHandleState(pipe.handle, win::kPipeReadmodeByte).ok) {
    Trace(L"[WindowServiceManager] SetNamedPipeHandleState failed");
    return FAIL_TO_SET_PIPE_MODE;
  }
  std::string bytes = ToUtf16LeBytes(request);
  bytes.append(2, '\0');  // the service reads up to the terminator
  Trace(L"[WindowServiceManager] WriteFile(+)");
  IoResult written = files.WriteFile(pipe.handle, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  Trace(L"[WindowServiceManager] WriteFile(-)");
  if (!written.ok) {
    Trace(L"[WindowServiceManager] WriteFile failed");
    return FAIL_TO_WRITE_PIPE;
  }
  for (;;) {
    Trace(L"[WindowServiceManager] ReadFile(+)");
    if (!AwaitReply(pipe.handle)) {
      Trace(L"[WindowServiceManager] ReadFile() no reply in " + std::to_wstring(kReplyWaitMs) + L" ms");
      return FAIL_TO_CONNECT_PIPE;
    }
    IoResult got = files.ReadFile(pipe.handle, reply, size);
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
