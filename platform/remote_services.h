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

// Maps the code of the remote services into the process without starting any of it (no
// connection, no library state), so that worker processes forked later share it instead of
// each loading it again. Nothing happens where there is nothing to load ahead.
void preloadRemoteServices();

}  // namespace cairn
