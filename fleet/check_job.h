// One PC's check as a worker process runs it: the job handed to the child, the check itself on
// the child's platform, and the result handed back, each as one JSON text.
#pragma once

#include <optional>
#include <string>

#include "fleet/fleet_options.h"
#include "fleet/pc_record.h"
#include "fleet/restore_records.h"
#include "platform/platform.h"
#include "platform/workers.h"

namespace cairn {

// The job of one PC; with restore (--restore-from), the values to put back, for the domain the
// recorded run was given.
std::string encodeJob(const FleetOptions& options, const std::string& hostValue,
                      const RestoreJob* restore = nullptr);

// Runs the job on platform and encodes its result. Nothing is printed and no title is set.
// Before each step that can keep it waiting, the check hands progress the step and the address
// it has so far (see fleet/step_reports.h).
std::string runCheckJob(const std::string& job, Platform& platform, const WorkerProgress& progress);

// The reason a restore's outcome gives its record ("restored", ...); empty for None.
std::string_view restoreResultName(RestoreResult result);

// A record with the fields the worker's check filled in, or nothing for a text that is no
// whole result (a child that died while writing it).
std::optional<PcRecord> decodeCheckResult(const std::string& text);

// Lays the fields a progress text names (the address, the step the check was in) over record;
// a text that is no progress report changes nothing.
void takeProgress(const std::string& text, PcRecord& record);

}  // namespace cairn
