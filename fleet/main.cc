// Entry point of cairnmark-fleet: the command line, then the run; in a worker process, one check.
#include <iostream>

#include "fleet/check_job.h"
#include "fleet/fleet_options.h"
#include "fleet/fleet_report.h"
#include "fleet/fleet_run.h"
#include "fleet/restore_services.h"
#include "platform/remote_services.h"
#include "platform/system_platform.h"
#include "platform/workers.h"

int main(int argc, char** argv) {
  using namespace cairn;
  // Every worker builds the system's services afresh, so no connection or handle of one PC's
  // check is ever seen by another's.
  const WorkerFunction work = [argc, argv](const std::string& job, const WorkerProgress& progress) {
    SystemPlatform system(argc, argv);
    return runCheckJob(job, system.platform(), progress);
  };
  if (serveAsWorker(argc, argv, work)) return 0;

  if (isReportCommand(argc, argv)) {
    const ReportCommand report = readReportCommand(argc, argv);
    if (!report.options) return report.exitCode;
    return runReport(*report.options, std::cout, std::cerr);
  }
  const FleetCommand command = readFleetCommand(argc, argv);
  if (!command.options) return command.exitCode;
  const FleetOptions& options = *command.options;
  if (!options.restoreServicesPath.empty()) {
    SystemPlatform system(argc, argv);
    return restoreServices(options.restoreServicesPath, system.platform().serviceControl,
                           steadyClock(), std::cout, std::cerr);
  }
  const auto deadline =
      std::chrono::milliseconds(static_cast<long long>(options.deadlineSeconds * 1000));
  // The remote services are mapped once a PC has answered on its SMB port, not before: a worker
  // forked from a process that holds Samba's hundred-odd libraries costs several times the
  // CPU of the connect attempt that is all a PC that is not there needs. Workers started before
  // the first answer each load the module themselves.
  if (const std::string error = makeRoomForWorkers(static_cast<std::size_t>(options.jobs));
      !error.empty()) {
    std::cerr << "cairnmark-fleet: " << error << '\n';
    return FleetExitCannotRun;
  }
  const auto workers = makeSystemWorkers(work, deadline);
  return runFleet(options, *workers, {std::cin, std::cout, std::cerr, standardOutputIsTerminal()},
                  preloadRemoteServices);
}
