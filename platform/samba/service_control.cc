// The service control manager over the svcctl pipe, on the SMB session the other pipes use.
#include <map>

#include "platform/common/utf.h"
#include "platform/samba/host_name.h"
#include "platform/samba/services.h"
#include "platform/samba/svcctl_calls.h"

namespace cairn {
namespace {

// A WERROR the PC answered, or a code of the transport: both are Win32 codes, as statuses are.
Status asStatus(std::uint32_t code) {
  return static_cast<Status>(code);
}

class RpcServiceControl final : public ServiceControl {
 public:
  explicit RpcServiceControl(RpcTransport& transport) : transport_(transport) {}

  // A server path that names no acceptable host fails like an unknown machine, without any
  // traffic. A connection lost earlier is replaced here, and only here: the handles of the
  // manager belong to the connection that issued them.
  Status openSCManager(const std::string& machineName, std::uint32_t desiredAccess,
                       ScHandle* manager) override {
    const std::string host = hostFromServerPath(machineName);
    if (host.empty()) return StatusBadNetPath;
    ndr::Bytes reply;
    const Status status = asStatus(
        transport_.call(host, RpcPipe::Svcctl, rpc::OpenSCManagerWOpnum,
                        rpc::encodeOpenSCManagerW(utf8ToUtf16(machineName), desiredAccess), reply));
    return status != 0 ? status : keepHandle(reply, manager);
  }

  Status openService(ScHandle manager, const std::string& serviceName, std::uint32_t desiredAccess,
                     ScHandle* service) override {
    const rpc::PolicyHandle* handle = find(manager);
    if (handle == nullptr) return StatusInvalidHandle;
    ndr::Bytes reply;
    const Status status =
        call(rpc::OpenServiceWOpnum,
             rpc::encodeOpenServiceW(*handle, utf8ToUtf16(serviceName), desiredAccess), reply);
    return status != 0 ? status : keepHandle(reply, service);
  }

  Status queryServiceStatusEx(ScHandle service, ServiceStatusProcess* status) override {
    const rpc::PolicyHandle* handle = find(service);
    if (handle == nullptr) return StatusInvalidHandle;
    ndr::Bytes reply;
    const Status failure =
        call(rpc::QueryServiceStatusExOpnum, rpc::encodeQueryServiceStatusEx(*handle), reply);
    if (failure != 0) return failure;
    ServiceStatusProcess answered;
    const Status result =
        asStatus(rpc::decodeQueryServiceStatusEx(reply.data(), reply.size(), answered));
    if (result == 0) *status = answered;
    return result;
  }

  Status queryServiceConfig(ScHandle service, std::uint32_t bufferSize, ServiceConfig* config,
                            std::uint32_t* bytesNeeded) override {
    const rpc::PolicyHandle* handle = find(service);
    if (handle == nullptr) return StatusInvalidHandle;
    ndr::Bytes reply;
    const Status failure = call(rpc::QueryServiceConfigWOpnum,
                                rpc::encodeQueryServiceConfigW(*handle, bufferSize), reply);
    if (failure != 0) return failure;
    ServiceConfig answered;
    std::uint32_t needed = 0;
    const Status result =
        asStatus(rpc::decodeQueryServiceConfigW(reply.data(), reply.size(), answered, needed));
    if (result == 0) *config = answered;
    if (result == StatusInsufficientBuffer) *bytesNeeded = needed;
    return result;
  }

  Status changeServiceConfig(ScHandle service, std::uint32_t startType) override {
    const rpc::PolicyHandle* handle = find(service);
    if (handle == nullptr) return StatusInvalidHandle;
    ndr::Bytes reply;
    const Status failure = call(rpc::ChangeServiceConfigWOpnum,
                                rpc::encodeChangeServiceConfigW(*handle, startType), reply);
    return failure != 0 ? failure
                        : asStatus(rpc::decodeChangeServiceConfigW(reply.data(), reply.size()));
  }

  Status startService(ScHandle service) override {
    const rpc::PolicyHandle* handle = find(service);
    if (handle == nullptr) return StatusInvalidHandle;
    ndr::Bytes reply;
    const Status failure = call(rpc::StartServiceWOpnum, rpc::encodeStartServiceW(*handle), reply);
    return failure != 0 ? failure : asStatus(rpc::decodeStatusReply(reply.data(), reply.size()));
  }

  Status controlService(ScHandle service, std::uint32_t control, ServiceStatus* status) override {
    const rpc::PolicyHandle* handle = find(service);
    if (handle == nullptr) return StatusInvalidHandle;
    ndr::Bytes reply;
    const Status failure =
        call(rpc::ControlServiceOpnum, rpc::encodeControlService(*handle, control), reply);
    if (failure != 0) return failure;
    ServiceStatus answered;
    const Status result = asStatus(rpc::decodeControlService(reply.data(), reply.size(), answered));
    if (result == 0) *status = answered;
    return result;
  }

  void closeServiceHandle(ScHandle handle) override {
    const auto found = handles_.find(handle);
    if (found == handles_.end()) return;
    ndr::Bytes reply;
    call(rpc::CloseServiceHandleOpnum, rpc::encodeCloseKey(found->second), reply);
    handles_.erase(found);
  }

 private:
  Status call(std::uint16_t opnum, const ndr::Bytes& request, ndr::Bytes& reply) {
    return asStatus(transport_.callOpen(RpcPipe::Svcctl, opnum, request, reply));
  }

  Status keepHandle(const ndr::Bytes& reply, ScHandle* handle) {
    rpc::PolicyHandle issued;
    Status status = asStatus(rpc::decodeHandleReply(reply.data(), reply.size(), issued));
    if (status == 0 && issued.isNull()) status = StatusRpcBadStubData;
    if (status != 0) return status;
    const ScHandle id = nextHandle_++;
    handles_[id] = issued;
    *handle = id;
    return StatusSuccess;
  }

  const rpc::PolicyHandle* find(ScHandle handle) const {
    const auto found = handles_.find(handle);
    return found == handles_.end() ? nullptr : &found->second;
  }

  RpcTransport& transport_;
  std::map<ScHandle, rpc::PolicyHandle> handles_;
  ScHandle nextHandle_ = 1;
};

}  // namespace

std::unique_ptr<ServiceControl> makeRpcServiceControl(RpcTransport& transport) {
  return std::make_unique<RpcServiceControl>(transport);
}

}  // namespace cairn
