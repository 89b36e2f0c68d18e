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

std::string_view reasonFor(int exitCode, Step step, Status status);

// What an exit code of the single check means, for the summary.
std::string_view exitCodeMeaning(int exitCode);

}  // namespace cairn
