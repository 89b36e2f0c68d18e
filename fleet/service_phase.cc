#include "fleet/service_phase.h"

#include <algorithm>

#include "fleet/reasons.h"

namespace cairn {
namespace {

std::optional<std::string> shown(const std::string& state) {
  return state.empty() ? std::nullopt : std::optional<std::string>(state);
}

// Makes a reason of the service's stand over the check's, with the call that failed.
void takeFailure(const RegistryServiceResult& result, PcRecord& record) {
  record.serviceReason = std::string(reasonName(result.reason));
  record.check.failed(result.step, result.status);
}

}  // namespace

ServiceBounds serviceBoundsWithin(double deadlineSeconds) {
  const ServiceBounds most;
  const auto quarter = static_cast<std::uint32_t>(std::clamp(deadlineSeconds * 250, 1.0, 1e9));
  return {std::min(most.startMs, quarter), std::min(most.stopMs, quarter)};
}

void runServicePhase(const ServiceJob& job, ServiceControl& control, Clock& clock,
                     const std::function<int(CheckRecord&)>& checkAgain, PcRecord& record) {
  const std::string server = record.check.serverPath;
  if (server.empty() ||
      reasonFor(record.exitCode, record.check.step, record.check.status) != "registry-unavailable")
    return;
  if (!job.startRegistry) {
    const RegistryServiceResult query = queryRegistryService(control, server);
    record.registryServiceBefore = shown(query.before);
    record.serviceReason = std::string(reasonName(query.reason));
    return;
  }
  JournalEntry entry = job.entry;
  entry.server = server;
  // Nothing changes on the PC before its restore is on the disk.
  Status journalStatus = StatusSuccess;
  const BeforeChange journal = [&](RegistryServiceChange change) {
    journalStatus = appendJournalLine(job.journalPath, journalChangeLine(entry, change));
    return journalStatus == StatusSuccess;
  };
  const RegistryServiceResult start =
      startRegistryService(control, server, clock, journal, job.bounds);
  // A start refused before it read the service leaves the read to a query of its own.
  record.registryServiceBefore =
      shown(start.before.empty() ? queryRegistryService(control, server).before : start.before);
  if (start.reason == RegistryServiceReason::None) {
    CheckRecord again;
    record.exitCode = checkAgain(again);
    record.check = again;
  } else {
    takeFailure(start, record);
    // The journal's own failure says why no change was made: a full disk, a refused folder.
    if (start.step == Step::ServiceJournal)
      record.check.failed(Step::ServiceJournal, journalStatus);
  }
  entry.changes = start.changes;
  const RegistryServiceResult restore =
      restoreEntry(entry, job.journalPath, control, clock, job.bounds);
  record.registryServiceAfter = shown(restore.after);
  if (restore.reason != RegistryServiceReason::None) takeFailure(restore, record);
}

RegistryServiceResult restoreEntry(const JournalEntry& entry, const std::string& journalPath,
                                   ServiceControl& control, Clock& clock,
                                   const ServiceBounds& bounds) {
  const RegistryServiceResult restore =
      restoreRegistryService(control, entry.server, entry.changes, clock, bounds);
  // A PC that was never changed has no entry to close. Should the closing line fail to reach
  // the disk, the entry stays pending, and a later --restore-services only repeats a restore
  // that is done: a stop of a stopped service and a start type set to what it is pass quietly.
  if (restore.reason == RegistryServiceReason::None && entry.changes.any())
    appendJournalLine(journalPath, journalRestoredLine(entry, restore.after));
  return restore;
}

}  // namespace cairn
