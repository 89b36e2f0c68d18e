#include "front/report.h"

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

void ReportPrinter::writeLine(std::string_view text) {
  if (!text.empty()) console_.writeOutput(text);
  console_.writeOutput("\r\n");
}

void ReportPrinter::setProgressTitle(std::string_view hostName, std::string_view stepText) {
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
