#include "remote/winlogon_update.h"

#include <algorithm>
#include <array>
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

// Reads a value as text up to its first NUL, upper-cased; the marker when the read left the
// buffer untouched. The status of the read is not trusted: only the buffer tells; it is kept for
// the record.
std::string readValue(Registry& registry, RegKey key, const char* valueName, Status& status) {
  std::array<unsigned char, ValueBufferSize> buffer{};
  std::memcpy(buffer.data(), FailedReadMarker, std::strlen(FailedReadMarker) + 1);
  std::uint32_t type = 0;
  std::uint32_t size = ValueBufferSize;
  status = registry.queryValue(key, valueName, &type, buffer.data(), &size);
  const auto end = std::find(buffer.begin(), buffer.end(), '\0');
  return upperCase(std::string(buffer.begin(), end));
}

UpdateOutcome updateValue(const ValueTexts& texts, const std::string& targetDomain,
                          ReportPrinter& printer, Registry& registry, RegKey key,
                          CheckRecord& record) {
  Status readStatus = StatusSuccess;
  const std::string value = readValue(registry, key, texts.valueName, readStatus);
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
  const Status writeStatus = registry.setValue(key, texts.valueName, RegSz, data, size);
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
UpdateOutcome updateWinlogonKey(RegKey root, const std::string& targetDomain,
                                ReportPrinter& printer, Registry& registry, CheckRecord& record) {
  RegKey key = 0;
  if (const Status status = registry.openKey(root, WinlogonKeyPath, KeyAllAccess, &key);
      status != StatusSuccess) {
    record.failed(Step::RegOpenKeyEx, status);
    printer.printReport(" - Can NOT access remote registry. Access denied.");
    return UpdateOutcome::RegistryUnreachable;
  }
  UpdateOutcome outcome =
      updateValue(DefaultDomainName, targetDomain, printer, registry, key, record);
  if (outcome == UpdateOutcome::Done)
    outcome = updateValue(AltDefaultDomainName, targetDomain, printer, registry, key, record);
  registry.closeKey(key);
  return outcome;
}

}  // namespace

UpdateOutcome updateDefaultDomain(const std::string& serverPath, const std::string& hostName,
                                  const std::string& targetDomain, bool readPolicy,
                                  ReportPrinter& printer, Registry& registry, CheckRecord& record) {
  printer.setProgressTitle(hostName, ": Checking DefaultDomainName value...");
  RegKey root = 0;
  if (const Status status = registry.connect(serverPath, &root); status != StatusSuccess) {
    record.failed(Step::RegConnectRegistry, status);
    printer.printReport(" - Can NOT access remote registry. Non-NT OS or access denied.");
    return UpdateOutcome::RegistryUnreachable;
  }
  const UpdateOutcome outcome = updateWinlogonKey(root, targetDomain, printer, registry, record);
  if (readPolicy) record.policyDefaultDomain = readLogonPolicy(registry, root);
  registry.closeKey(root);
  return outcome;
}

}  // namespace cairn
