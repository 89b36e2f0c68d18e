#include "reach/target.h"

#include "core/text.h"
#include "reach/address.h"
#include "reach/lookup.h"

namespace cairn {
namespace {

// Cuts before the first dot. Values reach here trimmed of leading dots by the command line.
std::string_view leftmostLabel(std::string_view value) {
  return value.substr(0, value.find('.'));
}

ResolveOutcome resolveName(const std::string& hostValue, ResolvedTarget& target,
                           ReportPrinter& printer, Sockets& sockets) {
  const std::string_view label = leftmostLabel(hostValue);
  if (label.size() > NetbiosNameLimit) {
    printer.printAlways("ERROR: /M: Invalid NetBIOS hostname (must be 15 characters or less).");
    return ResolveOutcome::InvalidValue;
  }
  target.hostName = std::string(label);
  target.address = lookupHostAddress(sockets, target.hostName);
  target.addressText = formatDottedAddress(target.address);
  if (target.addressText == "0.0.0.0") {
    printer.printReport(" - Could not resolve hostname to IP Address.");
    return ResolveOutcome::LookupFailed;
  }
  printer.printReport(" + Resolved hostname to: " + target.addressText);
  return ResolveOutcome::Resolved;
}

ResolveOutcome resolveAddress(const std::string& hostValue, ResolvedTarget& target,
                              ReportPrinter& printer, Sockets& sockets) {
  if (!isDottedAddress(hostValue)) {
    printer.printAlways("ERROR: /M: Invalid IP Address. Please check format.");
    return ResolveOutcome::InvalidValue;
  }
  target.address = parseDottedAddress(hostValue);
  target.addressText = formatDottedAddress(target.address);
  const std::string name = lookupHostName(sockets, target.address);
  if (name.empty()) {
    printer.printReport(" - Could not resolve IP Address to hostname.");
    return ResolveOutcome::LookupFailed;
  }
  target.hostName = upperCase(name);
  printer.printReport(" + Resolved IP address to: " + printableText(target.hostName));
  return ResolveOutcome::Resolved;
}

}  // namespace

std::optional<std::string> normalizeTargetDomain(std::string_view domainValue) {
  const std::string_view label = leftmostLabel(domainValue);
  if (label.size() > NetbiosNameLimit) return std::nullopt;
  return std::string(label);
}

HostKind classifyHostValue(std::string_view hostValue) {
  for (char c : hostValue)
    if (c >= 'A' && c <= 'Z') return HostKind::Name;
  return HostKind::Address;
}

ResolveOutcome resolveTarget(CheckContext& check, ResolvedTarget& target) {
  RunOptions& options = check.options;
  ReportPrinter& printer = check.printer;
  Sockets& sockets = check.platform.sockets;
  const auto domain = normalizeTargetDomain(options.targetDomain);
  if (!domain) {
    printer.printAlways("ERROR: /T: Invalid NetBIOS domain name (must be 15 characters or less).");
    return ResolveOutcome::InvalidValue;
  }
  options.targetDomain = *domain;
  if (classifyHostValue(options.hostText) == HostKind::Name)
    return resolveName(options.hostText, target, printer, sockets);
  return resolveAddress(options.hostText, target, printer, sockets);
}

}  // namespace cairn
