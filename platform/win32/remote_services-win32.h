// The Win32 network-management and registry backends one by one, for their own tests; a run
// gets both from makeSystemRemoteServices.
#pragma once

#include <memory>

#include "platform/net_management.h"
#include "platform/registry.h"

namespace cairn {

std::unique_ptr<NetManagement> makeWin32NetManagement();
std::unique_ptr<Registry> makeWin32Registry();

}  // namespace cairn
