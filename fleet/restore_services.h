// cairnmark-fleet --restore-services JOURNAL: puts back every PC a journal still lists as changed
// (a run that died by kill -9 or a power cut), one line per PC on what it did.
#pragma once

#include <ostream>
#include <string>

#include "platform/service_control.h"
#include "remote/registry_service.h"

namespace cairn {

// Returns 0 when every pending PC was put back (or none was pending), 1 when one was not, 2 when
// the journal cannot be read or is none (the error names file and line on err).
int restoreServices(const std::string& journalPath, ServiceControl& control, Clock& clock,
                    std::ostream& out, std::ostream& err);

}  // namespace cairn
