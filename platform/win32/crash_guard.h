// What a crashed run leaves behind on Windows: an exit code (CrashExitCode), never a dialog, a
// debugger or a run that hangs.
#pragma once

#include "platform/console.h"

namespace cairn {

// Process-wide and idempotent: no error dialogs (critical errors, GP faults, missing files), an
// unhandled structured exception and an escaped C++ exception both end the process with
// CrashExitCode.
void installCrashGuard();

}  // namespace cairn
