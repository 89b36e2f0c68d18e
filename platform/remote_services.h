// Network management, registry and service control of the running system, made together: a
// backend may serve them over one connection to the remote PC, and they share it without any
// process-wide state.
#pragma once

#include <memory>

#include "platform/net_management.h"
#include "platform/registry.h"
#include "platform/service_control.h"

namespace cairn {

struct RemoteServices {
  std::unique_ptr<NetManagement> netManagement;
  std::unique_ptr<Registry> registry;
  std::unique_ptr<ServiceControl> serviceControl;
};

RemoteServices makeSystemRemoteServices();

// Maps the code of the remote services into the process without starting any of it (no
// connection, no library state), so that worker processes forked later share it instead of
// each loading it again. Nothing happens where there is nothing to load ahead.
void preloadRemoteServices();

}  // namespace cairn
