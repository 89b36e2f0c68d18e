// The report printer: report lines (dropped under /Q), console lines (always written) and the
// progress title. Every line is its bytes followed by CR LF on standard output.
#pragma once

#include <string_view>

#include "platform/console.h"

namespace cairn {

// Process-wide display switch: on at the start of every run, off once /Q is met.
extern bool displayEnabled;

// Where a printer's lines and titles go: to the console, or nowhere (a check run by the fleet
// command in a worker, which must never write to the terminal or files its parent shares).
enum class PrinterOutput { Console, Discarded };

class ReportPrinter {
 public:
  explicit ReportPrinter(Console& console, PrinterOutput output = PrinterOutput::Console)
      : console_(console), output_(output) {}

  // Whether printVerbose lines are shown; set from /V once the command line is accepted.
  void setVerbose(bool verbose) { verbose_ = verbose; }

  void printReport(std::string_view text);
  void printVerbose(std::string_view text);
  void printAlways(std::string_view text);

  // Titles the console with the host name and a step text. Control bytes are left out: the
  // host name may come from a reverse lookup, and a title must not smuggle terminal commands.
  void setProgressTitle(std::string_view hostName, std::string_view stepText);

 private:
  void writeLine(std::string_view text);

  Console& console_;
  PrinterOutput output_;
  bool verbose_ = false;
};

}  // namespace cairn
