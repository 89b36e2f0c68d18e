// The entry point of cairnmark-samba.so: the DCE/RPC services over Samba's client, on one SMB
// session per process.
#include <cstdlib>

#include "platform/samba/module.h"
#include "platform/samba/services.h"
#include "platform/samba/session.h"

namespace cairn {
namespace {

// Each connect attempt and each call gets its own deadline. The identity check makes two
// workstation attempts, so a machine that drops every packet costs two connect deadlines
// (10 s) before the run ends.
constexpr unsigned ConnectTimeoutMs = 5000;
constexpr unsigned CallTimeoutMs = 5000;

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

// The session is made on first use and never torn down: the process ends right after the run,
// and Samba's libraries need no orderly shutdown.
class SambaTransport final : public RpcTransport {
 public:
  std::uint32_t call(const std::string& host, RpcPipe pipe, std::uint16_t opnum,
                     const ndr::Bytes& request, ndr::Bytes& reply) override {
    CairnSession* s = session();
    if (s == nullptr) return CairnStatusBadNetPath;
    if (const std::uint32_t status =
            cairnSessionOpenPipe(s, host.c_str(), samba(pipe), ConnectTimeoutMs))
      return status;
    return callOpen(pipe, opnum, request, reply);
  }

  std::uint32_t callOpen(RpcPipe pipe, std::uint16_t opnum, const ndr::Bytes& request,
                         ndr::Bytes& reply) override {
    CairnSession* s = session();
    if (s == nullptr) return CairnStatusBadNetPath;
    std::uint8_t* out = nullptr;
    std::size_t outLength = 0;
    const std::uint32_t status = cairnSessionCall(s, samba(pipe), opnum, request.data(),
                                                  request.size(), &out, &outLength, CallTimeoutMs);
    if (status == 0) reply.assign(out, out + outLength);
    std::free(out);
    return status;
  }

  void disconnect() override {
    if (session_ != nullptr) cairnSessionDisconnect(session_);
  }

 private:
  CairnSession* session() {
    if (!created_) {
      created_ = true;
      session_ = cairnSessionCreate();
    }
    return session_;
  }

  CairnSession* session_ = nullptr;
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
