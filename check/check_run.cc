#include "check/check_run.h"

#include <cstdint>

#include "check/exit_codes.h"
#include "platform/status.h"
#include "reach/echo_probe.h"
#include "reach/target.h"
#include "remote/identity_check.h"
#include "remote/winlogon_update.h"

namespace cairn {
namespace {

std::int16_t identityResult(IdentityOutcome outcome) {
  switch (outcome) {
    case IdentityOutcome::Passed:
      return ExitSuccess;
    case IdentityOutcome::QueryFailed:
      return ExitNoAccess;
    case IdentityOutcome::NameMismatch:
      return ExitNameMismatch;
    case IdentityOutcome::WrongDomain:
      return ExitWrongDomain;
  }
  return ExitNoAccess;
}

std::int16_t updateResult(UpdateOutcome outcome) {
  switch (outcome) {
    case UpdateOutcome::Done:
      return 0;
    case UpdateOutcome::RegistryUnreachable:
      return ExitRegistryAccess;
    case UpdateOutcome::ValueUnreadable:
      return ExitValueUnreadable;
    case UpdateOutcome::ValueUnwritable:
      return ExitValueUnwritable;
  }
  return ExitRegistryAccess;
}

// Steps 4 and 5: the identity check and, with /S, the Winlogon update.
std::int16_t remoteChecks(const RunOptions& options, const ResolvedTarget& target,
                          NetRecords& records, ReportPrinter& printer, Platform& platform,
                          CheckRecord& record) {
  const ServerPath serverPath = makeServerPath(target.hostName, platform.console);
  std::int16_t resultCode = identityResult(
      checkIdentity(target, options, serverPath, records, printer, platform, record));
  if (resultCode != 0 || !options.setDefaultDomain) return resultCode;
  resultCode += updateResult(updateDefaultDomain(serverPath.narrow, target.hostName,
                                                 options.targetDomain, options.readLogonPolicy,
                                                 printer, platform.registry, record));
  return resultCode;
}

}  // namespace

int runCheck(RunOptions options, ReportPrinter& printer, Platform& platform, CheckRecord& record) {
  ResolvedTarget target;
  switch (resolveTarget(options, target, printer, platform.sockets)) {
    case ResolveOutcome::InvalidValue:
      return ExitBadValue;
    case ResolveOutcome::LookupFailed:
      record.failed(classifyHostValue(options.hostText) == HostKind::Name ? Step::HostByName
                                                                          : Step::HostByAddress,
                    StatusHostNotFound);
      return ExitUnreachable;
    case ResolveOutcome::Resolved:
      break;
  }
  record.addressText = target.addressText;
  if (options.pingRequested &&
      pingHost(target.addressText, printer, platform.icmp, record) == PingOutcome::HostDown)
    return ExitUnreachable;

  NetRecords records;
  const std::int16_t resultCode = remoteChecks(options, target, records, printer, platform, record);
  releaseRecords(records, platform.netManagement);
  return resultCode;
}

}  // namespace cairn
