// What a crashed run leaves behind on Windows: an exit code, never a dialog, a debugger or a
// run that hangs. Batch files test `if errorlevel 1`, so the code must be positive and must not
// be one of the tool's own codes.
#pragma once

namespace cairn {

inline constexpr unsigned CrashExitCode = 255;

// Process-wide and idempotent: no error dialogs (critical errors, GP faults, missing files), an
// unhandled structured exception and an escaped C++ exception both end the process with
// CrashExitCode.
void installCrashGuard();

}  // namespace cairn
