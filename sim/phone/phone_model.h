// The simulated phone behind the SCSI command library: its 3-byte setting
// block, its USB mode, results to inject per kind of call, and a log of every
// call. Portable, so the simulated PC of the native tests and the real
// SendScsiCmd.dll stand-in behave alike.
//
// Persisted form (the state file, one "key=value" per line, ASCII):
//   setting=40 0a 00      the setting block, hexadecimal bytes
//   mode=0                0 = CD-ROM; else the type of the command that switched it
//   status=01             the byte the second mode-change command answers
//   result.setting=-2 3   results to return instead of the normal one, one
//   result.mode1=-3       per call of that kind, in order (setting read, first
//   result.mode2=-20      and second mode-change command); used up as called
//   call=E 2 32 3 3       every call: drive, SubCode, type, length, result
// Unknown keys are kept as they are (the service reads its own from here).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace simphone {

struct PhoneCall {
  int drive = 0;
  int sub_code = 0;
  int type = 0;
  int length = 0;
  int result = 0;
};

class PhoneModel {
 public:
  std::uint8_t setting[3] = {0x40, 0x0A, 0x00};
  int mode = 0;
  std::uint8_t status = 0x01;
  std::deque<int> setting_results, mode1_results, mode2_results;
  std::vector<PhoneCall> calls;
  // Lines of the state file that the model does not own, kept in order.
  std::vector<std::string> other_lines;

  // One SendScsiCmd call. A command the phone does not know fails with -3
  // (the command cannot be sent).
  int Send(int drive, int sub_code, int type, std::uint8_t* data, int length) {
    int result;
    if (sub_code == 2 && type == 32) {
      result = Next(setting_results, 3);
      for (int i = 0; i < result && i < 3 && i < length; ++i) data[i] = setting[i];
    } else if (sub_code == 1 && type == 1) {
      result = Next(mode1_results, 0);
      if (result == 0) mode = type;
    } else if (sub_code == 1 && type == 129) {
      result = Next(mode2_results, 1);
      if (result == 1) {
        mode = type;
        if (length >= 1) data[0] = status;
      }
    } else {
      result = -3;
    }
    calls.push_back(PhoneCall{drive, sub_code, type, length, result});
    return result;
  }

  static PhoneModel Parse(const std::string& text) {
    PhoneModel m;
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      start = end + 1;
      while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
      if (line.empty()) continue;
      std::size_t eq = line.find('=');
      std::string key = line.substr(0, eq);
      std::string value = eq == std::string::npos ? "" : line.substr(eq + 1);
      if (key == "setting") {
        std::vector<int> bytes = Numbers(value, 16);
        for (std::size_t i = 0; i < 3; ++i) m.setting[i] = i < bytes.size() ? static_cast<std::uint8_t>(bytes[i]) : 0;
      } else if (key == "mode") {
        m.mode = std::atoi(value.c_str());
      } else if (key == "status") {
        m.status = static_cast<std::uint8_t>(std::strtol(value.c_str(), nullptr, 16));
      } else if (key == "result.setting") {
        for (int v : Numbers(value, 10)) m.setting_results.push_back(v);
      } else if (key == "result.mode1") {
        for (int v : Numbers(value, 10)) m.mode1_results.push_back(v);
      } else if (key == "result.mode2") {
        for (int v : Numbers(value, 10)) m.mode2_results.push_back(v);
      } else if (key == "call") {
        std::vector<std::string> f = Words(value);
        if (f.size() == 5) {
          m.calls.push_back(PhoneCall{static_cast<unsigned char>(f[0].empty() ? 0 : f[0][0]),
                                      std::atoi(f[1].c_str()), std::atoi(f[2].c_str()), std::atoi(f[3].c_str()),
                                      std::atoi(f[4].c_str())});
        }
      } else {
        m.other_lines.push_back(line);
      }
    }
    return m;
  }

  std::string Format() const {
    std::string out;
    char buf[160];
    std::snprintf(buf, sizeof buf, "setting=%02x %02x %02x\r\nmode=%d\r\nstatus=%02x\r\n", setting[0], setting[1],
                  setting[2], mode, status);
    out += buf;
    out += List("result.setting", setting_results);
    out += List("result.mode1", mode1_results);
    out += List("result.mode2", mode2_results);
    for (const std::string& line : other_lines) out += line + "\r\n";
    for (const PhoneCall& c : calls) {
      // A drive that is no printable letter is logged as "?".
      char letter = c.drive > 32 && c.drive < 127 ? static_cast<char>(c.drive) : '?';
      std::snprintf(buf, sizeof buf, "call=%c %d %d %d %d\r\n", letter, c.sub_code, c.type, c.length, c.result);
      out += buf;
    }
    return out;
  }

  // The value of a key the model does not own ("" when absent).
  std::string Other(const std::string& key) const {
    for (const std::string& line : other_lines) {
      if (line.compare(0, key.size() + 1, key + "=") == 0) return line.substr(key.size() + 1);
    }
    return "";
  }

 private:
  static int Next(std::deque<int>& scripted, int normal) {
    if (scripted.empty()) return normal;
    int r = scripted.front();
    scripted.pop_front();
    return r;
  }
  static std::vector<std::string> Words(const std::string& s) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < s.size()) {
      while (i < s.size() && (s[i] == ' ' || s[i] == ',')) ++i;
      std::size_t j = i;
      while (j < s.size() && s[j] != ' ' && s[j] != ',') ++j;
      if (j > i) out.push_back(s.substr(i, j - i));
      i = j;
    }
    return out;
  }
  static std::vector<int> Numbers(const std::string& s, int base) {
    std::vector<int> out;
    for (const std::string& w : Words(s)) out.push_back(static_cast<int>(std::strtol(w.c_str(), nullptr, base)));
    return out;
  }
  static std::string List(const char* key, const std::deque<int>& values) {
    if (values.empty()) return "";
    std::string out = std::string(key) + "=";
    for (std::size_t i = 0; i < values.size(); ++i) out += (i ? " " : "") + std::to_string(values[i]);
    return out + "\r\n";
  }
};

}  // namespace simphone
