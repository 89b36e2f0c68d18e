// The "Assign a default domain for logon" policy: where Group Policy sets it, the logon screen
// offers its domain, not the Winlogon values, so a rewrite of those changes nothing a user sees.
#pragma once

#include <optional>
#include <string>

#include "platform/registry.h"

namespace cairn {

inline constexpr const char* LogonPolicyKeyPath =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
inline constexpr const char* LogonPolicyValueName = "DefaultLogonDomain";

// The policy's domain in upper case, read (never written) under the connected root; nothing when
// the policy is not set or cannot be read.
std::optional<std::string> readLogonPolicy(Registry& registry, const OpenRegKey& root);

}  // namespace cairn
