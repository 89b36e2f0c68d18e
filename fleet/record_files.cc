#include "fleet/record_files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <system_error>

#include "fleet/safe_cell.h"

namespace cairn {
namespace {

namespace fs = std::filesystem;

struct Existing {
  std::uintmax_t wholeLines = 0;  // the bytes up to and including the last line end
  bool foreign = false;           // a CSV file whose first line is no record header
};

// A CSV file holds a PC's listed text as a safe cell, so the PCs of both forms are matched in
// that form.
std::string recordKey(const std::string& pc) {
  return pcKey(safeCell(pc));
}

// Reads a file that a run resumes: the PCs recorded in its whole lines. A last line without its
// line end is not read, as a record torn in the middle may still look whole.
Existing readRecorded(const std::string& path, bool csv, std::vector<std::string>& pcs) {
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
    if (pc) pcs.push_back(*pc);
  }
  return existing;
}

}  // namespace

std::string openOutputFile(const std::string& path, bool append, FileHandle& file) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  // A device (/dev/null, NUL) is taken, as writing to it is what the user asked for.
  if (fs::is_directory(status)) return "a directory, not a file";
  if (fs::is_fifo(status) || fs::is_socket(status)) return "a fifo or a socket, not a file";
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
                                 bool csv, std::vector<std::string>& pcs) {
  if (path.empty()) return {};
  File file{option + " " + path, path, csv, nullptr, 0, {}};
  const std::string name = file.name + ": ";
  std::error_code error;
  const auto status = fs::status(path, error);
  const bool regular = fs::is_regular_file(status);
  const std::uintmax_t size = regular ? fs::file_size(path, error) : 0;
  if (regular && size > 0) {
    if (!resume) return name + "the file exists; give --resume to add to it, or name another file";
    const Existing existing = readRecorded(path, csv, pcs);
    for (const std::string& pc : pcs) file.recorded.insert(recordKey(pc));
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
  std::vector<std::string> csvPcs, jsonPcs;
  std::string error = openOne("--csv", options.csvPath, options.resume, true, csvPcs);
  if (error.empty()) error = openOne("--jsonl", options.jsonlPath, options.resume, false, jsonPcs);
  if (!error.empty()) return error;
  // A PC is recorded when every file holds it. One that only some files hold (its record torn
  // in another) is checked again, and its new record goes only to the files without it.
  const auto everywhere = [this](const std::string& key) {
    return std::all_of(files_.begin(), files_.end(),
                       [&key](const File& file) { return file.recorded.count(key) > 0; });
  };
  for (const std::string& pc : csvPcs)
    if (everywhere(recordKey(pc))) list.skipCell(pc);
  for (const std::string& pc : jsonPcs)
    if (everywhere(recordKey(pc))) list.skip(pc);
  // Counted by key, a PC counts once however many lines and files hold it, also where a CSV
  // cell and a JSON record hold it as different texts.
  std::set<std::string> complete;
  for (const File& file : files_)
    for (const std::string& key : file.recorded)
      if (everywhere(key)) complete.insert(key);
  alreadyRecorded_ = complete.size();
  for (File& file : files_)
    for (const std::string& key : complete) file.recorded.erase(key);
  return {};
}

std::string RecordFiles::write(const PcRecord& record) {
  if (failed_) return {};
  std::vector<std::string> lines;
  for (File& file : files_)
    lines.push_back(file.recorded.erase(recordKey(record.pc)) > 0
                        ? std::string()
                        : (file.csv ? csvRow(record) : jsonLine(record)) + '\n');
  for (std::size_t i = 0; i < files_.size(); ++i) {
    if (lines[i].empty()) continue;
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
