// The record files of a fleet run: every record is appended and flushed the moment its PC is
// done, so an interrupted run loses nothing already finished. A file is only ever appended to,
// never rewritten; the one exception is a last line without its line end (a run killed while
// writing it, a full disk), which is cut off when a run resumes the file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "fleet/fleet_options.h"
#include "fleet/pc_list.h"
#include "fleet/pc_record.h"

namespace cairn {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Opens path for writing (appending, or replacing it), unbuffered, so that every write reaches
// the file at once and a failed one leaves nothing behind to be written later. A directory, a
// fifo or a socket is refused before it is opened, since opening a fifo waits for a reader.
// Returns the cause on failure.
std::string openOutputFile(const std::string& path, bool append, FileHandle& file);

// Writes text with one call and flushes it; the cause (strerror) when it is not all written.
std::string writeAll(std::FILE* file, const std::string& text);

class RecordFiles {
 public:
  // Opens the --csv and --jsonl files before any PC is contacted. With --resume, every PC
  // recorded in all of them already is handed to list.skip and counted, and a last line cut
  // short is cut off (its PC is checked again). Returns an error text naming the option when a file
  // cannot be used, empty text on success.
  std::string open(const FleetOptions& options, PcList& list);

  // Appends the record as one whole line to every file that does not hold the PC yet. When a write
  // fails, every file is cut back to where it was before this record, so that the files hold the
  // same PCs and whole lines only, and nothing is written to them again; the error text names the
  // option, the file and the cause. Empty text on success.
  std::string write(const PcRecord& record);

  bool failed() const { return failed_; }
  std::size_t alreadyRecorded() const { return alreadyRecorded_; }

 private:
  struct File {
    std::string name;  // the option and the path, for messages
    std::string path;
    bool csv = false;
    FileHandle handle;
    std::uintmax_t size = 0;  // where its last whole line ends
    // On --resume, the PCs this file holds that another record file lacks.
    std::unordered_set<std::string> recorded;
  };

  std::string openOne(const std::string& option, const std::string& path, bool resume, bool csv,
                      std::vector<std::string>& recordedPcs);

  std::vector<File> files_;
  std::size_t alreadyRecorded_ = 0;
  bool failed_ = false;
};

}  // namespace cairn
