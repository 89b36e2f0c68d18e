// The check run: every step once, in a fixed order, stopping at the first failure; its result
// is the process exit code.
#pragma once

#include <string_view>

#include "core/check_record.h"
#include "core/run_options.h"
#include "platform/platform.h"

namespace cairn {

int runChecks(std::string_view commandTail, Platform& platform);

// The same check for options that were read elsewhere (the fleet command's, one PC of its list):
// every step after the command line, in the same order and with the same exit codes, noting in
// record where and why the check ended. Prints through platform.console as the single check does.
int runCheck(RunOptions options, Platform& platform, CheckRecord& record);

}  // namespace cairn
