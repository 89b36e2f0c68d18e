#include "fleet/fleet_run.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>

#include "check/exit_codes.h"
#include "fleet/check_job.h"
#include "fleet/html_report.h"
#include "fleet/pc_list.h"
#include "fleet/progress.h"
#include "fleet/reasons.h"
#include "fleet/record_files.h"
#include "fleet/service_journal.h"
#include "platform/durable_file.h"
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

// A token that no other run shares, for the entries of this run's journal lines: its start in
// UTC and a random number, so that runs of several machines may share a journal too.
std::string runToken(UtcTime now) {
  char token[48];
  std::snprintf(token, sizeof token, "%lld-%08x",
                static_cast<long long>(now.time_since_epoch().count()),
                static_cast<unsigned>(std::random_device{}()));
  return token;
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
    record.reason =
        !record.serviceReason.empty()
            ? record.serviceReason
            : std::string(reasonFor(record.exitCode, record.check.step, record.check.status));
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
      // An interrupted run puts back what its PCs still have changed before it ends.
      if (summary_.interrupted && !swept_ && workers_.running() == 0) sweep();
    }
    summary_.wallSeconds = secondsSinceStart();
    progress_.clear();
    // The page's own summary says whether the record files failed; its last write may fail too.
    summary_.recordsIncomplete = files_.failed() || html_.failed();
    if (!html_.failed()) reportWriteError(html_.finish(summary_));
    summary_.recordsIncomplete = summary_.recordsIncomplete || html_.failed();
    streams_.out << summaryText(summary_) << std::flush;
    if (options_.startRegistry) reportPendingEntries();
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
    if (error.empty() && options_.startRegistry) error = openJournal();
    summary_.alreadyRecorded = files_.alreadyRecorded();
    return error;
  }

  // The journal must be one, and writable, before any PC is changed. Entries an earlier run
  // left pending stay as they are: --restore-services is the one to put them back.
  std::string openJournal() {
    const std::string& path = options_.journalPath;
    std::error_code ignored;
    if (std::filesystem::exists(path, ignored)) {
      const JournalContents journal = readJournalFile(path);
      if (!journal.error.empty()) return journalError(path, journal);
      if (!journal.pending.empty()) {
        streams_.err << "cairnmark-fleet: " << path << ": " << journal.pending.size()
                     << " PCs of an earlier run may still be changed: run cairnmark-fleet "
                        "--restore-services "
                     << path << '\n';
      }
      if (!dropCutLine(path, journal)) return path + ": the journal cannot be written";
    }
    if (const Status status = appendDurably(path, ""); status != StatusSuccess)
      return path + ": the journal cannot be written (" + std::string(statusName(status)) + ")";
    return {};
  }

  std::string entryId(std::uint64_t id) const { return token_ + "-" + std::to_string(id); }

  // The entry of this run's journal that a worker left pending, if it left one.
  std::optional<JournalEntry> pendingEntry(std::uint64_t id) const {
    const JournalContents journal = readJournalFile(options_.journalPath);
    for (const JournalEntry& entry : journal.pending) {
      if (entry.entry == entryId(id)) return entry;
    }
    return std::nullopt;
  }

  // Starts a restore of entry in a worker of its own, with a deadline of its own.
  bool startRestore(const JournalEntry& entry, std::optional<PcRecord> record) {
    attempted_.insert(entry.entry);
    if (!workers_.start(nextId_, encodeRestoreJob(options_, entry))) return false;
    restoring_.emplace(nextId_++, Restoring{entry, std::move(record)});
    return true;
  }

  // The PCs this run's workers left changed, put back before an interrupted run ends.
  void sweep() {
    swept_ = true;
    if (!options_.startRegistry) return;
    for (const JournalEntry& entry : readJournalFile(options_.journalPath).pending) {
      if (entry.entry.rfind(token_ + "-", 0) != 0 || attempted_.count(entry.entry) > 0) continue;
      if (!startRestore(entry, std::nullopt)) restored(entry, std::nullopt);
    }
  }

  // A restore job's end: the record held for it is written now, with what the restore left.
  void restored(const JournalEntry& entry, std::optional<PcRecord> record,
                const std::optional<RestoreReport>& report = std::nullopt) {
    const bool done = report && report->restored;
    if (!record) {
      progress_.clear();
      streams_.out << entry.pc << ": RemoteRegistry "
                   << (done ? "put back as it was found (" + report->after.value_or("") + ")"
                            : std::string("NOT put back"))
                   << '\n';
      if (!done) summary_.serviceTrouble.push_back(entry.pc + "  service-restore-failed");
      return;
    }
    if (report) record->registryServiceAfter = report->after;
    if (!done) {
      record->reason = "service-restore-failed";
      if (report) record->check.failed(report->step, report->status);
    }
    write(*record);
  }

  void reportPendingEntries() {
    std::size_t left = 0;
    for (const JournalEntry& entry : readJournalFile(options_.journalPath).pending)
      left += entry.entry.rfind(token_ + "-", 0) == 0 ? 1 : 0;
    if (left == 0) return;
    streams_.err << "cairnmark-fleet: " << left
                 << " PCs may still be changed: run cairnmark-fleet --restore-services "
                 << options_.journalPath << '\n';
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
      if (!workers_.start(nextId_, encodeJob(options_, entry->hostValue,
                                             {entryId(nextId_), entry->listed, {}, {}}))) {
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
    if (const auto restore = restoring_.find(result.id); restore != restoring_.end()) {
      const Restoring ended = std::move(restore->second);
      restoring_.erase(restore);
      restored(
          ended.entry, ended.record,
          result.end == WorkerEnd::Finished ? decodeRestoreResult(result.output) : std::nullopt);
      return;
    }
    const auto it = pending_.find(result.id);
    if (it == pending_.end()) return;
    PcRecord record = recordOf(it->second.entry, result, it->second.startedUtc,
                               millisecondsSince(it->second.started));
    pending_.erase(it);
    // A worker that did not finish may have left its PC changed: the fleet puts it back, and
    // the record waits for that.
    const std::optional<JournalEntry> left =
        options_.startRegistry && result.end != WorkerEnd::Finished ? pendingEntry(result.id)
                                                                    : std::nullopt;
    if (left && startRestore(*left, record)) return;
    if (left)
      restored(*left, record);
    else
      write(record);
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
  struct Restoring {
    JournalEntry entry;
    std::optional<PcRecord> record;  // written once the restore ends; none after an interrupt
  };
  std::map<std::uint64_t, Restoring> restoring_;
  std::set<std::string> attempted_;  // entries the fleet itself tried to put back
  bool swept_ = false;
  std::string token_ = runToken(utcNow());
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
