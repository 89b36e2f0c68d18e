// IPv4 addresses: the dotted-text check, its conversion to an address and back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace cairn {

// True when the text is four fields joined by dots, each one to three decimal digits with a
// value of at most 255 (leading zeros read as decimal). Anything looser could quietly turn a
// typo into another machine's address.
bool isDottedAddress(std::string_view text);

// The address (network byte order) of a text that passed isDottedAddress. Any other text gives
// some address, never a read beyond the text.
std::uint32_t parseDottedAddress(std::string_view text);

// The four octets in memory order, in plain decimal, joined by dots.
std::string formatDottedAddress(std::uint32_t address);

}  // namespace cairn
