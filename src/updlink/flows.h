// The checks behind the exports: country, model, offer list, mirror choice,
// and the setup launch.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/machine.h"
#include "updlink/mirrors.h"
#include "updlink/server_query.h"

namespace updlink {

struct Country { std::string code, region; };
Country LookupCountry(ExportCall& call, bool phoneCheck);

// The P4 row of an accepted offer list: the main address, the two recommended
// mirrors with their types ("KIC/GLOBAL", ...) and the check file of each.
struct Offer { std::string uri, uri1, type1, uri2, type2, chk1, chk2; };
// The length the server announces for a URL, 0 when it announces none.
using SizeProbe = std::function<int(const std::string& url)>;
// Where the download goes: the mirror code for the history id, the address,
// and the result word when there is none to give (empty when ready).
struct MirrorChoice { std::string code, url, message; };
// `load` is nullopt when the monitoring answer was unreadable: every figure
// then reads as 0 and the check fails, but the choice is still made as ever,
// probe included. The probe is asked only while a mirror is still chosen.
MirrorChoice ChooseMirror(const Offer& offer, const std::optional<LoadFigures>& load, const SizeProbe& probe);

struct CheckResult { std::string url, history, message; };
CheckResult CheckLVUpdate(devstart::Machine& m, const std::string& version);
struct PhoneCheckResult { int result = 0; std::string message; };
PhoneCheckResult CheckPhoneSWUpdate(devstart::Machine& m);
int StartUpdate(devstart::Machine& m);

}  // namespace updlink
