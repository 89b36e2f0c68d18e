// The rules a value given for a check obeys, whichever command hands it over: the single check's
// /M and /T switches, or the fleet command's list lines and --domain.
#pragma once

#include <string>
#include <string_view>

namespace cairn {

// A switch value as a check takes it: the blanks, backslashes, dots and quotes around it cut
// off, and upper case.
std::string normalizeSwitchValue(std::string_view value);

}  // namespace cairn
