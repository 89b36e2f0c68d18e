// The check run: every step once, in a fixed order, stopping at the first failure; its result
// is the process exit code.
#pragma once

#include <string_view>

#include "platform/platform.h"

namespace cairn {

int runChecks(std::string_view commandTail, Platform& platform);

}  // namespace cairn
