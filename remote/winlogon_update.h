// The Winlogon default-domain update behind /S: DefaultDomainName and AltDefaultDomainName of the
// remote PC are made to hold the target domain.
#pragma once

#include <string>

#include "core/check_context.h"

namespace cairn {

inline constexpr std::uint32_t ValueBufferSize = 1024;
inline constexpr const char* FailedReadMarker = "*ERROR*";

enum class UpdateOutcome { Done, RegistryUnreachable, ValueUnreadable, ValueUnwritable };

// With options.readLogonPolicy, also reads the logon-domain policy into the record over the same
// connection.
UpdateOutcome updateDefaultDomain(CheckContext& check, const std::string& serverPath,
                                  const std::string& hostName);

}  // namespace cairn
