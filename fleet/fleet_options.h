// The fleet command's command line: GNU-style long options, read with CLI11.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cairn {

inline constexpr int DefaultJobs = 32;
inline constexpr int MaxJobs = 4096;
inline constexpr double DefaultDeadlineSeconds = 60;

struct FleetOptions {
  std::string domain;  // the target domain, already cut to its NetBIOS form
  bool ping = false;
  bool setDefault = false;
  bool ignoreName = false;
  bool audit = false;  // read the values and the policy, write nothing
  int jobs = DefaultJobs;
  double deadlineSeconds = DefaultDeadlineSeconds;
  std::string csvPath;
  std::string jsonlPath;
  std::string htmlPath;
  bool resume = false;
  bool quiet = false;
  // Start a stopped or disabled RemoteRegistry for the check and put it back afterwards, each
  // change journaled first (fleet/service_journal.h).
  bool startRegistry = false;
  std::string journalPath;  // --journal, else beside the first record file (defaultJournalPath)
  std::string restoreServicesPath;  // --restore-services: put back a journal's pending entries
  std::string listPath;             // a file, "-" for standard input, or empty with --pc
  std::vector<std::string> pcs;     // --pc names
};

// What the command line asks for: a run with these options, or an exit with this code once the
// text (help, version, or an error naming the option) has been printed.
struct FleetCommand {
  std::optional<FleetOptions> options;
  int exitCode = 0;
};

inline constexpr int FleetExitAllPassed = 0;
inline constexpr int FleetExitSomeFailed = 1;
inline constexpr int FleetExitCannotRun = 2;
inline constexpr int FleetExitRecordsIncomplete = 3;  // a record file or the page failed
inline constexpr int FleetExitInterrupted = 130;      // 128 + SIGINT; SIGHUP gives 129, SIGTERM 143

// The name of the default journal: the first of the --jsonl, --csv and --html files with
// ".journal" appended, else cairnmark-fleet.journal in the current directory.
std::string defaultJournalPath(const FleetOptions& options);

// Reads the arguments; help and version go to standard output, errors to standard error.
FleetCommand readFleetCommand(int argc, const char* const* argv);

}  // namespace cairn
