// The bundle of platform services that a check run talks to.
#pragma once

#include "platform/console.h"
#include "platform/icmp_echo.h"
#include "platform/net_management.h"
#include "platform/registry.h"
#include "platform/service_control.h"
#include "platform/sockets.h"

namespace cairn {

struct Platform {
  Console& console;
  Sockets& sockets;
  IcmpEcho& icmp;
  NetManagement& netManagement;
  Registry& registry;
  ServiceControl& serviceControl;
};

}  // namespace cairn
