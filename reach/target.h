// Target naming and address resolution: the /T value becomes a NetBIOS domain name, the /M
// value is checked and resolved in the other direction.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/check_context.h"
#include "core/resolved_target.h"

namespace cairn {

inline constexpr std::size_t NetbiosNameLimit = 15;

enum class HostKind { Name, Address };
enum class ResolveOutcome { Resolved, InvalidValue, LookupFailed };

// The leftmost label of the domain value, or nothing when it is longer than 15 characters.
std::optional<std::string> normalizeTargetDomain(std::string_view domainValue);

// A value holding any of A to Z is a name; anything else is taken as an address.
HostKind classifyHostValue(std::string_view hostValue);

// Normalises options.targetDomain, then checks and resolves options.hostText into target.
// Prints the resolution line, or writes the error line that ends the run.
ResolveOutcome resolveTarget(CheckContext& check, ResolvedTarget& target);

}  // namespace cairn
