#include "remote/identity_check.h"

#include <string_view>

#include "core/text.h"

namespace cairn {
namespace {

struct QueryTexts {
  Step step;
  std::string_view retryLine;
  std::string_view failureLine;
};

constexpr QueryTexts WorkstationQuery = {Step::NetWkstaGetInfo,
                                         " ! Retrying NetWkstaGetInfo call...",
                                         " - Can not access. NetWkstaGetInfo called failed."};
constexpr QueryTexts ServerQuery = {Step::NetServerGetInfo, " ! Retrying NetServerGetInfo call...",
                                    " - Can not access. NetServerGetInfo call failed."};

// Two attempts, the second at once; a record left behind by the first is released before it.
template <typename Query>
bool queryTwice(Query query, NetBuffer& record, const QueryTexts& texts, CheckContext& check) {
  if (query(record.receive()) == StatusSuccess) return true;
  check.printer.printVerbose(texts.retryLine);
  record.reset();
  const Status status = query(record.receive());
  if (status == StatusSuccess) return true;
  check.record.failed(texts.step, status);
  check.printer.printReport(texts.failureLine);
  return false;
}

std::string reportedText(const char16_t* wide, Console& console) {
  return upperCase(stripBlanks(console.toNarrow(wide)));
}

bool nameAccepted(const std::string& reportedName, const ResolvedTarget& target,
                  const RunOptions& options, ReportPrinter& printer) {
  const bool equal = reportedName == target.hostName;
  if (!options.ignoreNameMismatch) {
    printer.printReport(equal ? " + NetBIOS name matches." : " - NetBIOS name does not match.");
    return equal;
  }
  printer.printVerbose(equal ? std::string(" ! NetBIOS name matches.")
                             : " ! NetBIOS name does not match. Returned: " +
                                   printableText(reportedName));
  return true;
}

}  // namespace

ServerPath makeServerPath(const std::string& hostName, Console& console) {
  ServerPath path;
  path.narrow = "\\\\" + hostName;
  path.wide = console.toWide(path.narrow);
  return path;
}

IdentityOutcome checkIdentity(CheckContext& check, const ResolvedTarget& target,
                              const ServerPath& serverPath, NetRecords& records) {
  const RunOptions& options = check.options;
  ReportPrinter& printer = check.printer;
  NetManagement& net = check.platform.netManagement;
  printer.setProgressTitle(target.hostName, ": Checking NetBIOS name...");
  const auto workstation = [&](NetRecord* record) {
    return net.workstationInfo(serverPath.wide, record);
  };
  if (!queryTwice(workstation, records.workstation, WorkstationQuery, check))
    return IdentityOutcome::QueryFailed;
  const auto server = [&](NetRecord* record) { return net.serverInfo(serverPath.wide, record); };
  if (!queryTwice(server, records.server, ServerQuery, check)) return IdentityOutcome::QueryFailed;

  const WorkstationNames names = net.workstationNames(records.workstation.get());
  if (!nameAccepted(reportedText(names.computerName, check.platform.console), target, options,
                    printer))
    return IdentityOutcome::NameMismatch;

  printer.setProgressTitle(target.hostName, ": Checking current domain...");
  const std::string domain = reportedText(names.langroup, check.platform.console);
  // Exact comparison: a prefix test would let CORPNET pass for CORP and rewrite the logon
  // default of a PC that is not in the target domain.
  if (domain != options.targetDomain) {
    printer.printReport(" - Remote PC is in domain: " + printableText(domain));
    return IdentityOutcome::WrongDomain;
  }
  printer.printReport(" + Remote PC is in target domain: " + options.targetDomain);
  return IdentityOutcome::Passed;
}

}  // namespace cairn
