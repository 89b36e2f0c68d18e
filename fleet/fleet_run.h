// A fleet run: the list read as a stream, at most --jobs checks at a time in worker processes,
// a record per PC the moment it is done, a summary at the end.
#pragma once

#include <functional>
#include <ostream>

#include "fleet/fleet_options.h"
#include "platform/workers.h"

namespace cairn {

struct FleetStreams {
  std::istream& input;  // the list when it is "-"
  std::ostream& out;    // progress line and summary
  std::ostream& err;    // what makes the run impossible
  bool outIsTerminal = false;
};

// Runs the fleet; returns the fleet command's exit code. The list and every output file are
// checked before the first PC is contacted.
// firstSmbAnswer, where given, is called once, after the first record of a PC that answered on
// its SMB port: from then on checks need the remote services, and the caller may map them into
// the fleet process for the workers it starts later to share.
int runFleet(const FleetOptions& options, Workers& workers, FleetStreams streams,
             const std::function<void()>& firstSmbAnswer = {});

}  // namespace cairn
