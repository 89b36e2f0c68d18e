// The check run, the library both commands call: every step after the command line once, in a
// fixed order, stopping at the first failure; its result is the exit code of the single check.
#pragma once

#include "core/check_record.h"
#include "core/report.h"
#include "core/run_options.h"
#include "platform/platform.h"

namespace cairn {

// Checks the host of options, printing through printer (a printer that discards its output
// keeps the run silent), and notes in record where and why the check ended.
int runCheck(RunOptions options, ReportPrinter& printer, Platform& platform, CheckRecord& record);

}  // namespace cairn
