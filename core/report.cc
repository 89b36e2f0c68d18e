#include "core/report.h"

#include <string>

namespace cairn {

bool displayEnabled = true;

void ReportPrinter::printReport(std::string_view text) {
  if (displayEnabled) writeLine(text);
}

void ReportPrinter::printVerbose(std::string_view text) {
  if (verbose_) printReport(text);
}

void ReportPrinter::printAlways(std::string_view text) {
  writeLine(text);
}

// One write per line: a line is never split between writers, and the usage text costs 24 system
// calls instead of 48.
void ReportPrinter::writeLine(std::string_view text) {
  if (output_ == PrinterOutput::Discarded) return;
  std::string line;
  line.reserve(text.size() + 2);
  line.append(text);
  line.append("\r\n");
  console_.writeOutput(line);
}

void ReportPrinter::setProgressTitle(std::string_view hostName, std::string_view stepText) {
  if (output_ == PrinterOutput::Discarded) return;
  std::string title;
  title.reserve(hostName.size() + stepText.size());
  for (std::string_view part : {hostName, stepText}) {
    for (char c : part) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte >= 32 && byte != 127) title.push_back(c);
    }
  }
  console_.setTitle(title);
}

}  // namespace cairn
