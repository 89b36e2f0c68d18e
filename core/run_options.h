// The parsed command line of one check: what every step reads, whoever filled it in (the single
// check's command line, or the fleet command for each PC of its list).
#pragma once

#include <optional>
#include <string>

namespace cairn {

// One Winlogon value as a --set-default run recorded it: what the run found (nothing where the
// value did not exist) and what it left.
struct RecordedValue {
  std::optional<std::string> before;
  std::string after;
};

// The values to put back (the fleet command's --restore-from): nothing for a value that the
// recorded run left as it found it, or did not reach.
struct RestoreRequest {
  std::optional<RecordedValue> defaultDomain;
  std::optional<RecordedValue> altDefaultDomain;
};

struct RunOptions {
  std::string hostText;             // /M value
  std::string targetDomain;         // /T value
  bool setDefaultDomain = false;    // /S
  bool ignoreNameMismatch = false;  // /I
  bool pingRequested = false;       // /P
  bool verbose = false;             // /V
  bool usageRequested = false;      // /?, /H or an unexpected item
  // With /S, also read the logon-domain policy for the record (the fleet command; the single
  // check never shows it, so it never asks).
  bool readLogonPolicy = false;
  // Read the Winlogon values and the policy into the record and write nothing (the fleet
  // command's --audit); it takes the place of /S.
  bool auditOnly = false;
  // Put back what a --set-default run found, where the PC still holds what that run left; it
  // takes the place of /S. With auditOnly, only tell what it would do.
  std::optional<RestoreRequest> restore = std::nullopt;
};

}  // namespace cairn
