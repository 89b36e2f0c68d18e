// The fleet's read-only look at what a --set-default run would find: both Winlogon values and the
// logon-domain policy, read into the record, with no write call anywhere on its path.
#pragma once

#include <string>

#include "core/check_context.h"
#include "remote/winlogon_update.h"

namespace cairn {

// Ends as the update would have ended had it written nothing: RegistryUnreachable, ValueUnreadable
// or Done. The key is opened for reading only, so a PC that grants no more than that is audited
// too.
UpdateOutcome auditDefaultDomain(CheckContext& check, const std::string& serverPath);

}  // namespace cairn
