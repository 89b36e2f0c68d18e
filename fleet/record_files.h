// The record files of a fleet run: every record is appended and flushed the moment its PC is
// done, so an interrupted run loses nothing already finished. A file is only ever appended to,
// never truncated or rewritten.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "fleet/fleet_options.h"
#include "fleet/pc_list.h"
#include "fleet/pc_record.h"

namespace cairn {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

class RecordFiles {
 public:
  // Opens the --csv and --jsonl files before any PC is contacted. With --resume, every PC
  // recorded in them already is handed to list.skip and counted. Returns an error text naming
  // the option when a file cannot be used, empty text on success.
  std::string open(const FleetOptions& options, PcList& list);

  void write(const PcRecord& record);

  std::size_t alreadyRecorded() const { return alreadyRecorded_; }

 private:
  std::string openOne(const std::string& option, const std::string& path, bool resume, bool csv,
                      PcList& list, FileHandle& file);

  FileHandle csv_;
  FileHandle jsonl_;
  std::size_t alreadyRecorded_ = 0;
};

}  // namespace cairn
