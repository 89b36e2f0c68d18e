#include "front/command_line.h"

#include <array>

#include "check/value_rules.h"
#include "core/text.h"

namespace cairn {
namespace {

constexpr std::string_view HostSeparatorSet = " ,\t";

std::string_view skipBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

enum class Switch { Host, Target, Set, Ignore, Ping, Verbose, Quiet, Help, Unexpected };

Switch switchOf(std::string_view item) {
  const std::string_view key = item.substr(0, 2);
  if (key.size() != 2 || (key[0] != '/' && key[0] != '-')) return Switch::Unexpected;
  switch (key[1]) {
    case 'M':
      return Switch::Host;
    case 'T':
      return Switch::Target;
    case 'S':
      return Switch::Set;
    case 'I':
      return Switch::Ignore;
    case 'P':
      return Switch::Ping;
    case 'V':
      return Switch::Verbose;
    case 'Q':
      return Switch::Quiet;
    case '?':
    case 'H':
      return Switch::Help;
    default:
      return Switch::Unexpected;
  }
}

void reportUnexpectedItem(const std::string& item, RunOptions& options, ReportPrinter& printer,
                          Console& console) {
  printer.printAlways("");
  printer.printAlways("\a" + item + " was unexpected.");
  console.pause(UnexpectedItemPauseMs);
  options.usageRequested = true;
  options.hostText.clear();
  options.targetDomain.clear();
}

bool acceptable(const RunOptions& options) {
  return !options.hostText.empty() && !options.targetDomain.empty() && !options.usageRequested &&
         options.hostText.find_first_of(HostSeparatorSet) == std::string::npos;
}

}  // namespace

std::string_view commandTailOf(std::string_view commandLine) {
  std::size_t end = 0;
  if (!commandLine.empty() && commandLine[0] == '"') {
    const auto closing = commandLine.find('"', 1);
    if (closing == std::string_view::npos) return {};
    end = closing + 1;
  } else {
    while (end < commandLine.size() && static_cast<unsigned char>(commandLine[end]) > 32) ++end;
  }
  return skipBlanks(commandLine.substr(end));
}

std::vector<std::string_view> splitCommandItems(std::string_view rest) {
  std::vector<std::string_view> items;
  while (!rest.empty()) {
    std::size_t length;
    if (rest[0] == '"') {
      const auto closing = rest.find('"', 1);
      length = closing == std::string_view::npos ? rest.size() : closing + 1;
    } else {
      const auto stop = rest.find_first_of("\" /", 1);
      length = stop == std::string_view::npos ? rest.size() : stop;
    }
    items.push_back(rest.substr(0, length));
    rest = skipBlanks(rest.substr(length));
  }
  return items;
}

CommandLineOutcome readCommandLine(std::string_view commandTail, RunOptions& options,
                                   ReportPrinter& printer, Console& console) {
  const auto items = splitCommandItems(commandTail);
  const auto count = static_cast<int>(items.size());
  if (count < MinCommandItems || count > MaxCommandItems) {
    printUsage(printer);
    return CommandLineOutcome::UsageShown;
  }
  for (std::size_t i = 0; i < items.size(); ++i) {
    const std::string item = upperCase(items[i]);
    const bool last = i + 1 == items.size();
    switch (switchOf(item)) {
      case Switch::Host:
        options.hostText = last ? std::string{} : normalizeSwitchValue(items[++i]);
        break;
      case Switch::Target:
        options.targetDomain = last ? std::string{} : normalizeSwitchValue(items[++i]);
        break;
      case Switch::Set:
        options.setDefaultDomain = true;
        break;
      case Switch::Ignore:
        options.ignoreNameMismatch = true;
        break;
      case Switch::Ping:
        options.pingRequested = true;
        break;
      case Switch::Verbose:
        options.verbose = true;
        break;
      case Switch::Quiet:
        displayEnabled = false;
        break;
      case Switch::Help:
        options.usageRequested = true;
        options.hostText.clear();
        options.targetDomain.clear();
        break;
      case Switch::Unexpected:
        reportUnexpectedItem(item, options, printer, console);
        break;
    }
  }
  if (!acceptable(options)) {
    printUsage(printer);
    return CommandLineOutcome::UsageShown;
  }
  if (options.verbose && !displayEnabled) {
    printer.printAlways("ERROR: /Q and /V switches can not be used at the same time. Pick one.");
    return CommandLineOutcome::SwitchConflict;
  }
  return CommandLineOutcome::Proceed;
}

void printUsage(ReportPrinter& printer) {
  static constexpr std::array<std::string_view, 24> Lines = {
      "",
      "Use Cairnmark to verify that a remote PC is in the target domain.",
      "",
      "Cairnmark /M {NetBIOS_Name | IP_Address} /T TARGET_DOMAIN ",
      "               [/I] [/S] [/P] [/V | /Q]",
      "",
      "Verifies that a remote PC is in the target domain specified with the /T switch.",
      "Use the /S switch if you want to set the default domain name value to the",
      "target domain. Exits with error code 0 if all goes well.",
      "",
      "/M (required): Specify the host to check",
      "/T (required): Specify the TARGET domain we are migrating to",
      "/S (optional): Set default domain to target domain for next logon",
      "/I (optional): Ignore NetBIOS name mismatch",
      "/P (optional): Ping host to verify online",
      "/V (optional): Verbose: Shows additional information (leading ! in output)",
      "/Q (optional): Quiet: Set errorlevel but display nothing (except syntax errors)",
      "",
      "NOTE: The use of the /S switch does not stop someone from manually selecting",
      "another domain. It simply sets the default. Also, host and domain names should",
      "be NetBIOS names. If a FQDN is passed it will be truncated to the leftmost",
      "label up to the first 15 characters.",
      "",
      "Comments and suggestions are welcome by e-mail: cairnmark-maintainers@example.org",
  };
  for (std::string_view line : Lines) printer.printAlways(line);
}

}  // namespace cairn
