#include "fleet/reasons.h"

#include <initializer_list>

#include "check/exit_codes.h"

namespace cairn {
namespace {

// Why the PC could not be asked at all, or refused a call.
std::string_view connectionReason(Status status) {
  switch (status) {
    case StatusModNotFound:
      return "module-missing";
    case StatusConnectionRefused:
      return "connection-refused";
    case StatusLogonFailure:
      return "logon-failure";
    case StatusNoLogonServers:
      return "kdc-unreachable";
    case StatusAccessDenied:
      return "access-denied";
    case StatusTimeout:
      return "call-timeout";
    case StatusBadNetPath:
      return "no-answer";
    default:
      return "rpc-failure";
  }
}

std::string_view registryReason(Step step, Status status) {
  // A Winlogon key that does not exist is no refusal: the PC is not the kind of system expected.
  if (step == Step::RegOpenKeyEx)
    return status == StatusFileNotFound ? "key-missing" : "key-denied";
  switch (status) {
    case StatusRpcServerUnavailable:
    case StatusPipeBusy:
    case StatusBadNetPath:
      return "registry-unavailable";
    default:
      return connectionReason(status);
  }
}

}  // namespace

std::string_view reasonFor(int exitCode, Step step, Status status) {
  // Whatever step it ended, a check that ran out of resources on this machine says nothing
  // about the PC.
  if (status == StatusNoSystemResources) return ReasonLocalResources;
  switch (exitCode) {
    case ExitSuccess:
      return "ok";
    case ExitUnreachable:
      return step == Step::IcmpSendEcho ? "no-echo-reply" : "not-resolved";
    case ExitNoAccess:
      return connectionReason(status);
    case ExitNameMismatch:
      return "name-mismatch";
    case ExitWrongDomain:
      return "wrong-domain";
    case ExitRegistryAccess:
      return registryReason(step, status);
    case ExitValueUnreadable:
      return "value-missing";
    case ExitValueUnwritable:
      return "write-failed";
    case CrashedExitCode:
      return ReasonCrashed;
    default:
      return "bad-value";
  }
}

bool reasonShowsSmbAnswer(std::string_view reason) {
  for (const std::string_view unanswered : std::initializer_list<std::string_view>{
           "bad-value", "not-resolved", "no-echo-reply", "no-answer", "connection-refused",
           "module-missing", ReasonStoppedAtDeadline, ReasonCrashed, ReasonLocalResources}) {
    if (reason == unanswered) return false;
  }
  return true;
}

std::string_view nextStep(std::string_view reason) {
  struct Step {
    std::string_view reason;
    std::string_view next;
  };
  static constexpr Step Steps[] = {
      {"ok", "nothing to do"},
      {"bad-value", "correct the PC's line in the list"},
      {"not-resolved", "check the name in DNS or WINS, or list the PC by its address"},
      {"no-echo-reply", "the PC is off or ICMP is filtered: check it, or run without --ping"},
      {"no-answer", "the PC is off or port 445 is filtered"},
      {"connection-refused",
       "file and printer sharing is off on the PC, or a firewall refuses 445"},
      {"logon-failure", "check the account or the ticket"},
      {"kdc-unreachable", "no KDC answered: check krb5.conf and the path to a domain controller"},
      {"access-denied", "use an account that is an administrator of the PC"},
      {"call-timeout", "the PC is slow or overloaded: check it again later"},
      {"rpc-failure", "the PC broke off a call: check its event log, then check it again"},
      {"module-missing", "install the Samba module beside cairnmark-fleet (samba-libs)"},
      {"name-mismatch", "the address now belongs to another PC: fix DNS, or use --ignore-name"},
      {"wrong-domain", "join the PC to the target domain first"},
      {"registry-unavailable",
       "start the RemoteRegistry service on the PC (sc \\\\PC start RemoteRegistry), or run "
       "with --start-registry"},
      {"registry-service-disabled",
       "RemoteRegistry is disabled: run with --start-registry to enable it for the check and put "
       "it back"},
      {"registry-service-stopped",
       "RemoteRegistry is stopped: run with --start-registry to start it for the check and stop "
       "it again"},
      {"service-control-denied",
       "use an account that may start and stop services on the PC, or start RemoteRegistry there"},
      {"service-start-failed",
       "RemoteRegistry would not start: check the PC's System event log, then run again"},
      {"service-restore-failed",
       "RemoteRegistry was not put back: run cairnmark-fleet --restore-services with the journal"},
      {"key-denied", "give the account rights on the Winlogon key"},
      {"key-missing", "the PC is no Windows NT system, or its registry is damaged"},
      {"value-missing", "create the Winlogon value on the PC, or set it by Group Policy"},
      {"write-failed", "give the account write rights on the Winlogon key, then run again"},
      {"stopped-at-deadline", "the PC answers too slowly: check it again with a longer --deadline"},
      {"crashed", "report the record to the developers, then check the PC again"},
      {"local-resources", "this machine ran short: check the PC again with fewer --jobs"},
  };
  for (const Step& step : Steps) {
    if (step.reason == reason) return step.next;
  }
  return {};
}

bool reasonIsNotReached(std::string_view reason) {
  return reason == "not-resolved" || reason == "no-echo-reply" || reason == "no-answer" ||
         reason == "connection-refused";
}

bool reasonIsServiceTrouble(std::string_view reason) {
  return reason == "service-control-denied" || reason == "service-start-failed" ||
         reason == "service-restore-failed";
}

std::string_view exitCodeMeaning(int exitCode) {
  switch (exitCode) {
    case ExitSuccess:
      return "every check passed";
    case ExitUnreachable:
      return "not resolved, or no echo reply";
    case ExitNoAccess:
      return "could not be asked";
    case ExitNameMismatch:
      return "reports another computer name";
    case ExitWrongDomain:
      return "not in the target domain";
    case ExitRegistryAccess:
      return "registry or Winlogon key could not be opened";
    case ExitValueUnreadable:
      return "a Winlogon value could not be read";
    case ExitValueUnwritable:
      return "a Winlogon value could not be written";
    case ExitBadValue:
      return "bad value in the list";
    case CrashedExitCode:
      return "check crashed";
    default:
      return "";
  }
}

}  // namespace cairn
