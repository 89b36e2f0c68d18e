#include "fleet/fleet_run.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>

#include "check/exit_codes.h"
#include "fleet/check_job.h"
#include "fleet/html_report.h"
#include "fleet/pc_list.h"
#include "fleet/progress.h"
#include "fleet/reasons.h"
#include "fleet/record_files.h"
#include "platform/status.h"

namespace cairn {
namespace {

using Clock = std::chrono::steady_clock;
using UtcTime = std::chrono::sys_time<std::chrono::milliseconds>;

UtcTime utcNow() {
  return std::chrono::floor<std::chrono::milliseconds>(std::chrono::system_clock::now());
}

struct Pending {
  ListEntry entry;
  Clock::time_point started;
  UtcTime startedUtc;
};

long long millisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// The PCs a list file names at most (duplicates counted), for the time left; a second pass
// over the file, which is cheap next to checking a single PC.
std::optional<std::size_t> countListed(const FleetOptions& options) {
  if (!options.pcs.empty()) return options.pcs.size();
  if (options.listPath == "-") return std::nullopt;
  std::ifstream in(options.listPath);
  std::size_t count = 0;
  std::string line;
  while (std::getline(in, line)) {
    if (listedPc(line)) ++count;
  }
  return count;
}

PcRecord recordOf(const ListEntry& entry, const WorkerResult& result, UtcTime started,
                  long long ms) {
  const auto decoded =
      result.end == WorkerEnd::Finished ? decodeCheckResult(result.output) : std::nullopt;
  PcRecord record = decoded.value_or(PcRecord{});
  record.pc = entry.listed;
  record.line = entry.line;
  record.started = started;
  record.ms = ms;
  if (decoded) {
    record.reason = reasonFor(record.exitCode, record.check.step, record.check.status);
  } else if (result.end == WorkerEnd::StoppedAtDeadline) {
    record.exitCode = StoppedExitCode;
    record.reason = ReasonStoppedAtDeadline;
  } else {
    record.exitCode = CrashedExitCode;
    record.reason = ReasonCrashed;
  }
  // How far a check that did not finish got: the step it was in, and its address.
  if (!decoded) takeProgress(result.progress, record);
  return record;
}

// A record made by the fleet itself, without a check: it began when it was made.
PcRecord recordWithoutCheck(const ListEntry& entry, int exitCode, Step step, Status status) {
  PcRecord record;
  record.pc = entry.listed;
  record.line = entry.line;
  record.exitCode = exitCode;
  if (step != Step::None) record.check.failed(step, status);
  record.reason = reasonFor(exitCode, step, status);
  record.started = utcNow();
  return record;
}

// A PC for which no worker could be started: the machine is out of processes or memory.
PcRecord localResourcesRecord(const ListEntry& entry) {
  return recordWithoutCheck(entry, ExitNoAccess, Step::StartWorker, StatusNoSystemResources);
}

PcRecord badValueRecord(const ListEntry& entry) {
  return recordWithoutCheck(entry, ExitBadValue, Step::None, StatusSuccess);
}

class FleetRun {
 public:
  FleetRun(const FleetOptions& options, Workers& workers, FleetStreams streams, PcList& list,
           const std::function<void()>& firstSmbAnswer)
      : options_(options),
        workers_(workers),
        streams_(streams),
        list_(list),
        firstSmbAnswer_(firstSmbAnswer),
        progress_(streams.out, streams.outIsTerminal && !options.quiet) {
    summary_.audit = options.audit;
  }

  int run() {
    if (const std::string error = open(); !error.empty()) {
      streams_.err << "cairnmark-fleet: " << error << '\n';
      return FleetExitCannotRun;
    }
    progress_.setTotal(countListed(options_));
    for (startMore(); workers_.running() > 0; startMore()) {
      for (const WorkerResult& result : workers_.wait()) finished(result);
      if (workers_.interrupted()) summary_.interrupted = true;
    }
    summary_.wallSeconds = secondsSinceStart();
    progress_.clear();
    // The page's own summary says whether the record files failed; its last write may fail too.
    summary_.recordsIncomplete = files_.failed() || html_.failed();
    if (!html_.failed()) reportWriteError(html_.finish(summary_));
    summary_.recordsIncomplete = summary_.recordsIncomplete || html_.failed();
    streams_.out << summaryText(summary_) << std::flush;
    if (summary_.recordsIncomplete) return FleetExitRecordsIncomplete;
    if (summary_.interrupted) {
      const int signal = workers_.interruptSignal();
      return signal > 0 ? 128 + signal : FleetExitInterrupted;
    }
    return summary_.anyFailure() ? FleetExitSomeFailed : FleetExitAllPassed;
  }

 private:
  std::string open() {
    std::string error = files_.open(options_, list_);
    if (error.empty()) error = html_.open(options_.htmlPath, options_.domain);
    summary_.alreadyRecorded = files_.alreadyRecorded();
    return error;
  }

  void startMore() {
    while (!summary_.interrupted && !files_.failed() && !html_.failed() &&
           workers_.running() < static_cast<std::size_t>(options_.jobs)) {
      std::optional<ListEntry> entry = deferred_ ? std::move(deferred_) : list_.next();
      deferred_.reset();
      if (!entry) return;
      if (!entry->wellFormed) {
        write(badValueRecord(*entry));
        continue;
      }
      if (!workers_.start(nextId_, encodeJob(options_, entry->hostValue))) {
        // Out of processes: try again once a running check has ended; with none running, the
        // PC cannot be checked at all.
        if (workers_.running() > 0) {
          deferred_ = std::move(entry);
          return;
        }
        write(localResourcesRecord(*entry));
        continue;
      }
      pending_.emplace(nextId_++, Pending{std::move(*entry), Clock::now(), utcNow()});
    }
  }

  void finished(const WorkerResult& result) {
    const auto it = pending_.find(result.id);
    if (it == pending_.end()) return;
    const PcRecord record = recordOf(it->second.entry, result, it->second.startedUtc,
                                     millisecondsSince(it->second.started));
    write(record);
    pending_.erase(it);
    if (!smbAnswered_ && reasonShowsSmbAnswer(record.reason)) {
      smbAnswered_ = true;
      if (firstSmbAnswer_) firstSmbAnswer_();
    }
  }

  void write(PcRecord record) {
    record.domain = options_.domain;
    if (files_.failed()) ++summary_.unrecorded;
    reportWriteError(files_.write(record));
    reportWriteError(html_.addRow(record));
    summary_.add(record, options_.domain);
    progress_.update(summary_.checked, summary_.passed, summary_.failed(), secondsSinceStart());
  }

  // The first failed write of a record file or the page stops the run from starting new checks
  // (startMore); the checks still running end as usual, and their records go where they can.
  void reportWriteError(const std::string& error) {
    if (error.empty()) return;
    progress_.clear();
    streams_.err << "cairnmark-fleet: " << error << "; no new PC is started\n" << std::flush;
  }

  double secondsSinceStart() const {
    return std::chrono::duration<double>(Clock::now() - start_).count();
  }

  const FleetOptions& options_;
  Workers& workers_;
  FleetStreams streams_;
  PcList& list_;
  const std::function<void()>& firstSmbAnswer_;
  bool smbAnswered_ = false;
  ProgressLine progress_;
  RecordFiles files_;
  HtmlReport html_;
  FleetSummary summary_;
  std::map<std::uint64_t, Pending> pending_;
  std::optional<ListEntry> deferred_;
  std::uint64_t nextId_ = 1;
  Clock::time_point start_ = Clock::now();
};

}  // namespace

int runFleet(const FleetOptions& options, Workers& workers, FleetStreams streams,
             const std::function<void()>& firstSmbAnswer) {
  std::ifstream file;
  if (options.pcs.empty() && options.listPath != "-") {
    // A directory opens as a stream that reads as an empty list, which would pass as a run.
    std::error_code ignored;
    if (std::filesystem::is_directory(options.listPath, ignored)) {
      streams.err << "cairnmark-fleet: " << options.listPath << ": a directory, not a list\n";
      return FleetExitCannotRun;
    }
    file.open(options.listPath);
    if (!file) {
      streams.err << "cairnmark-fleet: " << options.listPath << ": cannot read the list\n";
      return FleetExitCannotRun;
    }
  }
  PcList list = !options.pcs.empty() ? PcList(options.pcs)
                                     : PcList(options.listPath == "-" ? streams.input : file);
  return FleetRun(options, workers, streams, list, firstSmbAnswer).run();
}

}  // namespace cairn
