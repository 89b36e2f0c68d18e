#include "fleet/fleet_report.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "core/text.h"
#include "fleet/fleet_options.h"
#include "fleet/html_report.h"
#include "fleet/pc_list.h"
#include "fleet/record_fields.h"
#include "fleet/record_files.h"
#include "fleet/summary.h"

namespace cairn {
namespace {

struct Unreadable {
  std::string where;  // FILE:LINE, or FILE for a file with no record
  std::string cause;
};

struct Merged {
  std::vector<PcRecord> records;          // the latest of each PC, in the order first met
  std::map<std::string, std::size_t> at;  // a PC's upper-cased name to its place in records
  std::vector<Unreadable> unreadable;
  std::size_t read = 0;
};

void take(Merged& merged, PcRecord record) {
  const auto [place, added] = merged.at.emplace(upperCase(record.pc), merged.records.size());
  if (added) {
    merged.records.push_back(std::move(record));
    return;
  }
  // Of two records that started at the same moment, the one read later counts.
  PcRecord& kept = merged.records[place->second];
  if (record.started >= kept.started) kept = std::move(record);
}

// Every line of one file; the cause when the file cannot be read at all.
std::string readRecords(const std::string& path, Merged& merged) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) return path + ": a directory, not records";
  std::ifstream in(path, std::ios::binary);
  if (!in) return path + ": cannot read the records";
  std::string line;
  std::size_t number = 0;
  std::size_t records = 0;
  while (std::getline(in, line)) {
    ++number;
    const bool torn = in.eof();  // the last line has no line end
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const auto json = RecordJson::parse(line, nullptr, false);
    std::string cause;
    std::optional<PcRecord> record;
    if (json.is_discarded())
      cause = torn ? "a last line cut short" : "not a JSON record (a file of another tool?)";
    else
      record = recordOfJson(json, cause);
    if (!record) {
      merged.unreadable.push_back({path + ":" + std::to_string(number), cause});
      continue;
    }
    ++records;
    ++merged.read;
    take(merged, std::move(*record));
  }
  if (records == 0 && number == 0) merged.unreadable.push_back({path, "holds no record"});
  return {};
}

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
  Merged merged;
  for (const std::string& path : options.recordPaths) {
    if (const std::string error = readRecords(path, merged); !error.empty()) {
      err << "cairnmark-fleet report: " << error << '\n';
      return FleetExitCannotRun;
    }
  }
  ReportFiles files;
  if (const std::string error = files.open(options, domainsOf(merged.records)); !error.empty()) {
    err << "cairnmark-fleet report: " << error << '\n';
    return FleetExitCannotRun;
  }
  for (const Unreadable& bad : merged.unreadable)
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
