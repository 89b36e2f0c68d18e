// Text rules shared by every step: the byte-wise upper-casing and the blank stripping.
#pragma once

#include <string>
#include <string_view>

namespace cairn {

// Raises a to z and the seven code-page-437 letters to their capitals, byte by byte, with no
// locale: the same bytes give the same result on every machine.
char upperCaseByte(char c);
std::string upperCase(std::string_view text);

// The text with every control byte (below 32, and 127) replaced by '?'. Names and values that a
// PC or a name record hands over pass through it before they are printed, so that a hostile
// answer cannot put terminal commands on an administrator's screen.
std::string printableText(std::string_view text);

// Removes spaces (code 32 only) from both ends.
std::string stripBlanks(std::string_view text);

}  // namespace cairn
