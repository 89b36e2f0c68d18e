#include "fleet/restore_records.h"

#include "fleet/record_merge.h"

namespace cairn {
namespace {

// The change a record shows for one value. The update reads a value before it writes it and
// records both only then, so an after without a before would be a value the run created.
std::optional<RecordedValue> changeOf(const std::optional<std::string>& before,
                                      const std::optional<std::string>& after) {
  if (!after || before == after) return std::nullopt;
  return RecordedValue{before, *after};
}

}  // namespace

std::vector<std::string> readRestoreJobs(const std::string& path, const std::string& domain,
                                         std::vector<RestoreJob>& jobs) {
  MergedRecords merged;
  merged.domain = domain;
  if (std::string error = readRecordFile(path, merged); !error.empty()) return {error};
  std::vector<std::string> errors;
  for (const UnreadableRecord& bad : merged.unreadable)
    errors.push_back(bad.where + ": " + bad.cause);
  if (merged.records.empty() && errors.empty()) errors.push_back(path + ": holds no record");
  for (std::size_t i = 0; i < merged.records.size(); ++i) {
    const PcRecord& record = merged.records[i];
    RestoreJob job{record.pc, record.domain.empty() ? domain : record.domain, {}};
    if (job.domain.empty()) {
      errors.push_back(merged.origins[i] + ": the record names no domain; give --domain");
      continue;
    }
    const CheckRecord& c = record.check;
    job.request.defaultDomain = changeOf(c.defaultDomainBefore, c.defaultDomainAfter);
    job.request.altDefaultDomain = changeOf(c.altDefaultDomainBefore, c.altDefaultDomainAfter);
    jobs.push_back(std::move(job));
  }
  if (!errors.empty()) jobs.clear();
  return errors;
}

}  // namespace cairn
