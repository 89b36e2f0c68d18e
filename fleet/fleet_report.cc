#include "fleet/fleet_report.h"

#include <CLI/CLI.hpp>
#include <set>
#include <sstream>

#include "fleet/fleet_options.h"
#include "fleet/html_report.h"
#include "fleet/pc_list.h"
#include "fleet/record_files.h"
#include "fleet/record_merge.h"
#include "fleet/summary.h"

namespace cairn {
namespace {

std::string domainsOf(const std::vector<PcRecord>& records) {
  std::set<std::string> domains;
  for (const PcRecord& record : records) {
    if (!record.domain.empty()) domains.insert(record.domain);
  }
  std::string text;
  for (const std::string& domain : domains) text += (text.empty() ? "" : ", ") + domain;
  return text;
}

// The --csv file, made by the run's own record files so that it is refused and written as a
// run's is.
class ReportFiles {
 public:
  std::string open(const ReportOptions& options, const std::string& domains) {
    FleetOptions fileOptions;
    fileOptions.csvPath = options.csvPath;
    std::istringstream none;
    PcList list(none);
    std::string error = files_.open(fileOptions, list);
    if (error.empty()) error = html_.open(options.htmlPath, domains);
    return error;
  }
  std::string write(const PcRecord& record) {
    if (std::string error = files_.write(record); !error.empty()) return error;
    return html_.addRow(record);
  }
  std::string finish(const FleetSummary& summary) { return html_.finish(summary); }

 private:
  RecordFiles files_;
  HtmlReport html_;
};

}  // namespace

bool isReportCommand(int argc, const char* const* argv) {
  return argc > 1 && std::string(argv[1]) == "report";
}

ReportCommand readReportCommand(int argc, const char* const* argv) {
  ReportOptions options;
  CLI::App app(
      "Merges the JSON Lines records of several runs or sites into one summary, CSV "
      "file and page; a PC recorded more than once counts once, by its latest record.",
      "cairnmark-fleet report");
  app.allow_windows_style_options(false);
  app.add_option("RECORDS", options.recordPaths, "--jsonl files of cairnmark-fleet runs")
      ->required();
  app.add_option("--csv", options.csvPath, "write a CSV row per PC to FILE (a new file)");
  app.add_option("--html", options.htmlPath, "write a page with a chart and every record");
  try {
    app.parse(argc - 1, argv + 1);
  } catch (const CLI::Error& error) {
    const int code = app.exit(error);
    return {std::nullopt, code == 0 ? FleetExitAllPassed : FleetExitCannotRun};
  }
  return {options, FleetExitAllPassed};
}

int runReport(const ReportOptions& options, std::ostream& out, std::ostream& err) {
  MergedRecords merged;
  for (const std::string& path : options.recordPaths) {
    if (const std::string error = readRecordFile(path, merged); !error.empty()) {
      err << "cairnmark-fleet report: " << error << '\n';
      return FleetExitCannotRun;
    }
  }
  ReportFiles files;
  if (const std::string error = files.open(options, domainsOf(merged.records)); !error.empty()) {
    err << "cairnmark-fleet report: " << error << '\n';
    return FleetExitCannotRun;
  }
  for (const UnreadableRecord& bad : merged.unreadable)
    err << "cairnmark-fleet report: " << bad.where << ": " << bad.cause << "; not counted\n";
  FleetSummary summary;
  summary.fromRecords = true;
  std::string writeError;
  for (const PcRecord& record : merged.records) {
    summary.add(record, record.domain);
    if (writeError.empty()) writeError = files.write(record);
  }
  summary.unreadableRecords = merged.unreadable.size();
  if (writeError.empty()) writeError = files.finish(summary);
  if (!writeError.empty()) err << "cairnmark-fleet report: " << writeError << '\n';
  out << merged.read << " records read from " << options.recordPaths.size() << " files\n"
      << summaryText(summary) << std::flush;
  if (!writeError.empty() || !merged.unreadable.empty()) return FleetExitRecordsIncomplete;
  return summary.anyFailure() ? FleetExitSomeFailed : FleetExitAllPassed;
}

}  // namespace cairn
