// The entry point of cairnmark-samba.so: the DCE/RPC services over Samba's client, on one SMB
// session per process.
#include <cstdlib>
#include <memory>

#include "platform/common/port_probe.h"
#include "platform/samba/module.h"
#include "platform/samba/services.h"
#include "platform/samba/session.h"

namespace cairn {
namespace {

// Each connect attempt and each call gets its own deadline. The TCP connect to port 445 gets
// 2 s, room for one retransmitted SYN; the SMB negotiation, session set-up and pipe bind that
// follow a connect that succeeded get 5 s. The identity check makes two workstation attempts,
// so a machine that drops every packet ends the run after two TCP connect deadlines (4 s).
constexpr unsigned TcpConnectTimeoutMs = CairnSmbConnectTimeoutMs;
constexpr unsigned SetupTimeoutMs = 5000;
constexpr unsigned CallTimeoutMs = 5000;

struct SessionDeleter {
  void operator()(CairnSession* session) const { cairnSessionDestroy(session); }
};

CairnPipe samba(RpcPipe pipe) {
  switch (pipe) {
    case RpcPipe::Wkssvc:
      return CairnPipeWkssvc;
    case RpcPipe::Srvsvc:
      return CairnPipeSrvsvc;
    case RpcPipe::Winreg:
      return CairnPipeWinreg;
  }
  return CairnPipeWkssvc;
}

// The session is made on first use; a session that cannot be made leaves the module unusable.
class SambaTransport final : public RpcTransport {
 public:
  std::uint32_t call(const std::string& host, RpcPipe pipe, std::uint16_t opnum,
                     const ndr::Bytes& request, ndr::Bytes& reply) override {
    CairnSession* s = session();
    if (s == nullptr) return StatusModNotFound;
    if (const std::uint32_t status =
            cairnSessionOpenPipe(s, host.c_str(), samba(pipe), TcpConnectTimeoutMs, SetupTimeoutMs))
      return status;
    return callOpen(pipe, opnum, request, reply);
  }

  std::uint32_t callOpen(RpcPipe pipe, std::uint16_t opnum, const ndr::Bytes& request,
                         ndr::Bytes& reply) override {
    CairnSession* s = session();
    if (s == nullptr) return StatusModNotFound;
    std::uint8_t* out = nullptr;
    std::size_t outLength = 0;
    const std::uint32_t status = cairnSessionCall(s, samba(pipe), opnum, request.data(),
                                                  request.size(), &out, &outLength, CallTimeoutMs);
    const std::unique_ptr<std::uint8_t, decltype(&std::free)> owned(out, std::free);
    if (status == 0) reply.assign(out, out + outLength);
    return status;
  }

  void disconnect() override {
    if (session_ != nullptr) cairnSessionDisconnect(session_.get());
  }

 private:
  CairnSession* session() {
    if (!created_) {
      created_ = true;
      session_.reset(cairnSessionCreate(CairnCompositeStateError));
    }
    return session_.get();
  }

  std::unique_ptr<CairnSession, SessionDeleter> session_;
  bool created_ = false;
};

// Both services over the one transport they share.
class RpcBackends final : public SambaBackends {
 public:
  NetManagement& netManagement() override { return *netManagement_; }
  Registry& registry() override { return *registry_; }

 private:
  SambaTransport transport_;
  std::unique_ptr<NetManagement> netManagement_ = makeRpcNetManagement(transport_);
  std::unique_ptr<Registry> registry_ = makeRpcRegistry(transport_);
};

}  // namespace
}  // namespace cairn

extern "C" __attribute__((visibility("default"))) cairn::SambaBackends* cairnmarkSambaBackends() {
  return new cairn::RpcBackends;
}
