#include "fleet/restore_services.h"

#include "fleet/fleet_options.h"
#include "fleet/service_journal.h"
#include "fleet/service_phase.h"

namespace cairn {
namespace {

// What the restore undid, in the words of an administrator.
std::string undone(const RegistryServiceChanges& changes) {
  if (changes.started && changes.enabled) return "stopped and set to Disabled again";
  return changes.started ? "stopped again" : "set to Disabled again";
}

std::string failure(const RegistryServiceResult& result) {
  std::string text = std::string(stepName(result.step));
  if (result.step == Step::ServiceVerify) return "the service is not as it was found";
  text += " failed";
  const std::string_view name = statusName(result.status);
  text += name.empty() ? " with status " : " with " + std::string(name) + " (";
  text += std::to_string(static_cast<std::uint32_t>(result.status));
  return text + (name.empty() ? "" : ")");
}

}  // namespace

int restoreServices(const std::string& journalPath, ServiceControl& control, Clock& clock,
                    std::ostream& out, std::ostream& err) {
  const JournalContents journal = readJournalFile(journalPath);
  if (!journal.error.empty()) {
    err << "cairnmark-fleet: " << journalError(journalPath, journal) << '\n';
    return FleetExitCannotRun;
  }
  if (journal.pending.empty()) {
    out << journalPath << ": nothing to restore: no PC is left changed\n";
    return FleetExitAllPassed;
  }
  if (!dropCutLine(journalPath, journal)) {
    err << "cairnmark-fleet: " << journalPath << ": the journal cannot be written\n";
    return FleetExitCannotRun;
  }
  std::size_t failed = 0;
  for (const JournalEntry& entry : journal.pending) {
    const RegistryServiceResult result = restoreEntry(entry, journalPath, control, clock, {});
    out << entry.pc << ": RemoteRegistry ";
    if (result.reason == RegistryServiceReason::None) {
      out << undone(entry.changes) << ", now " << result.after << '\n';
    } else {
      ++failed;
      out << "NOT put back: " << failure(result);
      if (!result.after.empty()) out << ", now " << result.after;
      out << '\n';
    }
  }
  out << std::flush;
  const std::size_t left = readJournalFile(journalPath).pending.size();
  if (left > failed) {
    err << "cairnmark-fleet: " << journalPath
        << ": the journal could not record every restore; run --restore-services again\n";
    return FleetExitSomeFailed;
  }
  return failed == 0 ? FleetExitAllPassed : FleetExitSomeFailed;
}

}  // namespace cairn
