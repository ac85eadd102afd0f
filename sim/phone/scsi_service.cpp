// The SCSI command service: a Windows service that lets users without
// administrator rights have SCSI commands sent to the phone. It offers the
// byte-mode pipe \\.\pipe\TavoScsiCommandService, reads one UTF-16LE request
// per connection and answers it through SendScsiCmd.dll (service_protocol.h).
//
// Test hooks, read from the phone's state file (phone_state_file.h):
//   service.hold_start_pending=1  stay in START_PENDING while the key is set
//   pipe.busy_ms=N                 keep the one pipe instance occupied for N ms
//                                  before taking clients (the key is used up)
//   pipe.off=1                     offer no pipe while the key is set
//   pipe.silent=1                  take each request and never answer it:
//                                  hold the connection until the client
//                                  lets go
// "ScsiCmdService.exe --console" serves the pipe without the service manager.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "phone_state_file.h"
#include "service_protocol.h"

extern "C" int WINAPI SendScsiCmd(int drive, int sub_code, int type, unsigned char* data, int length);

namespace {

const wchar_t kServiceName[] = L"TavoScsiCommandService";
const wchar_t kPipeName[] = L"\\\\.\\pipe\\TavoScsiCommandService";

SERVICE_STATUS_HANDLE g_status_handle = nullptr;
SERVICE_STATUS g_status{};
HANDLE g_stop = nullptr;

void Report(DWORD state, DWORD wait_hint = 0) {
  g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  g_status.dwCurrentState = state;
  g_status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  g_status.dwWin32ExitCode = NO_ERROR;
  g_status.dwWaitHint = wait_hint;
  if (state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING) {
    ++g_status.dwCheckPoint;
  } else {
    g_status.dwCheckPoint = 0;
  }
  if (g_status_handle != nullptr) ::SetServiceStatus(g_status_handle, &g_status);
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
      Report(SERVICE_STOP_PENDING, 5000);
      ::SetEvent(g_stop);
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      // The manager already holds the last status reported; answering from
      // inside the control dispatch with another call back into it only
      // adds a round trip while it waits for this reply.
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

std::string Hook(const char* key) {
  std::string value;
  simphone::WithPhoneState([&](simphone::PhoneModel& phone) { value = phone.Other(key); });
  return value;
}

void UseUpHook(const char* key) {
  simphone::WithPhoneState([&](simphone::PhoneModel& phone) {
    std::string prefix = std::string(key) + "=";
    for (auto it = phone.other_lines.begin(); it != phone.other_lines.end();) {
      it = it->compare(0, prefix.size(), prefix) == 0 ? phone.other_lines.erase(it) : it + 1;
    }
  });
}

bool Stopped(DWORD wait_ms = 0) { return ::WaitForSingleObject(g_stop, wait_ms) == WAIT_OBJECT_0; }

// Waits for an overlapped operation or the stop request; false when stopped
// or failed.
bool Finish(HANDLE pipe, OVERLAPPED& ov, BOOL started, DWORD* transferred) {
  if (!started && ::GetLastError() != ERROR_IO_PENDING) return ::GetLastError() == ERROR_PIPE_CONNECTED;
  HANDLE events[2] = {g_stop, ov.hEvent};
  if (::WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
    ::CancelIo(pipe);
    return false;
  }
  return ::GetOverlappedResult(pipe, &ov, transferred, FALSE) != FALSE;
}

// Anyone may talk to the service: it runs as the local system and exists for
// users who may not reach the phone themselves.
SECURITY_ATTRIBUTES* OpenToEveryone() {
  static SECURITY_DESCRIPTOR sd;
  static SECURITY_ATTRIBUTES sa;
  ::InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
  ::SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE);
  sa = SECURITY_ATTRIBUTES{sizeof sa, &sd, FALSE};
  return &sa;
}

// One instance, kept for the service's life: between two clients it exists
// but does not listen, so a client finds it busy and waits instead of
// finding no pipe at all. Offered once the test no longer holds it back.
HANDLE OpenPipe() {
  while (Hook("pipe.off") == "1" && !Stopped(200)) {
  }
  HANDLE pipe = INVALID_HANDLE_VALUE;
  while (pipe == INVALID_HANDLE_VALUE && !Stopped()) {
    pipe = ::CreateNamedPipeW(kPipeName, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                              PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 512, 512, 0, OpenToEveryone());
    if (pipe == INVALID_HANDLE_VALUE) Stopped(500);
  }
  return pipe;
}

void Serve(HANDLE pipe) {
  if (pipe == INVALID_HANDLE_VALUE) pipe = OpenPipe();
  OVERLAPPED ov{};
  ov.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  while (!Stopped()) {
    int busy_ms = std::atoi(Hook("pipe.busy_ms").c_str());
    if (busy_ms > 0) {
      // Occupy the instance as a client of our own, so others find the pipe
      // busy until it is let go.
      UseUpHook("pipe.busy_ms");
      ::ResetEvent(ov.hEvent);
      BOOL started = ::ConnectNamedPipe(pipe, &ov);
      HANDLE self = ::CreateFileW(kPipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      DWORD n = 0;
      Finish(pipe, ov, started, &n);
      Stopped(static_cast<DWORD>(busy_ms));
      if (self != INVALID_HANDLE_VALUE) ::CloseHandle(self);
      ::DisconnectNamedPipe(pipe);
    }
    ::ResetEvent(ov.hEvent);
    DWORD n = 0;
    if (!Finish(pipe, ov, ::ConnectNamedPipe(pipe, &ov), &n)) {
      ::DisconnectNamedPipe(pipe);
      continue;
    }
    char request[512];
    ::ResetEvent(ov.hEvent);
    DWORD got = 0;
    bool took = Finish(pipe, ov, ::ReadFile(pipe, request, sizeof request, nullptr, &ov), &got);
    if (took && Hook("pipe.silent") == "1") {
      // The next read ends only when the client hangs up (or we stop).
      ::ResetEvent(ov.hEvent);
      Finish(pipe, ov, ::ReadFile(pipe, request, sizeof request, nullptr, &ov), &got);
    } else if (took) {
      std::string reply = simphone::AnswerRequest(std::string(request, got), &SendScsiCmd);
      if (!reply.empty()) {
        ::ResetEvent(ov.hEvent);
        DWORD written = 0;
        Finish(pipe, ov, ::WriteFile(pipe, reply.data(), static_cast<DWORD>(reply.size()), nullptr, &ov), &written);
        ::FlushFileBuffers(pipe);
      }
    }
    ::DisconnectNamedPipe(pipe);
  }
  if (pipe != INVALID_HANDLE_VALUE) ::CloseHandle(pipe);
  ::CloseHandle(ov.hEvent);
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
  g_status_handle = ::RegisterServiceCtrlHandlerExW(kServiceName, Handler, nullptr);
  if (g_status_handle == nullptr) return;
  Report(SERVICE_START_PENDING, 3000);
  while (Hook("service.hold_start_pending") == "1" && !Stopped(100)) Report(SERVICE_START_PENDING, 3000);
  if (!Stopped()) {
    // The pipe is there before the service says it runs, so a client that
    // comes the moment the start returns finds it (unless a test holds the
    // pipe back on purpose).
    HANDLE pipe = Hook("pipe.off") == "1" ? INVALID_HANDLE_VALUE : OpenPipe();
    Report(SERVICE_RUNNING);
    Serve(pipe);
  }
  Report(SERVICE_STOPPED);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  g_stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (argc > 1 && std::wstring(argv[1]) == L"--console") {
    Serve(INVALID_HANDLE_VALUE);
    return 0;
  }
  SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(kServiceName), ServiceMain}, {nullptr, nullptr}};
  return ::StartServiceCtrlDispatcherW(table) ? 0 : static_cast<int>(::GetLastError());
}
