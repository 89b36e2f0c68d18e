// The fixed vocabulary of reasons: one word that says why a PC's check ended as it did, read
// from the exit code, the call that failed and that call's status.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/step.h"
#include "platform/console.h"
#include "platform/status.h"

namespace cairn {

// Exit codes the fleet gives a PC whose check never produced one.
inline constexpr int StoppedExitCode = 2;              // like a PC that cannot be asked in time
inline constexpr int CrashedExitCode = CrashExitCode;  // as a crashed single check on Windows

inline constexpr std::string_view ReasonStoppedAtDeadline = "stopped-at-deadline";
inline constexpr std::string_view ReasonCrashed = "crashed";
inline constexpr std::string_view ReasonLocalResources = "local-resources";

std::string_view reasonFor(int exitCode, Step step, Status status);

// True for a reason that only a PC answering on its SMB port can give (a refused logon, a
// name, a domain, the registry); false where the check never got past the connect, or its end
// says nothing of it (stopped, crashed).
bool reasonShowsSmbAnswer(std::string_view reason);

// What an administrator does next about a PC that ended with reason, in one line for the page;
// empty for a reason this version does not give (a record of a later one, merged by report).
std::string_view nextStep(std::string_view reason);

// True for a reason that says the PC was never reached: no name, no answer, a refused port.
bool reasonIsNotReached(std::string_view reason);

// True for a reason that says RemoteRegistry could not be controlled, started or put back: the
// run fails for these PCs whatever their exit codes.
bool reasonIsServiceTrouble(std::string_view reason);

// What an exit code of the single check means, for the summary.
std::string_view exitCodeMeaning(int exitCode);

}  // namespace cairn
