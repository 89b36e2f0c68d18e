#include "front/single_check.h"

#include "check/check_run.h"
#include "check/exit_codes.h"
#include "front/command_line.h"

namespace cairn {

int runChecks(std::string_view commandTail, Platform& platform) {
  displayEnabled = true;
  RunOptions options;
  ReportPrinter printer(platform.console);
  switch (readCommandLine(commandTail, options, printer, platform.console)) {
    case CommandLineOutcome::UsageShown:
      return ExitUsage;
    case CommandLineOutcome::SwitchConflict:
      return ExitBadValue;
    case CommandLineOutcome::Proceed:
      break;
  }
  printer.setVerbose(options.verbose);
  CheckRecord record;
  return runCheck(options, printer, platform, record);
}

}  // namespace cairn
