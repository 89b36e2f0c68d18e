// The platform of a check in a worker, which tells the fleet command how far the check got while
// it runs: before each call that can keep a check waiting (a lookup, an echo request, a network
// management or registry call), it reports that step, with the address once the check has
// resolved one. A check stopped at its deadline, or one that crashed, so still has a record of
// the step that did not finish and the address it had.
#pragma once

#include <memory>

#include "core/check_record.h"
#include "platform/platform.h"
#include "platform/workers.h"

namespace cairn {

class StepReports {
 public:
  // record is the one the check fills in, read at each report for the address.
  StepReports(Platform& system, const CheckRecord& record, WorkerProgress progress);
  ~StepReports();
  StepReports(const StepReports&) = delete;
  StepReports& operator=(const StepReports&) = delete;

  // The system's services, each call named first.
  Platform& platform();

 private:
  struct Services;
  std::unique_ptr<Services> services_;
};

}  // namespace cairn
