// The SCSI command service's side of a pipe exchange: one UTF-16LE request in,
// one reply out, the SCSI command library doing the work. Portable, so the
// service stand-in and the simulated PC answer alike.
//   "GET_SETTING:<drive>"  setting read (2, 32, 3 bytes); reply: the 3 bytes
//   "MODE_CHANGE:<drive>"  first try (1, 1, 0 bytes), then (1, 129, 1 byte);
//                          reply: nothing, or the 1 status byte
// A failure answers the library's result as a 32-bit little-endian integer
// (4 bytes, so never mistaken for a success; its first byte is the result's
// low byte). An unknown request answers -3 the same way.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>

namespace simphone {

using SendFn = std::function<int(int drive, int sub_code, int type, std::uint8_t* data, int length)>;

inline std::string FailureReply(int result) {
  std::string out(4, '\0');
  auto u = static_cast<std::uint32_t>(result);
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((u >> (8 * i)) & 0xFF);
  return out;
}

// `request` is the raw bytes read from the pipe.
inline std::string AnswerRequest(const std::string& request, const SendFn& send) {
  std::string text;  // the request's low bytes up to the terminator
  for (std::size_t i = 0; i + 1 < request.size(); i += 2) {
    char c = request[i];
    if (c == 0 && request[i + 1] == 0) break;
    text.push_back(c);
  }
  const std::string kGet = "GET_SETTING:", kMode = "MODE_CHANGE:";
  std::uint8_t data[256];
  std::memset(data, 0, sizeof data);
  if (text.size() == kGet.size() + 1 && text.compare(0, kGet.size(), kGet) == 0) {
    int drive = static_cast<unsigned char>(text.back());
    int r = send(drive, 2, 32, data, 3);
    if (r == 3) return std::string(reinterpret_cast<char*>(data), 3);
    return FailureReply(r);
  }
  if (text.size() == kMode.size() + 1 && text.compare(0, kMode.size(), kMode) == 0) {
    int drive = static_cast<unsigned char>(text.back());
    if (send(drive, 1, 1, data, 0) == 0) return "";
    int r = send(drive, 1, 129, data, 1);
    if (r == 1) return std::string(reinterpret_cast<char*>(data), 1);
    return FailureReply(r);
  }
  return FailureReply(-3);
}

}  // namespace simphone
