// Records read back from JSON Lines files, each PC once by its latest record (by when its check
// started), with every line that holds no record named by file and line.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "fleet/pc_record.h"

namespace cairn {

struct UnreadableRecord {
  std::string where;  // FILE:LINE, or FILE for a file with no record
  std::string cause;
};

struct MergedRecords {
  // Where given, a record of another domain is no record of this merge (a record without a
  // domain, written before records named theirs, is taken as one of it).
  std::string domain;
  std::vector<PcRecord> records;          // the latest of each PC, in the order first met
  std::vector<std::string> origins;       // FILE:LINE of each of records
  std::map<std::string, std::size_t> at;  // a PC's upper-cased name to its place in records
  std::vector<UnreadableRecord> unreadable;
  std::size_t read = 0;
};

// Adds every line of the file at path; the cause when the file cannot be read at all.
std::string readRecordFile(const std::string& path, MergedRecords& merged);

}  // namespace cairn
