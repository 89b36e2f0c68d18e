// The --html page: one self-contained file (no external scripts, fonts or styles) with the count
// of PCs per outcome as a bar chart and every record in a table sortable by column. Rows are
// written as PCs finish, so the page needs no memory of the run; the chart follows the table in
// the file and is shown first.
#pragma once

#include <string>

#include "fleet/record_files.h"
#include "fleet/summary.h"

namespace cairn {

class HtmlReport {
 public:
  // Creates (or replaces) the page; an error text naming --html when it cannot be written.
  std::string open(const std::string& path, const std::string& domain);
  // Each returns the error text naming --html, the file and the cause when the page could not
  // be written; the page is then left as it is, and written to no more.
  std::string addRow(const PcRecord& record);
  std::string finish(const FleetSummary& summary);

  bool failed() const { return failed_; }

 private:
  std::string write(const std::string& text);
  std::string path_;
  FileHandle file_;
  bool failed_ = false;
};

}  // namespace cairn
