#include "fleet/summary.h"

#include <algorithm>
#include <cstdio>

#include "fleet/reasons.h"

namespace cairn {

void FleetSummary::add(const PcRecord& record, const std::string& targetDomain) {
  const auto& policy = record.check.policyDefaultDomain;
  const bool overridden = policy && *policy != targetDomain;
  if (overridden) policyOverrides.push_back(record.pc);
  if (audit && record.exitCode == 0 && !overridden) {
    const CheckRecord& c = record.check;
    if (c.defaultDomainBefore == targetDomain && c.altDefaultDomainBefore == targetDomain)
      ++alreadyOnTarget;
    else
      ++wouldChange;
  }
  if (reasonIsServiceTrouble(record.reason))
    serviceTrouble.push_back(record.pc + "  " + record.reason);
  ++checked;
  if (record.exitCode == 0) ++passed;
  ++byExitCode[record.exitCode];
  ++byReason[record.reason];
}

std::string summaryText(const FleetSummary& s) {
  char line[160];
  std::string text;
  if (s.fromRecords) {
    std::snprintf(line, sizeof line, "%zu PCs in the records: %zu passed, %zu failed\n", s.checked,
                  s.passed, s.failed());
    text += line;
    if (s.unreadableRecords > 0) {
      std::snprintf(line, sizeof line,
                    "%zu records could not be read and are not counted (named above)\n",
                    s.unreadableRecords);
      text += line;
    }
  } else {
    std::snprintf(line, sizeof line, "%zu PCs checked in %.1f s: %zu passed, %zu failed%s\n",
                  s.checked, s.wallSeconds, s.passed, s.failed(),
                  s.interrupted ? " (interrupted: the rest of the list was not started)" : "");
    text += line;
  }
  if (s.audit) {
    std::snprintf(line, sizeof line,
                  "audit, nothing written: %zu already on the target domain, %zu would change, "
                  "%zu policy overrides, %zu cannot be read (reasons below)\n",
                  s.alreadyOnTarget, s.wouldChange, s.policyOverrides.size(), s.failed());
    text += line;
  }
  if (s.recordsIncomplete) {
    text +=
        "records incomplete: a record file or the page could not be written (see the error "
        "above), and no new PC was started after that\n";
    if (s.unrecorded > 0) {
      std::snprintf(line, sizeof line, "%zu PCs checked after that are not in the record files\n",
                    s.unrecorded);
      text += line;
    }
    text += "run the same command with --resume once the files can be written\n";
  }
  if (s.alreadyRecorded > 0) {
    std::snprintf(line, sizeof line, "%zu PCs skipped: recorded by an earlier run\n",
                  s.alreadyRecorded);
    text += line;
  }
  if (!s.policyOverrides.empty()) {
    std::snprintf(line, sizeof line,
                  "%zu PCs: policy overrides the Winlogon values (a logon-domain policy names "
                  "another domain):\n",
                  s.policyOverrides.size());
    text += line;
    for (const std::string& pc : s.policyOverrides) text += "  " + pc + "\n";
  }
  if (!s.serviceTrouble.empty()) {
    std::snprintf(line, sizeof line,
                  "%zu PCs: RemoteRegistry could not be started, or not put back as it was found "
                  "(see the journal):\n",
                  s.serviceTrouble.size());
    text += line;
    for (const std::string& pc : s.serviceTrouble) text += "  " + pc + "\n";
  }
  if (const auto local = s.byReason.find(std::string(ReasonLocalResources));
      local != s.byReason.end()) {
    std::snprintf(line, sizeof line,
                  "%zu PCs without a verdict: this machine ran out of file descriptors, memory or "
                  "processes (%s); check them again\n",
                  local->second, local->first.c_str());
    text += line;
  }
  if (s.byExitCode.empty()) return text;
  text += "exit    PCs  meaning\n";
  for (const auto& [code, count] : s.byExitCode) {
    std::snprintf(line, sizeof line, "%4d %6zu  %s\n", code, count,
                  std::string(exitCodeMeaning(code)).c_str());
    text += line;
  }
  // The column is as wide as the longest reason, and never narrower than it has always been.
  int width = 20;
  for (const auto& [reason, count] : s.byReason)
    width = std::max(width, static_cast<int>(std::min<std::size_t>(reason.size(), 60)));
  std::snprintf(line, sizeof line, "%-*s %6s\n", width, "reason", "PCs");
  text += line;
  for (const auto& [reason, count] : s.byReason) {
    std::snprintf(line, sizeof line, "%-*s %6zu\n", width, reason.c_str(), count);
    text += line;
  }
  return text;
}

}  // namespace cairn
