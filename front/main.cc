// Entry point: the system's services, one check run, and its code as the exit status.
#include <string>

#include "front/command_line.h"
#include "front/single_check.h"
#include "platform/system_platform.h"

int main(int argc, char** argv) {
  using namespace cairn;
  SystemPlatform system(argc, argv);
  Platform& platform = system.platform();
  const std::string commandLine = platform.console.commandLine();
  platform.console.exitProcess(runChecks(commandTailOf(commandLine), platform));
}
