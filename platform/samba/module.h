// The entry point that cairnmark-samba.so exports to the binary that loads it. Binary and
// module are built together from one tree, so the C++ interfaces may cross the boundary.
#pragma once

#include "platform/net_management.h"
#include "platform/registry.h"
#include "platform/samba/service_calls.h"

namespace cairn {

// The module's file name; the binary looks for it in its own directory.
inline constexpr const char* SambaModuleFile = "cairnmark-samba.so";
inline constexpr const char* SambaModuleEntry = "cairnmarkSambaBackends";

// The module's services over one SMB session, owned together.
class SambaBackends {
 public:
  virtual ~SambaBackends() = default;
  virtual NetManagement& netManagement() = 0;
  virtual Registry& registry() = 0;
  // Valid for the life of this object.
  virtual CairnServiceCalls serviceCalls() = 0;
};

// Makes a new SambaBackends; the caller owns it.
using SambaModuleEntryFunction = SambaBackends* (*)();

}  // namespace cairn
