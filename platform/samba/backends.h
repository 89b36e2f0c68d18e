// Network management and registry over the transport of a loaded cairnmark-samba.so, on one SMB
// session per process. These live in the programs, not in the module: only the plain C table of
// platform/samba/module.h crosses dlopen.
#pragma once

#include <memory>

#include "platform/net_management.h"
#include "platform/registry.h"
#include "platform/samba/module.h"

namespace cairn {

// The two services over one SMB session, owned together.
class SambaBackends {
 public:
  virtual ~SambaBackends() = default;
  virtual NetManagement& netManagement() = 0;
  virtual Registry& registry() = 0;
};

// The services over module's transport; module must outlive them.
std::unique_ptr<SambaBackends> makeSambaBackends(const CairnSambaModule& module);

}  // namespace cairn
