// Entry point: the system's services, one check run, and its code as the exit status.
#include <string>

#include "front/command_line.h"
#include "front/single_check.h"
#include "platform/platform.h"
#include "platform/remote_services.h"

int main(int argc, char** argv) {
  using namespace cairn;
  const auto console = makeSystemConsole(argc, argv);
  const auto sockets = makeSystemSockets();
  const auto icmp = makeSystemIcmpEcho();
  const RemoteServices remote = makeSystemRemoteServices();
  Platform platform{*console, *sockets, *icmp, *remote.netManagement, *remote.registry};
  const std::string commandLine = console->commandLine();
  console->exitProcess(runChecks(commandTailOf(commandLine), platform));
}
