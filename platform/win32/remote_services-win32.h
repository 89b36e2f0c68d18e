// The Win32 network-management, registry and service-control backends one by one, for their
// own tests; a run gets them all from makeSystemRemoteServices.
#pragma once

#include <memory>

#include "platform/net_management.h"
#include "platform/registry.h"
#include "platform/service_control.h"

namespace cairn {

std::unique_ptr<NetManagement> makeWin32NetManagement();
std::unique_ptr<Registry> makeWin32Registry();
std::unique_ptr<ServiceControl> makeWin32ServiceControl();

}  // namespace cairn
