// The parsed command line of one check: what every step reads, whoever filled it in (the single
// check's command line, or the fleet command for each PC of its list).
#pragma once

#include <string>

namespace cairn {

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
};

}  // namespace cairn
