#include "remote/winlogon_update.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <optional>
#include <string_view>

#include "core/text.h"
#include "platform/registry.h"
#include "remote/logon_policy.h"
#include "remote/winlogon_key.h"

namespace cairn {
namespace {

struct ValueTexts {
  const char* valueName;
  Step readStep;
  Step writeStep;
  std::string_view readFailed;
  std::string_view alreadyTarget;
  std::string_view differs;
  std::string_view written;
  std::string_view writeFailed;
  std::optional<std::string> CheckRecord::*before;
  std::optional<std::string> CheckRecord::*after;
};

constexpr ValueTexts DefaultDomainName = {
    "DefaultDomainName",
    Step::QueryDefaultDomainName,
    Step::SetDefaultDomainName,
    " - Can NOT retrieve DefaultDomainName value from remote registry.",
    " + DefaultDomainName value is already set to: ",
    " * DefaultDomainName value is currently set to: ",
    " + DefaultDomainName value was successfully changed to: ",
    " - Failed to change DefaultDomainName value",
    &CheckRecord::defaultDomainBefore,
    &CheckRecord::defaultDomainAfter};

constexpr ValueTexts AltDefaultDomainName = {
    "AltDefaultDomainName",
    Step::QueryAltDefaultDomainName,
    Step::SetAltDefaultDomainName,
    " - Can NOT retrieve AltDefaultDomainName value from remote registry.",
    " + AltDefaultDomainName value is already set to: ",
    " * AltDefaultDomainName value is currently set to: ",
    " + AltDefaultDomainName value was successfully changed to: ",
    " - Failed to change AltDefaultDomainName value",
    &CheckRecord::altDefaultDomainBefore,
    &CheckRecord::altDefaultDomainAfter};

UpdateOutcome updateValue(const ValueTexts& texts, CheckContext& check, const OpenRegKey& key) {
  const std::string& targetDomain = check.options.targetDomain;
  ReportPrinter& printer = check.printer;
  Registry& registry = check.platform.registry;
  CheckRecord& record = check.record;
  Status readStatus = StatusSuccess;
  const std::string value = readDomainValue(registry, key.get(), texts.valueName, readStatus);
  if (value == FailedReadMarker) {
    record.failed(texts.readStep, readStatus);
    printer.printReport(texts.readFailed);
    return UpdateOutcome::ValueUnreadable;
  }
  record.*texts.before = value;
  record.*texts.after = value;
  if (value == targetDomain) {
    printer.printReport(std::string(texts.alreadyTarget) + targetDomain);
    return UpdateOutcome::Done;
  }
  printer.printReport(std::string(texts.differs) + printableText(value));
  const auto* data = reinterpret_cast<const unsigned char*>(targetDomain.c_str());
  const auto size = static_cast<std::uint32_t>(targetDomain.size() + 1);
  const Status writeStatus = registry.setValue(key.get(), texts.valueName, RegSz, data, size);
  if (writeStatus != StatusSuccess) {
    record.failed(texts.writeStep, writeStatus);
    printer.printReport(texts.writeFailed);
    return UpdateOutcome::ValueUnwritable;
  }
  record.*texts.after = targetDomain;
  printer.printReport(std::string(texts.written) + targetDomain);
  return UpdateOutcome::Done;
}

// Both values under the Winlogon key, which is closed again on every path.
UpdateOutcome updateWinlogonKey(CheckContext& check, const OpenRegKey& root) {
  OpenRegKey key(check.platform.registry);
  if (const Status status = key.open(root, WinlogonKeyPath, KeyAllAccess);
      status != StatusSuccess) {
    check.record.failed(Step::RegOpenKeyEx, status);
    check.printer.printReport(" - Can NOT access remote registry. Access denied.");
    return UpdateOutcome::RegistryUnreachable;
  }
  const UpdateOutcome outcome = updateValue(DefaultDomainName, check, key);
  if (outcome != UpdateOutcome::Done) return outcome;
  return updateValue(AltDefaultDomainName, check, key);
}

// A stopped RemoteRegistry with a trigger start starts when its pipe is first opened, and the
// PC refuses that open and the ones that follow until the service runs. Windows' own registry
// client waits for such a start; this waits as long as a start usually takes on a slow PC, in
// short steps so that a quick start costs little, and then gives up as before. The bound holds
// for the pauses and, should each refusal itself be slow in coming, for the time on the clock.
constexpr unsigned TriggerStartStepMs = 250;
constexpr unsigned TriggerStartBoundMs = 10000;

}  // namespace

Status connectWaitingForTriggerStart(CheckContext& check, OpenRegKey& root,
                                     const std::string& serverPath) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(TriggerStartBoundMs);
  Status status = root.connect(serverPath);
  for (unsigned waited = 0; status == StatusPipeBusy && waited < TriggerStartBoundMs &&
                            std::chrono::steady_clock::now() < deadline;
       waited += TriggerStartStepMs) {
    check.platform.console.pause(TriggerStartStepMs);
    status = root.connect(serverPath);
  }
  return status;
}

// The status of the read is not trusted: only the buffer tells; it is kept for the record.
std::string readDomainValue(Registry& registry, RegKey key, const char* valueName, Status& status) {
  std::array<unsigned char, ValueBufferSize> buffer{};
  std::memcpy(buffer.data(), FailedReadMarker, std::strlen(FailedReadMarker) + 1);
  std::uint32_t type = 0;
  std::uint32_t size = ValueBufferSize;
  status = registry.queryValue(key, valueName, &type, buffer.data(), &size);
  const auto end = std::find(buffer.begin(), buffer.end(), '\0');
  return upperCase(std::string(buffer.begin(), end));
}

UpdateOutcome updateDefaultDomain(CheckContext& check, const std::string& serverPath,
                                  const std::string& hostName) {
  check.printer.setProgressTitle(hostName, ": Checking DefaultDomainName value...");
  OpenRegKey root(check.platform.registry);
  if (const Status status = connectWaitingForTriggerStart(check, root, serverPath);
      status != StatusSuccess) {
    check.record.failed(Step::RegConnectRegistry, status);
    check.printer.printReport(" - Can NOT access remote registry. Non-NT OS or access denied.");
    return UpdateOutcome::RegistryUnreachable;
  }
  const UpdateOutcome outcome = updateWinlogonKey(check, root);
  if (check.options.readLogonPolicy) {
    CheckRecord& record = check.record;
    record.policyDefaultDomain = readLogonPolicy(check.platform.registry, root);
    if (outcome == UpdateOutcome::Done)
      record.offers =
          record.policyDefaultDomain ? record.policyDefaultDomain : record.defaultDomainAfter;
  }
  return outcome;
}

}  // namespace cairn
