// What one check run found out, beyond its exit code: filled in by the steps as they go, so that
// the fleet command can say for each PC where and why its check ended. The single check keeps
// one too and never shows it.
#pragma once

#include <optional>
#include <string>

#include "core/step.h"
#include "platform/status.h"

namespace cairn {

struct CheckRecord {
  std::string addressText;  // the dotted address the host resolved to, empty before that
  // The server path ("\\NAME") the remote calls went to, empty before the first of them: the
  // fleet asks the same machine about its RemoteRegistry service.
  std::string serverPath;
  // The platform call whose failure ended the check, None while nothing failed, and its status.
  Step step = Step::None;
  Status status = StatusSuccess;
  // The Winlogon values as read and as left, where the run got that far.
  std::optional<std::string> defaultDomainBefore;
  std::optional<std::string> altDefaultDomainBefore;
  std::optional<std::string> defaultDomainAfter;
  std::optional<std::string> altDefaultDomainAfter;
  // The domain the logon-domain policy assigns, where it is set and was read.
  std::optional<std::string> policyDefaultDomain;
  // The domain the logon screen offers once the values hold what the run left or would leave in
  // them: the policy's where it is set, else DefaultDomainName's. Known only where the values
  // were read and the policy looked for.
  std::optional<std::string> offers;

  void failed(Step failedStep, Status failedStatus) {
    step = failedStep;
    status = failedStatus;
  }
};

}  // namespace cairn
