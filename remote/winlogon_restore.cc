#include "remote/winlogon_restore.h"

#include "core/text.h"
#include "platform/registry.h"
#include "remote/winlogon_key.h"

namespace cairn {
namespace {

constexpr std::uint32_t KeyRead = 0x20019;  // KEY_READ

struct RestoredValue {
  const char* valueName;
  Step readStep;
  Step writeStep;
  Step deleteStep;
  std::optional<RecordedValue> RestoreRequest::*recorded;
  std::optional<std::string> CheckRecord::*before;
  std::optional<std::string> CheckRecord::*after;
};

constexpr RestoredValue RestoredValues[] = {
    {"DefaultDomainName", Step::QueryDefaultDomainName, Step::SetDefaultDomainName,
     Step::DeleteDefaultDomainName, &RestoreRequest::defaultDomain,
     &CheckRecord::defaultDomainBefore, &CheckRecord::defaultDomainAfter},
    {"AltDefaultDomainName", Step::QueryAltDefaultDomainName, Step::SetAltDefaultDomainName,
     Step::DeleteAltDefaultDomainName, &RestoreRequest::altDefaultDomain,
     &CheckRecord::altDefaultDomainBefore, &CheckRecord::altDefaultDomainAfter},
};

// The value as the PC holds it now, read as the update reads it: its text, or nothing where it
// does not exist. False, with the failure recorded, where it cannot be read.
bool readCurrent(CheckContext& check, const OpenRegKey& key, const RestoredValue& value,
                 std::optional<std::string>& found) {
  Status status = StatusSuccess;
  const std::string text =
      readDomainValue(check.platform.registry, key.get(), value.valueName, status);
  if (text != FailedReadMarker) {
    found = text;
    return true;
  }
  if (status == StatusFileNotFound) {
    found.reset();
    return true;
  }
  check.record.failed(value.readStep, status);
  return false;
}

// Sets the value to what the recorded run found, or deletes it where that run found none.
bool putBack(CheckContext& check, const OpenRegKey& key, const RestoredValue& value,
             const RecordedValue& recorded) {
  Registry& registry = check.platform.registry;
  Status status = StatusSuccess;
  if (recorded.before) {
    const auto* data = reinterpret_cast<const unsigned char*>(recorded.before->c_str());
    const auto size = static_cast<std::uint32_t>(recorded.before->size() + 1);
    status = registry.setValue(key.get(), value.valueName, RegSz, data, size);
  } else {
    status = registry.deleteValue(key.get(), value.valueName);
  }
  if (status != StatusSuccess) {
    check.record.failed(recorded.before ? value.writeStep : value.deleteStep, status);
    return false;
  }
  check.record.*value.after = recorded.before;
  return true;
}

}  // namespace

UpdateOutcome restoreDefaultDomain(CheckContext& check, const std::string& serverPath) {
  const RestoreRequest& request = *check.options.restore;
  const bool auditOnly = check.options.auditOnly;
  CheckRecord& record = check.record;
  if (!request.defaultDomain && !request.altDefaultDomain) {
    record.restore = RestoreResult::NothingToRestore;
    return UpdateOutcome::Done;
  }
  OpenRegKey root(check.platform.registry);
  if (const Status status = connectWaitingForTriggerStart(check, root, serverPath);
      status != StatusSuccess) {
    record.failed(Step::RegConnectRegistry, status);
    return UpdateOutcome::RegistryUnreachable;
  }
  OpenRegKey key(check.platform.registry);
  if (const Status status = key.open(root, WinlogonKeyPath, auditOnly ? KeyRead : KeyAllAccess);
      status != StatusSuccess) {
    record.failed(Step::RegOpenKeyEx, status);
    return UpdateOutcome::RegistryUnreachable;
  }
  // Every value is compared before any is written, so that a PC is put back whole or not at all.
  // A PC that holds what the run found already (a restore run again after an interruption) has
  // nothing to put back.
  bool asLeft = true;
  bool asFound = true;
  for (const RestoredValue& value : RestoredValues) {
    const auto& recorded = request.*value.recorded;
    if (!recorded) continue;
    std::optional<std::string> found;
    if (!readCurrent(check, key, value, found)) return UpdateOutcome::ValueUnreadable;
    record.*value.before = found;
    if (!auditOnly) record.*value.after = found;
    asLeft = asLeft && found == upperCase(recorded->after);
    asFound = asFound && (recorded->before ? found == upperCase(*recorded->before) : !found);
  }
  if (asFound) {
    record.restore = RestoreResult::NothingToRestore;
    return UpdateOutcome::Done;
  }
  if (!asLeft) {
    record.restore = RestoreResult::ChangedSince;
    return UpdateOutcome::ValueUnwritable;
  }
  if (auditOnly) {
    record.restore = RestoreResult::WouldRestore;
    return UpdateOutcome::Done;
  }
  for (const RestoredValue& value : RestoredValues) {
    const auto& recorded = request.*value.recorded;
    if (recorded && !putBack(check, key, value, *recorded)) return UpdateOutcome::ValueUnwritable;
  }
  record.restore = RestoreResult::Restored;
  return UpdateOutcome::Done;
}

}  // namespace cairn
