#include "fleet/record_merge.h"

#include <filesystem>
#include <fstream>

#include "core/text.h"
#include "fleet/record_fields.h"

namespace cairn {
namespace {

void take(MergedRecords& merged, PcRecord record, std::string origin) {
  const auto [place, added] = merged.at.emplace(upperCase(record.pc), merged.records.size());
  if (added) {
    merged.records.push_back(std::move(record));
    merged.origins.push_back(std::move(origin));
    return;
  }
  // Of two records that started at the same moment, the one read later counts.
  if (record.started >= merged.records[place->second].started) {
    merged.records[place->second] = std::move(record);
    merged.origins[place->second] = std::move(origin);
  }
}

}  // namespace

std::string readRecordFile(const std::string& path, MergedRecords& merged) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) return path + ": a directory, not records";
  std::ifstream in(path, std::ios::binary);
  if (!in) return path + ": cannot read the records";
  std::string line;
  std::size_t number = 0;
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
    if (record && !merged.domain.empty() && !record->domain.empty() &&
        record->domain != merged.domain) {
      cause = "a record of --domain " + record->domain + ", not " + merged.domain;
      record.reset();
    }
    const std::string where = path + ":" + std::to_string(number);
    if (!record) {
      merged.unreadable.push_back({where, cause});
      continue;
    }
    ++merged.read;
    take(merged, std::move(*record), where);
  }
  if (number == 0) merged.unreadable.push_back({path, "holds no record"});
  return {};
}

}  // namespace cairn
