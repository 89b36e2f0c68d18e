// The ICMP echo probe behind /P: one request per attempt, at most two attempts.
#pragma once

#include <cstdint>
#include <string>

#include "core/check_context.h"
#include "platform/icmp_echo.h"

namespace cairn {

inline constexpr std::uint32_t EchoTimeoutMs = 2000;
inline constexpr std::uint8_t EchoTtl = 255;

enum class PingOutcome { HostUp, HostDown };

// One echo attempt: StatusSuccess only when an echo reply arrived, otherwise the failure's
// status (StatusNoAddress for a text that is no address).
Status probeEcho(IcmpEcho& icmp, const std::string& addressText, std::uint32_t timeoutMs);

// The /P step: a second attempt at once after a failed first one.
// A host found down is noted in the record with the status of the second attempt.
PingOutcome pingHost(CheckContext& check, const std::string& addressText);

}  // namespace cairn
