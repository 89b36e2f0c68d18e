// What one check run found out, beyond its exit code: filled in by the steps as they go, so that
// the fleet command can say for each PC where and why its check ended. The single check keeps
// one too and never shows it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace cairn {

struct CheckRecord {
  std::string addressText;  // the dotted address the host resolved to, empty before that
  // The platform call whose failure ended the check ("NetWkstaGetInfo", "RegOpenKeyEx",
  // "RegQueryValueEx DefaultDomainName"), empty while nothing failed, and its status.
  std::string step;
  std::uint32_t status = 0;
  // The Winlogon values as read and as left, where the run got that far.
  std::optional<std::string> defaultDomainBefore;
  std::optional<std::string> altDefaultDomainBefore;
  std::optional<std::string> defaultDomainAfter;
  std::optional<std::string> altDefaultDomainAfter;
  // The domain the logon-domain policy assigns, where it is set and was read.
  std::optional<std::string> policyDefaultDomain;

  void failed(std::string failedStep, std::uint32_t failedStatus) {
    step = std::move(failedStep);
    status = failedStatus;
  }
};

}  // namespace cairn
