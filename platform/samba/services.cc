#include "platform/samba/services.h"

#include <algorithm>
#include <map>
#include <string>
#include <string_view>
#include <utility>

#include "platform/common/utf.h"
#include "platform/samba/host_name.h"
#include "platform/samba/rpc_calls.h"
#include "platform/samba/text_data.h"

namespace cairn {
namespace {

constexpr std::uint32_t MaximumAllowed = 0x02000000;  // MAXIMUM_ALLOWED
// The most value data one query asks for: the limit of winreg's QueryValue data.
constexpr std::uint32_t QueryCapacityLimit = 0x4000000;

// A WERROR the PC answered, or a code of the transport: both are Win32 codes, as statuses are.
Status asStatus(std::uint32_t code) {
  return static_cast<Status>(code);
}

// Opens the pipe and makes the call, unless the server path names no acceptable host: such a
// path fails like an unknown machine, without any traffic.
Status callHost(RpcTransport& transport, std::string_view serverPath, RpcPipe pipe,
                std::uint16_t opnum, const ndr::Bytes& request, ndr::Bytes& reply) {
  const std::string host = hostFromServerPath(serverPath);
  if (host.empty()) return StatusBadNetPath;
  return asStatus(transport.call(host, pipe, opnum, request, reply));
}

// A record of either query is the workstation record's names; a server record has none.
using Record = rpc::WkstaInfo102;

class RpcNetManagement final : public NetManagement {
 public:
  explicit RpcNetManagement(RpcTransport& transport) : transport_(transport) {}

  Status workstationInfo(const std::u16string& serverPath, NetRecord* record) override {
    ndr::Bytes reply;
    Status status = query(serverPath, RpcPipe::Wkssvc, rpc::NetrWkstaGetInfoOpnum,
                          rpc::encodeNetrWkstaGetInfo(serverPath), reply);
    rpc::WkstaInfo102 info;
    if (status == 0)
      status = asStatus(rpc::decodeNetrWkstaGetInfo(reply.data(), reply.size(), info));
    if (status != 0) return failed(status);
    *record = new Record(std::move(info));
    return StatusSuccess;
  }

  Status serverInfo(const std::u16string& serverPath, NetRecord* record) override {
    ndr::Bytes reply;
    Status status = query(serverPath, RpcPipe::Srvsvc, rpc::NetrServerGetInfoOpnum,
                          rpc::encodeNetrServerGetInfo(serverPath), reply);
    if (status == 0) status = asStatus(rpc::decodeNetrServerGetInfo(reply.data(), reply.size()));
    if (status != 0) return failed(status);
    *record = new Record;
    return StatusSuccess;
  }

  WorkstationNames workstationNames(NetRecord record) override {
    const auto* held = static_cast<const Record*>(record);
    if (held == nullptr) return {};
    return {held->hasComputerName ? held->computerName.c_str() : nullptr,
            held->hasLangroup ? held->langroup.c_str() : nullptr};
  }

  void freeBuffer(NetRecord record) override { delete static_cast<Record*>(record); }

 private:
  Status query(const std::u16string& serverPath, RpcPipe pipe, std::uint16_t opnum,
               const ndr::Bytes& request, ndr::Bytes& reply) {
    return callHost(transport_, utf16ToUtf8(serverPath.c_str()), pipe, opnum, request, reply);
  }

  // The check run retries a failed query once, and that second attempt must not inherit a
  // connection in whatever state made the first one fail.
  Status failed(Status status) {
    transport_.disconnect();
    return status;
  }

  RpcTransport& transport_;
};

class RpcRegistry final : public Registry {
 public:
  explicit RpcRegistry(RpcTransport& transport) : transport_(transport) {}

  Status connect(const std::string& machineName, RegKey* root) override {
    ndr::Bytes reply;
    Status status = callHost(transport_, machineName, RpcPipe::Winreg, rpc::OpenHKLMOpnum,
                             rpc::encodeOpenHKLM(MaximumAllowed), reply);
    return status != 0 ? status : keepHandle(reply, root);
  }

  Status openKey(RegKey parent, const std::string& subKey, std::uint32_t access,
                 RegKey* key) override {
    const rpc::PolicyHandle* parentHandle = find(parent);
    if (parentHandle == nullptr) return StatusInvalidHandle;
    ndr::Bytes reply;
    const Status status = asStatus(
        transport_.callOpen(RpcPipe::Winreg, rpc::OpenKeyOpnum,
                            rpc::encodeOpenKey(*parentHandle, utf8ToUtf16(subKey), access), reply));
    return status != 0 ? status : keepHandle(reply, key);
  }

  Status queryValue(RegKey key, const std::string& valueName, std::uint32_t* type,
                    unsigned char* data, std::uint32_t* size) override {
    const rpc::PolicyHandle* handle = find(key);
    if (handle == nullptr) return StatusInvalidHandle;
    if (size == nullptr) return StatusInvalidParameter;
    // Text values travel as UTF-16, which takes at most twice the bytes of its narrow form:
    // asking for twice the caller's room fetches every value that can fit.
    const std::uint32_t capacity = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(std::uint64_t{*size} * 2, QueryCapacityLimit));
    ndr::Bytes reply;
    Status status = asStatus(transport_.callOpen(
        RpcPipe::Winreg, rpc::QueryValueOpnum,
        rpc::encodeQueryValue(*handle, utf8ToUtf16(valueName), capacity), reply));
    if (status != 0) return status;
    rpc::QueryValueReply value;
    status = asStatus(rpc::decodeQueryValue(reply.data(), reply.size(), capacity, value));
    if (status == StatusMoreData) *size = value.dataSize;
    if (status != 0) return status;
    const ndr::Bytes narrow =
        isTextType(value.type) ? narrowFromWideBytes(value.data) : std::move(value.data);
    if (narrow.size() > *size) {
      *size = static_cast<std::uint32_t>(narrow.size());
      return StatusMoreData;
    }
    if (data != nullptr) std::copy(narrow.begin(), narrow.end(), data);
    *size = static_cast<std::uint32_t>(narrow.size());
    if (type != nullptr) *type = value.type;
    return StatusSuccess;
  }

  Status setValue(RegKey key, const std::string& valueName, std::uint32_t type,
                  const unsigned char* data, std::uint32_t size) override {
    const rpc::PolicyHandle* handle = find(key);
    if (handle == nullptr) return StatusInvalidHandle;
    const ndr::Bytes wire =
        isTextType(type) ? wideBytesFromNarrow(data, size) : ndr::Bytes(data, data + size);
    ndr::Bytes reply;
    const Status status = asStatus(
        transport_.callOpen(RpcPipe::Winreg, rpc::SetValueOpnum,
                            rpc::encodeSetValue(*handle, utf8ToUtf16(valueName), type, wire.data(),
                                                static_cast<std::uint32_t>(wire.size())),
                            reply));
    return status != StatusSuccess ? status
                                   : asStatus(rpc::decodeStatusReply(reply.data(), reply.size()));
  }

  Status deleteValue(RegKey key, const std::string& valueName) override {
    const rpc::PolicyHandle* handle = find(key);
    if (handle == nullptr) return StatusInvalidHandle;
    ndr::Bytes reply;
    const Status status = asStatus(
        transport_.callOpen(RpcPipe::Winreg, rpc::DeleteValueOpnum,
                            rpc::encodeDeleteValue(*handle, utf8ToUtf16(valueName)), reply));
    return status != StatusSuccess ? status
                                   : asStatus(rpc::decodeStatusReply(reply.data(), reply.size()));
  }

  void closeKey(RegKey key) override {
    const auto found = handles_.find(key);
    if (found == handles_.end()) return;
    ndr::Bytes reply;
    transport_.callOpen(RpcPipe::Winreg, rpc::CloseKeyOpnum, rpc::encodeCloseKey(found->second),
                        reply);
    handles_.erase(found);
  }

 private:
  Status keepHandle(const ndr::Bytes& reply, RegKey* key) {
    rpc::PolicyHandle handle;
    Status status = asStatus(rpc::decodeHandleReply(reply.data(), reply.size(), handle));
    if (status == 0 && handle.isNull()) status = StatusRpcBadStubData;
    if (status != 0) return status;
    const RegKey id = nextKey_++;
    handles_[id] = handle;
    *key = id;
    return StatusSuccess;
  }

  const rpc::PolicyHandle* find(RegKey key) const {
    const auto found = handles_.find(key);
    return found == handles_.end() ? nullptr : &found->second;
  }

  RpcTransport& transport_;
  std::map<RegKey, rpc::PolicyHandle> handles_;
  RegKey nextKey_ = 1;
};

}  // namespace

std::unique_ptr<NetManagement> makeRpcNetManagement(RpcTransport& transport) {
  return std::make_unique<RpcNetManagement>(transport);
}

std::unique_ptr<Registry> makeRpcRegistry(RpcTransport& transport) {
  return std::make_unique<RpcRegistry>(transport);
}

}  // namespace cairn
