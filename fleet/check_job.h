// One PC's check as a worker process runs it: the job handed to the child, the check itself on
// the child's platform, and the result handed back, each as one JSON text.
#pragma once

#include <optional>
#include <string>

#include "fleet/fleet_options.h"
#include "fleet/pc_record.h"
#include "fleet/service_journal.h"
#include "platform/platform.h"
#include "platform/workers.h"
#include "remote/registry_service.h"

namespace cairn {

// A check of the host; with --start-registry, entry names the PC's journal entry (its entry and
// pc).
std::string encodeJob(const FleetOptions& options, const std::string& hostValue,
                      const JournalEntry& entry = {});

// A restore of a journal entry's changes, for a PC whose worker ended before it put them back.
std::string encodeRestoreJob(const FleetOptions& options, const JournalEntry& entry);

// Runs the job on platform and encodes its result. Nothing is printed and no title is set.
// Before each step that can keep it waiting, the check hands progress the step and the address
// it has so far (see fleet/step_reports.h). The waits for RemoteRegistry go through clock.
std::string runCheckJob(const std::string& job, Platform& platform, const WorkerProgress& progress,
                        Clock& clock = steadyClock());

// A record with the fields the worker's check filled in, or nothing for a text that is no
// whole result (a child that died while writing it).
std::optional<PcRecord> decodeCheckResult(const std::string& text);

// What a restore job did: RemoteRegistry's state as left, and the call that failed when the PC
// was not put back.
struct RestoreReport {
  std::optional<std::string> after;
  bool restored = false;
  Step step = Step::None;
  Status status = StatusSuccess;
};

// The report of a restore job, or nothing for a text that is no whole result.
std::optional<RestoreReport> decodeRestoreResult(const std::string& text);

// Lays the fields a progress text names (the address, the step the check was in) over record;
// a text that is no progress report changes nothing.
void takeProgress(const std::string& text, PcRecord& record);

}  // namespace cairn
