// The operating system as the logic sees it: one small interface per OS
// concern, in Win32 vocabulary. platform/win32 implements each with the real
// calls, tests/fake with an in-memory PC, and one contract suite holds both
// to the same behaviour.
//
// Conventions, for every port:
// - A method is one Win32 call (or the short fixed sequence its comment
//   names) with its arguments passed through unchanged: access masks, flags,
//   verbs, value types and error codes keep their Win32 values
//   (platform/win32_values.h), so a test can see exactly what was asked.
// - Errors are reported as Windows reports them: registry calls return their
//   LSTATUS; BOOL and handle calls return a small record whose `error` is
//   GetLastError() taken right after the call (0 on success); a call whose
//   failure the logic never tells apart returns bool or an empty optional.
// - Out-parameters are written only on success; on failure they keep what
//   the caller put there.
// - Handles are plain values. Owning them (and closing each kind with its
//   own call) is the job of the types in platform/handles.h.
// - The program speaks UTF-16 (std::wstring), the live-update library the
//   ANSI code page (std::string): where both need a concern, the port has
//   both variants as methods, the ANSI ones suffixed "A" as in Win32.
//
// The records every port returns are in platform/results.h.
#pragma once

#include "platform/results.h"
#include "platform/win32_values.h"
#include "platform/ports/system.h"
#include "platform/ports/files.h"
#include "platform/ports/version_info.h"
#include "platform/ports/registry.h"
#include "platform/ports/kernel.h"
#include "platform/ports/processes.h"
#include "platform/ports/windowing.h"
#include "platform/ports/services.h"
#include "platform/ports/security.h"
#include "platform/ports/scsi.h"
#include "platform/ports/modules.h"
#include "platform/ports/internet.h"
#include "platform/ports/cabinets.h"
#include "platform/ports/com.h"
