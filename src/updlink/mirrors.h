// The servers a download can come from and what the monitoring answer says
// about their load.
#pragma once

#include <iterator>

namespace updlink {

struct MirrorLoad { int users = 0, cap = 0; };
// The monitoring answer: users on the main server, and users and cap of each mirror.
struct LoadFigures { int global = 0; MirrorLoad ruba, kic, aic, cic, eic; };

// Each server's code, the letter that stands for it in a history id, and
// for the mirrors the monitoring fields of their users and cap. The main
// server comes last: it has no cap, and it is what an unknown code means.
struct Mirror {
  const char* code;
  char letter;
  const char* users;
  const char* cap;
  MirrorLoad LoadFigures::*load;
};
inline constexpr Mirror kMirrors[] = {
    {"RUBA", 'N', "pcsync_ruba", "pcsync_ruba_control_cnt", &LoadFigures::ruba},
    {"KIC", 'K', "pcsync_kic", "pcsync_kic_control_cnt", &LoadFigures::kic},
    {"AIC", 'A', "pcsync_aic", "pcsync_aic_control_cnt", &LoadFigures::aic},
    {"CIC", 'C', "pcsync_cic", "pcsync_cic_control_cnt", &LoadFigures::cic},
    {"EIC", 'E', "pcsync_eic", "pcsync_eic_control_cnt", &LoadFigures::eic},
    {"GLOBAL", 'G', "pcsync_global", nullptr, nullptr},
};
inline constexpr const Mirror& kMainServer = kMirrors[std::size(kMirrors) - 1];

}  // namespace updlink
