// Autorun result codes: what every workflow, device and inspection operation
// returns. 0 = go on, NORMAL_EXIT = finished, anything else is a failure that
// the presentation turns into a message.
#pragma once

namespace devstart {

constexpr int AUTORUN_OK = 0;
constexpr int NORMAL_EXIT = 1;
constexpr int FAIL_UNKNOWN = 2;
constexpr int FAIL_SCSI_UNKNOWN = 100;
constexpr int FAIL_TO_OPEN_DRIVE = 101;
constexpr int FAIL_TO_SEND_SCSI_CMD = 102;
constexpr int FAIL_TO_OPEN_DRIVE_ACCESS_DENIED = 103;
constexpr int FAIL_TO_FIND_DRIVE = 104;
constexpr int FAIL_ISO_VALUE_UNKNOWN = 105;
constexpr int FAIL_SERVICE_UNKNOWN = 200;
constexpr int FAIL_TO_CONNECT_PIPE = 201;
constexpr int FAIL_TO_SET_PIPE_MODE = 202;
constexpr int FAIL_TO_WRITE_PIPE = 203;
constexpr int FAIL_TO_OPEN_SCMANAGER = 204;
constexpr int FAIL_TO_OPEN_SERVICE = 205;
constexpr int FAIL_TO_CREATE_SERVICE = 206;
constexpr int SERVICE_ALREADY_EXISTS = 207;
constexpr int SERVICE_NOT_RUNNING = 208;
constexpr int ADMIN_REQUIRED = 209;
// Install steps and the start of the installed application.
constexpr int FAIL_TO_RUN_ITK = 300;
constexpr int FAIL_TO_RUN_PCSUITE = 301;
constexpr int FAIL_TO_SETUP_DRIVER = 303;
constexpr int FAIL_TO_SETUP_ITK = 304;  // shows nothing
constexpr int VTP_NOT_INSTALLED = 307;
// An application that must be closed before the mode's product is installed.
constexpr int PCSUITE_BLOCKED_BY_VTP = 400;
constexpr int PCSUITE_BLOCKED_BY_INTERNET_KIT = 401;
constexpr int VTP_BLOCKED_BY_PCSUITE = 402;
constexpr int VTP_BLOCKED_BY_INTERNET_KIT = 403;
constexpr int INTERNET_KIT_BLOCKED_BY_VTP = 404;
constexpr int INTERNET_KIT_BLOCKED_BY_PCSUITE = 405;

}  // namespace devstart
