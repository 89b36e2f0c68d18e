// The entry point of cairnmark-samba.so: the DCE/RPC services over Samba's client, on one SMB
// session per process.
#include <cstdlib>
#include <memory>

#include "platform/samba/module.h"
#include "platform/samba/services.h"
#include "platform/samba/session.h"

namespace cairn {
namespace {

// Each connect attempt and each call gets its own deadline. The TCP connect to port 445 gets
// 2 s, room for one retransmitted SYN; the SMB negotiation, session set-up and pipe bind that
// follow a connect that succeeded get 5 s. The identity check makes two workstation attempts,
// so a machine that drops every packet ends the run after two TCP connect deadlines (4 s).
constexpr unsigned TcpConnectTimeoutMs = 2000;
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
    case RpcPipe::Svcctl:
      return CairnPipeSvcctl;
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

ServiceControl& services(void* context) {
  return *static_cast<ServiceControl*>(context);
}

void copy(const ServiceStatus& from, CairnServiceStatus* to) {
  *to = {from.serviceType,
         from.currentState,
         from.controlsAccepted,
         from.win32ExitCode,
         from.serviceSpecificExitCode,
         from.checkPoint,
         from.waitHint,
         0,
         0};
}

// The plain C face of a ServiceControl; the caller's outputs change only on success, and a
// short buffer's size.
const CairnServiceCalls ServiceCallTable = {
    nullptr,
    [](void* context, const char* machineName, std::uint32_t access, std::uint64_t* manager) {
      ScHandle handle = 0;
      const std::uint32_t status = services(context).openSCManager(machineName, access, &handle);
      if (status == 0) *manager = handle;
      return status;
    },
    [](void* context, std::uint64_t manager, const char* serviceName, std::uint32_t access,
       std::uint64_t* service) {
      ScHandle handle = 0;
      const std::uint32_t status =
          services(context).openService(manager, serviceName, access, &handle);
      if (status == 0) *service = handle;
      return status;
    },
    [](void* context, std::uint64_t service, CairnServiceStatus* status) {
      ServiceStatusProcess answered;
      const std::uint32_t result = services(context).queryServiceStatusEx(service, &answered);
      if (result == 0) {
        copy(answered, status);
        status->processId = answered.processId;
        status->serviceFlags = answered.serviceFlags;
      }
      return result;
    },
    [](void* context, std::uint64_t service, std::uint32_t bufferSize, CairnServiceConfig* config,
       std::uint32_t* bytesNeeded) {
      ServiceConfig answered;
      const std::uint32_t result =
          services(context).queryServiceConfig(service, bufferSize, &answered, bytesNeeded);
      if (result == 0) *config = {answered.serviceType, answered.startType, answered.errorControl};
      return result;
    },
    [](void* context, std::uint64_t service, std::uint32_t startType) {
      return services(context).changeServiceConfig(service, startType);
    },
    [](void* context, std::uint64_t service) { return services(context).startService(service); },
    [](void* context, std::uint64_t service, std::uint32_t control, CairnServiceStatus* status) {
      ServiceStatus answered;
      const std::uint32_t result = services(context).controlService(service, control, &answered);
      if (result == 0) copy(answered, status);
      return result;
    },
    [](void* context, std::uint64_t handle) { services(context).closeServiceHandle(handle); },
};

// Every service over the one transport they share.
class RpcBackends final : public SambaBackends {
 public:
  NetManagement& netManagement() override { return *netManagement_; }
  Registry& registry() override { return *registry_; }
  CairnServiceCalls serviceCalls() override {
    CairnServiceCalls calls = ServiceCallTable;
    calls.context = serviceControl_.get();
    return calls;
  }

 private:
  SambaTransport transport_;
  std::unique_ptr<NetManagement> netManagement_ = makeRpcNetManagement(transport_);
  std::unique_ptr<Registry> registry_ = makeRpcRegistry(transport_);
  std::unique_ptr<ServiceControl> serviceControl_ = makeRpcServiceControl(transport_);
};

}  // namespace
}  // namespace cairn

extern "C" __attribute__((visibility("default"))) cairn::SambaBackends* cairnmarkSambaBackends() {
  return new cairn::RpcBackends;
}
