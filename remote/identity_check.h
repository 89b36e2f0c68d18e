// The identity and domain check: the remote PC must report the computer name it was asked by
// and membership of the target domain.
#pragma once

#include <string>

#include "core/check_record.h"
#include "core/report.h"
#include "core/resolved_target.h"
#include "core/run_options.h"
#include "platform/platform.h"

namespace cairn {

// "\\" + hostName, narrow for the registry and UTF-16 for network management.
struct ServerPath {
  std::string narrow;
  std::u16string wide;
};

// The two records network management hands back; they live until the common end of the run.
struct NetRecords {
  NetRecord workstation = nullptr;
  NetRecord server = nullptr;
};

enum class IdentityOutcome { Passed, QueryFailed, NameMismatch, WrongDomain };

ServerPath makeServerPath(const std::string& hostName, Console& console);

IdentityOutcome checkIdentity(const ResolvedTarget& target, const RunOptions& options,
                              const ServerPath& serverPath, NetRecords& records,
                              ReportPrinter& printer, Platform& platform, CheckRecord& record);

// Hands both records to the platform's release, workstation first, each exactly once.
void releaseRecords(NetRecords& records, NetManagement& netManagement);

}  // namespace cairn
