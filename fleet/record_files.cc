#include "fleet/record_files.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace cairn {
namespace {

void writeLine(std::FILE* file, const std::string& text) {
  if (file == nullptr) return;
  const std::string line = text + '\n';
  std::fwrite(line.data(), 1, line.size(), file);
  std::fflush(file);
}

struct Existing {
  bool present = false;
  bool empty = true;
  bool endsWithNewline = true;
  std::string firstLine;
};

Existing inspect(const std::string& path) {
  Existing existing;
  std::ifstream in(path, std::ios::binary);
  if (!in) return existing;
  existing.present = true;
  std::getline(in, existing.firstLine);
  // A file saved by a Windows tool ends its lines with CR LF.
  if (!existing.firstLine.empty() && existing.firstLine.back() == '\r')
    existing.firstLine.pop_back();
  in.clear();
  in.seekg(0, std::ios::end);
  const auto size = static_cast<long long>(in.tellg());
  existing.empty = size <= 0;
  if (!existing.empty) {
    in.seekg(size - 1);
    existing.endsWithNewline = in.get() == '\n';
  }
  return existing;
}

}  // namespace

std::string RecordFiles::openOne(const std::string& option, const std::string& path, bool resume,
                                 bool csv, PcList& list, FileHandle& file) {
  if (path.empty()) return {};
  const std::string name = option + " " + path + ": ";
  const Existing existing = inspect(path);
  if (!existing.empty && !resume)
    return name + "the file exists; give --resume to add to it, or name another file";
  if (!existing.empty && csv && existing.firstLine != csvHeader())
    return name + "not a record file of cairnmark-fleet (its first line is no record header)";
  file.reset(std::fopen(path.c_str(), "ab"));
  if (!file) return name + std::strerror(errno);
  if (!existing.empty) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
      const auto pc = csv ? recordedPcOfCsv(line) : recordedPcOfJson(line);
      if (!pc) continue;
      if (list.skip(*pc)) ++alreadyRecorded_;
    }
    // A line cut short by a killed run is ended, so that the next record starts a line of its own.
    if (!existing.endsWithNewline) writeLine(file.get(), "");
  } else if (csv) {
    writeLine(file.get(), csvHeader());
  }
  return {};
}

std::string RecordFiles::open(const FleetOptions& options, PcList& list) {
  std::string error = openOne("--csv", options.csvPath, options.resume, true, list, csv_);
  if (error.empty())
    error = openOne("--jsonl", options.jsonlPath, options.resume, false, list, jsonl_);
  return error;
}

void RecordFiles::write(const PcRecord& record) {
  if (csv_) writeLine(csv_.get(), csvRow(record));
  if (jsonl_) writeLine(jsonl_.get(), jsonLine(record));
}

}  // namespace cairn
