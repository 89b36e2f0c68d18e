// Forward and reverse host lookups, each a self-contained start-up, query and clean-up.
#pragma once

#include <cstdint>
#include <string>

#include "platform/sockets.h"

namespace cairn {

inline constexpr std::uint16_t SocketsVersion = 0x0002;  // version 2.0

// The first address of the name (network byte order), 0 when there is none.
std::uint32_t lookupHostAddress(Sockets& sockets, const std::string& name);

// The official name of the address, the local host name for address 0, empty text when there is
// none.
std::string lookupHostName(Sockets& sockets, std::uint32_t address);

}  // namespace cairn
