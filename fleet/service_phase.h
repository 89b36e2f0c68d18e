// The worker's part in RemoteRegistry: where a check ends because the registry pipe is
// unavailable, a read-only query says why; with --start-registry the service is started, the
// check run again on it, and the service put back on every path, each change journaled first.
#pragma once

#include <functional>
#include <string>

#include "fleet/pc_record.h"
#include "fleet/service_journal.h"
#include "platform/service_control.h"
#include "remote/registry_service.h"

namespace cairn {

struct ServiceJob {
  bool startRegistry = false;
  std::string journalPath;
  JournalEntry entry;  // its entry and pc; the server is the check's
  ServiceBounds bounds;
};

// The bounds of a start and of a restore within a PC's deadline: a quarter of it each, at most
// the library's own, so that the check between them and the restore after it keep time of their
// own.
ServiceBounds serviceBoundsWithin(double deadlineSeconds);

// Runs after the check that filled record. checkAgain runs the check once more into the check
// record it is handed and gives its exit code.
void runServicePhase(const ServiceJob& job, ServiceControl& control, Clock& clock,
                     const std::function<int(CheckRecord&)>& checkAgain, PcRecord& record);

// Puts back a journal entry's changes and, once the PC is as it was found, closes the entry in
// the journal. The result is the restore's.
RegistryServiceResult restoreEntry(const JournalEntry& entry, const std::string& journalPath,
                                   ServiceControl& control, Clock& clock,
                                   const ServiceBounds& bounds);

}  // namespace cairn
