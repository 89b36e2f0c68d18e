#include "check/check_run.h"

#include <cstdint>
#include <utility>

#include "check/exit_codes.h"
#include "platform/status.h"
#include "reach/echo_probe.h"
#include "reach/target.h"
#include "remote/identity_check.h"
#include "remote/winlogon_audit.h"
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

// Steps 4 and 5: the identity check and, with /S, the Winlogon update (or the fleet's audit).
// The records of the identity check are released after the update, at the end of both.
std::int16_t remoteChecks(CheckContext& check, const ResolvedTarget& target) {
  const ServerPath serverPath = makeServerPath(target.hostName, check.platform.console);
  check.record.serverPath = serverPath.narrow;
  NetRecords records(check.platform.netManagement);
  std::int16_t resultCode = identityResult(checkIdentity(check, target, serverPath, records));
  if (resultCode != 0) return resultCode;
  if (check.options.auditOnly) return updateResult(auditDefaultDomain(check, serverPath.narrow));
  if (!check.options.setDefaultDomain) return resultCode;
  return updateResult(updateDefaultDomain(check, serverPath.narrow, target.hostName));
}

}  // namespace

int runCheck(RunOptions options, ReportPrinter& printer, Platform& platform, CheckRecord& record) {
  CheckContext check{std::move(options), printer, platform, record};
  ResolvedTarget target;
  switch (resolveTarget(check, target)) {
    case ResolveOutcome::InvalidValue:
      return ExitBadValue;
    case ResolveOutcome::LookupFailed:
      record.failed(classifyHostValue(check.options.hostText) == HostKind::Name
                        ? Step::HostByName
                        : Step::HostByAddress,
                    StatusHostNotFound);
      return ExitUnreachable;
    case ResolveOutcome::Resolved:
      break;
  }
  record.addressText = target.addressText;
  if (check.options.pingRequested && pingHost(check, target.addressText) == PingOutcome::HostDown)
    return ExitUnreachable;
  return remoteChecks(check, target);
}

}  // namespace cairn
