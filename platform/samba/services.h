// Network management, registry and service control over DCE/RPC named pipes: the platform
// operations mapped onto wkssvc, srvsvc, winreg and svcctl calls. The pipes themselves sit behind
// RpcTransport, which the Samba module implements with Samba's client and the tests with
// scripted replies.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/net_management.h"
#include "platform/registry.h"
#include "platform/samba/ndr.h"
#include "platform/service_control.h"
#include "platform/status.h"

namespace cairn {

enum class RpcPipe { Wkssvc, Srvsvc, Winreg, Svcctl };

class RpcTransport {
 public:
  virtual ~RpcTransport() = default;

  // Opens the pipe to host when it is not open yet (all pipes share one SMB session) and makes
  // one call. Status 0 means reply holds the reply's stub data; a failure is one of the statuses
  // of platform/status.h.
  virtual std::uint32_t call(const std::string& host, RpcPipe pipe, std::uint16_t opnum,
                             const ndr::Bytes& request, ndr::Bytes& reply) = 0;

  // One call on a pipe that must already be open. Registry handles belong to the connection
  // that issued them, so a lost connection must never be replaced silently under them.
  virtual std::uint32_t callOpen(RpcPipe pipe, std::uint16_t opnum, const ndr::Bytes& request,
                                 ndr::Bytes& reply) = 0;

  // Drops every pipe; the next call connects afresh.
  virtual void disconnect() = 0;
};

std::unique_ptr<NetManagement> makeRpcNetManagement(RpcTransport& transport);
std::unique_ptr<Registry> makeRpcRegistry(RpcTransport& transport);
std::unique_ptr<ServiceControl> makeRpcServiceControl(RpcTransport& transport);

}  // namespace cairn
