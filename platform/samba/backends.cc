#include "platform/samba/backends.h"

#include <memory>

#include "platform/common/port_probe.h"
#include "platform/samba/services.h"

namespace cairn {
namespace {

// Each connect attempt and each call gets its own deadline. The TCP connect to port 445 gets
// 2 s, room for one retransmitted SYN; the SMB negotiation, session set-up and pipe bind that
// follow a connect that succeeded get 5 s. The identity check makes two workstation attempts,
// so a machine that drops every packet ends the run after two TCP connect deadlines (4 s).
constexpr unsigned TcpConnectTimeoutMs = CairnSmbConnectTimeoutMs;
constexpr unsigned SetupTimeoutMs = 5000;
constexpr unsigned CallTimeoutMs = 5000;

CairnPipe samba(RpcPipe pipe) {
  switch (pipe) {
    case RpcPipe::Wkssvc:
      return CairnPipeWkssvc;
    case RpcPipe::Srvsvc:
      return CairnPipeSrvsvc;
    case RpcPipe::Winreg:
      return CairnPipeWinreg;
    case RpcPipe::Svcctl:
      return CairnPipeSvcctl;
  }
  return CairnPipeWkssvc;
}

// The session is made on first use; a session that cannot be made leaves the module unusable.
class SambaTransport final : public RpcTransport {
 public:
  explicit SambaTransport(const CairnSambaModule& module) : module_(module) {}
  ~SambaTransport() override {
    if (session_ != nullptr) module_.destroy(session_);
  }
  SambaTransport(const SambaTransport&) = delete;
  SambaTransport& operator=(const SambaTransport&) = delete;

  std::uint32_t call(const std::string& host, RpcPipe pipe, std::uint16_t opnum,
                     const ndr::Bytes& request, ndr::Bytes& reply) override {
    CairnSession* s = session();
    if (s == nullptr) return StatusModNotFound;
    if (const std::uint32_t status =
            module_.openPipe(s, host.c_str(), samba(pipe), TcpConnectTimeoutMs, SetupTimeoutMs))
      return status;
    return callOpen(pipe, opnum, request, reply);
  }

  std::uint32_t callOpen(RpcPipe pipe, std::uint16_t opnum, const ndr::Bytes& request,
                         ndr::Bytes& reply) override {
    CairnSession* s = session();
    if (s == nullptr) return StatusModNotFound;
    std::uint8_t* out = nullptr;
    std::size_t outLength = 0;
    const std::uint32_t status = module_.call(s, samba(pipe), opnum, request.data(), request.size(),
                                              &out, &outLength, CallTimeoutMs);
    if (status == 0) reply.assign(out, out + outLength);
    if (out != nullptr) module_.freeReply(out);
    return status;
  }

  void disconnect() override {
    if (session_ != nullptr) module_.disconnect(session_);
  }

 private:
  CairnSession* session() {
    if (!created_) {
      created_ = true;
      session_ = module_.create(CairnCompositeStateError);
    }
    return session_;
  }

  const CairnSambaModule& module_;
  CairnSession* session_ = nullptr;
  bool created_ = false;
};

// Every service over the one transport they share.
class RpcBackends final : public SambaBackends {
 public:
  explicit RpcBackends(const CairnSambaModule& module) : transport_(module) {}
  NetManagement& netManagement() override { return *netManagement_; }
  Registry& registry() override { return *registry_; }
  ServiceControl& serviceControl() override { return *serviceControl_; }

 private:
  SambaTransport transport_;
  std::unique_ptr<NetManagement> netManagement_ = makeRpcNetManagement(transport_);
  std::unique_ptr<Registry> registry_ = makeRpcRegistry(transport_);
  std::unique_ptr<ServiceControl> serviceControl_ = makeRpcServiceControl(transport_);
};

}  // namespace

std::unique_ptr<SambaBackends> makeSambaBackends(const CairnSambaModule& module) {
  return std::make_unique<RpcBackends>(module);
}

}  // namespace cairn
