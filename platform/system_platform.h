// The running system's services, made together in one place for both programs and owned for as
// long as the checks that use them.
#pragma once

#include <memory>

#include "platform/platform.h"
#include "platform/remote_services.h"

namespace cairn {

class SystemPlatform {
 public:
  // argc/argv reach the console only (see makeSystemConsole).
  SystemPlatform(int argc, char** argv)
      : console_(makeSystemConsole(argc, argv)),
        sockets_(makeSystemSockets()),
        icmp_(makeSystemIcmpEcho()),
        remote_(makeSystemRemoteServices()),
        platform_{*console_, *sockets_, *icmp_, *remote_.netManagement, *remote_.registry} {}
  SystemPlatform(const SystemPlatform&) = delete;
  SystemPlatform& operator=(const SystemPlatform&) = delete;

  Platform& platform() { return platform_; }

 private:
  std::unique_ptr<Console> console_;
  std::unique_ptr<Sockets> sockets_;
  std::unique_ptr<IcmpEcho> icmp_;
  RemoteServices remote_;
  Platform platform_;
};

}  // namespace cairn
