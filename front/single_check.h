// The single check: its command line read from the tail, then the check run.
#pragma once

#include <string_view>

#include "platform/platform.h"

namespace cairn {

// The exit code of the single check given this command tail.
int runChecks(std::string_view commandTail, Platform& platform);

}  // namespace cairn
