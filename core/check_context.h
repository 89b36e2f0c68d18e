// What every step of a check receives: its options (the target domain normalised once the run
// has read it), the printer it reports through, the platform it talks to, and the record it
// fills in.
#pragma once

#include "core/check_record.h"
#include "core/report.h"
#include "core/run_options.h"
#include "platform/platform.h"

namespace cairn {

struct CheckContext {
  RunOptions options;
  ReportPrinter& printer;
  Platform& platform;
  CheckRecord& record;
};

}  // namespace cairn
