// One PC's check as a worker process runs it: the job handed to the child, the check itself on
// the child's platform, and the result handed back, each as one JSON text.
#pragma once

#include <optional>
#include <string>

#include "fleet/fleet_options.h"
#include "fleet/pc_record.h"
#include "platform/platform.h"

namespace cairn {

std::string encodeJob(const FleetOptions& options, const std::string& hostValue);

// Runs the job on platform and encodes its result. Nothing is printed and no title is set.
std::string runCheckJob(const std::string& job, Platform& platform);

// A record with the fields the worker's check filled in, or nothing for a text that is no
// whole result (a child that died while writing it).
std::optional<PcRecord> decodeCheckResult(const std::string& text);

}  // namespace cairn
