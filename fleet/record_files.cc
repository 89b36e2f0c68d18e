#include "fleet/record_files.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace cairn {
namespace {

namespace fs = std::filesystem;

struct Existing {
  std::uintmax_t size = 0;
  std::uintmax_t wholeLines = 0;  // the bytes up to and including the last line end
  bool foreign = false;           // a CSV file whose first line is no record header
};

// Reads a file that a run resumes: the PCs recorded in its whole lines go to list.skip; a last
// line without its line end is not read, as a record torn in the middle may still look whole.
Existing readRecorded(const std::string& path, bool csv, PcList& list, std::size_t& counted) {
  Existing existing;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    const bool first = existing.wholeLines == 0;
    if (in.eof()) {
      // A torn header alone is the start of a new file, not someone else's file.
      existing.foreign = first && csv && !csvHeader().starts_with(line);
      break;
    }
    existing.wholeLines += line.size() + 1;
    // A file saved by a Windows tool ends its lines with CR LF.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (first && csv) {
      existing.foreign = line != csvHeader();
      if (existing.foreign) break;
      continue;
    }
    const auto pc = csv ? recordedPcOfCsv(line) : recordedPcOfJson(line);
    if (pc && (csv ? list.skipCell(*pc) : list.skip(*pc))) ++counted;
  }
  return existing;
}

}  // namespace

std::string openOutputFile(const std::string& path, bool append, FileHandle& file) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (fs::exists(status) && !fs::is_regular_file(status))
    return fs::is_directory(status) ? "a directory, not a file" : "not a regular file";
  file.reset(std::fopen(path.c_str(), append ? "ab" : "wb"));
  if (!file) return std::strerror(errno);
  std::setvbuf(file.get(), nullptr, _IONBF, 0);
  return {};
}

std::string writeAll(std::FILE* file, const std::string& text) {
  errno = 0;
  const bool whole = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (std::fflush(file) == 0 && whole) return {};
  return std::strerror(errno != 0 ? errno : EIO);
}

std::string RecordFiles::openOne(const std::string& option, const std::string& path, bool resume,
                                 bool csv, PcList& list) {
  if (path.empty()) return {};
  File file{option + " " + path, path, csv, nullptr, 0};
  const std::string name = file.name + ": ";
  std::error_code error;
  const auto status = fs::status(path, error);
  const bool regular = fs::is_regular_file(status);
  const std::uintmax_t size = regular ? fs::file_size(path, error) : 0;
  if (regular && size > 0) {
    if (!resume) return name + "the file exists; give --resume to add to it, or name another file";
    const Existing existing = readRecorded(path, csv, list, alreadyRecorded_);
    if (existing.foreign)
      return name + "not a record file of cairnmark-fleet (its first line is no record header)";
    if (existing.wholeLines < size) {
      fs::resize_file(path, existing.wholeLines, error);
      if (error) return name + "cannot cut off its torn last line: " + error.message();
    }
    file.size = existing.wholeLines;
  }
  if (const std::string cause = openOutputFile(path, true, file.handle); !cause.empty())
    return name + cause;
  if (csv && file.size == 0) {
    if (const std::string cause = writeAll(file.handle.get(), csvHeader() + '\n'); !cause.empty())
      return name + cause;
    file.size = csvHeader().size() + 1;
  }
  files_.push_back(std::move(file));
  return {};
}

std::string RecordFiles::open(const FleetOptions& options, PcList& list) {
  std::string error = openOne("--csv", options.csvPath, options.resume, true, list);
  if (error.empty()) error = openOne("--jsonl", options.jsonlPath, options.resume, false, list);
  return error;
}

std::string RecordFiles::write(const PcRecord& record) {
  if (failed_) return {};
  std::vector<std::string> lines;
  for (const File& file : files_)
    lines.push_back((file.csv ? csvRow(record) : jsonLine(record)) + '\n');
  for (std::size_t i = 0; i < files_.size(); ++i) {
    const std::string cause = writeAll(files_[i].handle.get(), lines[i]);
    if (cause.empty()) continue;
    failed_ = true;
    for (File& file : files_) {
      file.handle.reset();
      std::error_code ignored;
      fs::resize_file(file.path, file.size, ignored);
    }
    return files_[i].name + ": " + cause;
  }
  for (std::size_t i = 0; i < files_.size(); ++i) files_[i].size += lines[i].size();
  return {};
}

}  // namespace cairn
