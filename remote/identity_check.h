// The identity and domain check: the remote PC must report the computer name it was asked by
// and membership of the target domain.
#pragma once

#include <string>

#include "core/check_context.h"
#include "core/resolved_target.h"

namespace cairn {

// "\\" + hostName, narrow for the registry and UTF-16 for network management.
struct ServerPath {
  std::string narrow;
  std::u16string wide;
};

// The two records network management hands back. They live until the common end of the remote
// steps and are released then, the workstation's first (members end in reverse order).
struct NetRecords {
  explicit NetRecords(NetManagement& net) : server(net), workstation(net) {}
  NetBuffer server;
  NetBuffer workstation;
};

enum class IdentityOutcome { Passed, QueryFailed, NameMismatch, WrongDomain };

ServerPath makeServerPath(const std::string& hostName, Console& console);

IdentityOutcome checkIdentity(CheckContext& check, const ResolvedTarget& target,
                              const ServerPath& serverPath, NetRecords& records);

}  // namespace cairn
