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
};

}  // namespace cairn
