// Network management and registry of the running system, made together: a backend may serve
// both over one connection to the remote PC, and they share it without any process-wide state.
#pragma once

#include <memory>

#include "platform/net_management.h"
#include "platform/registry.h"

namespace cairn {

struct RemoteServices {
  std::unique_ptr<NetManagement> netManagement;
  std::unique_ptr<Registry> registry;
};

RemoteServices makeSystemRemoteServices();

}  // namespace cairn
