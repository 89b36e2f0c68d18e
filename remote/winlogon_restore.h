// The fleet's undo of a --set-default run on one PC: the Winlogon values that run changed are put
// back as it found them, but only where every one of them still holds what it left, so that a
// change made since, by anyone, is never overwritten.
#pragma once

#include <string>

#include "core/check_context.h"
#include "remote/winlogon_update.h"

namespace cairn {

// Puts back check.options.restore on the PC and says in record.restore what it did: Done for
// Restored, WouldRestore (auditOnly: the key is opened for reading and nothing is written) and
// NothingToRestore (no value to put back, or the PC holds them already); ValueUnwritable with ChangedSince when a value holds something else now
// (what it holds is recorded as its before and after), and the update's failures otherwise. A
// value the recorded run found missing is deleted.
UpdateOutcome restoreDefaultDomain(CheckContext& check, const std::string& serverPath);

}  // namespace cairn
