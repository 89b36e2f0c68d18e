// The Winlogon default-domain update behind /S: DefaultDomainName and AltDefaultDomainName of the
// remote PC are made to hold the target domain.
#pragma once

#include <string>

#include "core/check_context.h"
#include "platform/registry.h"

namespace cairn {

inline constexpr std::uint32_t ValueBufferSize = 1024;
inline constexpr const char* FailedReadMarker = "*ERROR*";

enum class UpdateOutcome { Done, RegistryUnreachable, ValueUnreadable, ValueUnwritable };

// Reads a Winlogon value as text up to its first NUL, upper-cased; FailedReadMarker when the read
// left the buffer untouched, with the read's status in status.
std::string readDomainValue(Registry& registry, RegKey key, const char* valueName, Status& status);

// Connects to the PC's registry, waiting a bounded time while a trigger-started RemoteRegistry
// comes up (the PC answers that its pipe is busy meanwhile).
Status connectWaitingForTriggerStart(CheckContext& check, OpenRegKey& root,
                                     const std::string& serverPath);

// With options.readLogonPolicy, also reads the logon-domain policy into the record over the same
// connection.
UpdateOutcome updateDefaultDomain(CheckContext& check, const std::string& serverPath,
                                  const std::string& hostName);

}  // namespace cairn
