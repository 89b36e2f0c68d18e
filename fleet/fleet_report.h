// cairnmark-fleet report: the JSON Lines records of several runs or sites merged into one
// summary, CSV file and page. A PC recorded more than once counts once, by its latest record.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace cairn {

struct ReportOptions {
  std::vector<std::string> recordPaths;
  std::string csvPath;
  std::string htmlPath;
};

struct ReportCommand {
  std::optional<ReportOptions> options;
  int exitCode = 0;
};

// True when the command line asks for a report (its first argument is "report").
bool isReportCommand(int argc, const char* const* argv);

// Reads the report's arguments (after "report"); help goes to standard output, errors to
// standard error.
ReportCommand readReportCommand(int argc, const char* const* argv);

// Merges the records, writes the summary to out and every record that cannot be read, named by
// file and line, to err. Returns 0 when every PC passed, 1 when one failed, 2 when a file cannot
// be read at all or an output file is refused, 3 when a record could not be read or an output
// file not written.
int runReport(const ReportOptions& options, std::ostream& out, std::ostream& err);

}  // namespace cairn
