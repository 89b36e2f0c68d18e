// Entry point of cairnmark-fleet: the command line, then the run; in a worker process, one check.
#include <iostream>

#include "fleet/check_job.h"
#include "fleet/fleet_options.h"
#include "fleet/fleet_run.h"
#include "platform/remote_services.h"
#include "platform/system_platform.h"
#include "platform/workers.h"

int main(int argc, char** argv) {
  using namespace cairn;
  // Every worker builds the system's services afresh, so no connection or handle of one PC's
  // check is ever seen by another's.
  const WorkerFunction work = [argc, argv](const std::string& job) {
    SystemPlatform system(argc, argv);
    return runCheckJob(job, system.platform());
  };
  if (serveAsWorker(argc, argv, work)) return 0;

  const FleetCommand command = readFleetCommand(argc, argv);
  if (!command.options) return command.exitCode;
  const FleetOptions& options = *command.options;
  const auto deadline =
      std::chrono::milliseconds(static_cast<long long>(options.deadlineSeconds * 1000));
  preloadRemoteServices();
  const auto workers = makeSystemWorkers(work, deadline);
  return runFleet(options, *workers, {std::cin, std::cout, std::cerr, standardOutputIsTerminal()});
}
