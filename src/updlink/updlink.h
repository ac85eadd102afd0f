// The live-update library's logic: server queries, mirror choice, reports,
// cabinets and the phone identity, all through the machine's ports
// (platform/machine.h). One header per concern; this one gathers them for
// the exports and the tests.
#pragma once

#include "updlink/answer.h"
#include "updlink/cabinets.h"
#include "updlink/catalogue.h"
#include "updlink/encoding.h"
#include "updlink/flows.h"
#include "updlink/history.h"
#include "updlink/mirrors.h"
#include "updlink/phone_identity.h"
#include "updlink/registry_state.h"
#include "updlink/reports.h"
#include "updlink/server_query.h"
#include "updlink/words.h"
