#include "updlink/history.h"

#include <cctype>
#include <cstdio>

#include "updlink/mirrors.h"

namespace updlink {

namespace {

const Mirror* MirrorByLetter(const std::string& letter) {
  for (const Mirror& m : kMirrors)
    if (letter.size() == 1 && letter[0] == m.letter) return &m;
  return nullptr;
}

const Mirror* MirrorByCode(const std::string& code) {
  for (const Mirror& m : kMirrors)
    if (code == m.code) return &m;
  return nullptr;
}

long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

long long Seconds(int y, int mo, int d, int h, int mi, int s) {
  return DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400LL + h * 3600LL + mi * 60LL + s;
}

}  // namespace

HistoryParts SplitHistoryId(std::string_view id) {
  HistoryParts p;
  auto piece = [&](std::size_t at, std::size_t n) {
    return at < id.size() ? std::string(id.substr(at, n)) : std::string();
  };
  p.letter = piece(0, 1);
  p.country = piece(1, 2);
  p.region = piece(3, 1);
  std::string rest = piece(4, std::string_view::npos);
  auto colon = rest.find(':');
  if (colon == std::string::npos) {
    p.stamp = rest;
  } else {
    p.model = rest.substr(0, colon);
    p.stamp = rest.substr(colon + 1);
  }
  return p;
}

std::string MirrorNameFromLetter(const std::string& letter) {
  const Mirror* m = MirrorByLetter(letter);
  return m ? m->code : letter;
}

std::string HistoryLetter(const std::string& code) {
  const Mirror* m = MirrorByCode(code);
  return std::string(1, (m ? *m : kMainServer).letter);
}

std::string FormatStamp(const devstart::LocalTime& t) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d%02d%02d%02d%02d%02d%03d", t.year % 100, t.month, t.day, t.hour, t.minute,
                t.second, t.milliseconds);
  return buf;
}

long long StampElapsedSeconds(std::string_view stamp, const devstart::LocalTime& now) {
  if (stamp.size() < 12) return -1;
  int f[6];
  for (std::size_t i = 0; i < 6; ++i) {
    char a = stamp[2 * i], b = stamp[2 * i + 1];
    if (!std::isdigit(static_cast<unsigned char>(a)) || !std::isdigit(static_cast<unsigned char>(b))) return -1;
    f[i] = (a - '0') * 10 + (b - '0');
  }
  if (f[1] < 1 || f[1] > 12 || f[2] < 1 || f[2] > 31 || f[3] > 23 || f[4] > 59 || f[5] > 59) return -1;
  long long diff = Seconds(now.year, now.month, now.day, now.hour, now.minute, now.second) -
                   Seconds(2000 + f[0], f[1], f[2], f[3], f[4], f[5]);
  // Whole days are dropped; only the time of day of the span counts.
  return diff % 86400;
}

std::string DownloadTime(const std::string& status, std::string_view stamp, const devstart::LocalTime& now) {
  if (status == "FAIL") return "0.5";
  if (status != "OK") return "0.1";
  long long s = StampElapsedSeconds(stamp, now);
  if (s == -1) s = 0;
  return std::to_string(s);
}

}  // namespace updlink
