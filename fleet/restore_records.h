// What --restore-from puts back: the records of a --set-default run, read back and checked whole
// before any PC is contacted, each PC by its latest record.
#pragma once

#include <string>
#include <vector>

#include "core/run_options.h"

namespace cairn {

struct RestoreJob {
  std::string pc;      // as the recorded run listed it
  std::string domain;  // the recorded run's --domain
  // A value the recorded run changed: what it found (nothing where the value did not exist)
  // and what it left. Nothing for a value it left as found or never reached.
  RestoreRequest request;

  bool anyChange() const { return request.defaultDomain || request.altDefaultDomain; }
};

// Reads the records at path into jobs, in the order their PCs were first met. domain, where
// given, is the only one the records may name, and the one of records that name none. Returns
// every line that makes the file untrustworthy as "FILE:LINE: cause" (a line that holds no
// record of this tool, a torn last line, a record of another domain or of none), or the file's
// own fault; nothing when the file can be trusted whole.
std::vector<std::string> readRestoreJobs(const std::string& path, const std::string& domain,
                                         std::vector<RestoreJob>& jobs);

}  // namespace cairn
