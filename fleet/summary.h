// The tally of a fleet run, for the summary table and the page's chart.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "fleet/pc_record.h"

namespace cairn {

struct FleetSummary {
  std::map<int, std::size_t> byExitCode;
  std::map<std::string, std::size_t> byReason;
  std::size_t checked = 0;
  std::size_t passed = 0;
  std::size_t alreadyRecorded = 0;  // skipped because an earlier run recorded them
  // PCs whose logon-domain policy names another domain than the target: their logon screen
  // offers the policy's domain whatever the Winlogon values hold.
  std::vector<std::string> policyOverrides;
  // An --audit run also sorts the PCs it could read by what a --set-default run would do there;
  // the rest (failed) cannot be read, for the reasons counted in byReason.
  bool audit = false;
  std::size_t alreadyOnTarget = 0;  // both values hold the target, and no policy overrides them
  std::size_t wouldChange = 0;      // a value differs, and no policy overrides them
  // PCs whose RemoteRegistry could not be started or put back, with the reason: listed apart,
  // since one left changed needs --restore-services, and the run fails for them whatever their
  // checks gave.
  std::vector<std::string> serviceTrouble;
  double wallSeconds = 0;
  // Made by cairnmark-fleet report from record files rather than by a run; the records it
  // could not read are not counted anywhere else.
  bool fromRecords = false;
  std::size_t unreadableRecords = 0;
  bool interrupted = false;
  // A record file or the page could not be written: the run started no new PC after that.
  bool recordsIncomplete = false;
  std::size_t unrecorded = 0;  // PCs checked after the record files failed

  void add(const PcRecord& record, const std::string& targetDomain);
  std::size_t failed() const { return checked - passed; }
  // Whether the run or report fails: a PC failed, or one's RemoteRegistry is in trouble.
  bool anyFailure() const { return failed() > 0 || !serviceTrouble.empty(); }
};

// The summary table printed at the end of a run, lines ending in '\n'.
std::string summaryText(const FleetSummary& summary);

}  // namespace cairn
