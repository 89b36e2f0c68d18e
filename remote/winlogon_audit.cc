#include "remote/winlogon_audit.h"

#include "platform/registry.h"
#include "remote/logon_policy.h"
#include "remote/winlogon_key.h"

namespace cairn {
namespace {

constexpr std::uint32_t KeyRead = 0x20019;  // KEY_READ

struct AuditedValue {
  const char* valueName;
  Step readStep;
  std::optional<std::string> CheckRecord::*before;
};

constexpr AuditedValue AuditedValues[] = {
    {"DefaultDomainName", Step::QueryDefaultDomainName, &CheckRecord::defaultDomainBefore},
    {"AltDefaultDomainName", Step::QueryAltDefaultDomainName, &CheckRecord::altDefaultDomainBefore},
};

UpdateOutcome readWinlogonValues(CheckContext& check, const OpenRegKey& root) {
  OpenRegKey key(check.platform.registry);
  if (const Status status = key.open(root, WinlogonKeyPath, KeyRead); status != StatusSuccess) {
    check.record.failed(Step::RegOpenKeyEx, status);
    return UpdateOutcome::RegistryUnreachable;
  }
  for (const AuditedValue& value : AuditedValues) {
    Status status = StatusSuccess;
    const std::string text =
        readDomainValue(check.platform.registry, key.get(), value.valueName, status);
    if (text == FailedReadMarker) {
      check.record.failed(value.readStep, status);
      return UpdateOutcome::ValueUnreadable;
    }
    check.record.*value.before = text;
  }
  return UpdateOutcome::Done;
}

}  // namespace

UpdateOutcome auditDefaultDomain(CheckContext& check, const std::string& serverPath) {
  OpenRegKey root(check.platform.registry);
  // A trigger-started RemoteRegistry comes up as a --set-default run would find it, so that the
  // audit counts such a PC as readable, as that run would.
  if (const Status status = connectWaitingForTriggerStart(check, root, serverPath);
      status != StatusSuccess) {
    check.record.failed(Step::RegConnectRegistry, status);
    return UpdateOutcome::RegistryUnreachable;
  }
  const UpdateOutcome outcome = readWinlogonValues(check, root);
  CheckRecord& record = check.record;
  record.policyDefaultDomain = readLogonPolicy(check.platform.registry, root);
  // After a --set-default run DefaultDomainName holds the target; the policy still wins.
  if (outcome == UpdateOutcome::Done)
    record.offers = record.policyDefaultDomain.value_or(check.options.targetDomain);
  return outcome;
}

}  // namespace cairn
