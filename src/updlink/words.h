// The result words the exports hand back to the PC suite.
#pragma once

namespace updlink {

inline constexpr const char* kMsgReady = "MSG_READY";
inline constexpr const char* kMsgAuthFail = "MSG_AUTH_FAIL";
inline constexpr const char* kMsgPhoneFail = "MSG_PHONE_FAIL";
inline constexpr const char* kMsgNoUrlFail = "NO_URL_FAIL";
inline constexpr const char* kMsgConnFail = "MSG_CONN_FAIL";
inline constexpr const char* kMsgMaxUser = "MSG_MAX_USER";
inline constexpr const char* kMsgSuccess = "MSG_SUCCESS";
inline constexpr const char* kMsgFail = "MSG_FAIL";
inline constexpr const char* kMsgConnectFail = "MSG_CONNECT_FAIL";
inline constexpr const char* kMsgNoNewVersion = "MSG_NO_NEW_VERSION";

}  // namespace updlink
