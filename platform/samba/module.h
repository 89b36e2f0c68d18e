// The entry point that cairnmark-samba.so exports to the binary that loads it. Binary and
// module are built together from one tree, so the C++ interfaces may cross the boundary.
#pragma once

#include "platform/net_management.h"
#include "platform/registry.h"

namespace cairn {

// The module's file name; the binary looks for it in its own directory.
inline constexpr const char* SambaModuleFile = "cairnmark-samba.so";
inline constexpr const char* SambaModuleEntry = "cairnmarkSambaBackends";

// Hands out the module's two services. They live as long as the process and are never
// deleted by the caller; both share one SMB session.
using SambaModuleEntryFunction = void (*)(NetManagement** netManagement, Registry** registry);

}  // namespace cairn
