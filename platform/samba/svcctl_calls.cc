#include "platform/samba/svcctl_calls.h"

namespace cairn::rpc {
namespace {

constexpr std::uint32_t ServiceNoChange = 0xFFFFFFFF;  // SERVICE_NO_CHANGE
constexpr std::uint32_t StatusProcessInfo = 0;         // SC_STATUS_PROCESS_INFO
// The bound svcctl's IDL puts on QueryServiceConfigW's sizes.
constexpr std::uint32_t ConfigSizeLimit = 8192;

ndr::Writer withHandle(const PolicyHandle& handle) {
  ndr::Writer writer;
  writeHandle(writer, handle);
  return writer;
}

// SERVICE_STATUS, seven 32-bit fields.
void readStatus(ndr::Reader& reader, ServiceStatus& status) {
  status.serviceType = reader.u32();
  status.currentState = reader.u32();
  status.controlsAccepted = reader.u32();
  status.win32ExitCode = reader.u32();
  status.serviceSpecificExitCode = reader.u32();
  status.checkPoint = reader.u32();
  status.waitHint = reader.u32();
}

}  // namespace

ndr::Bytes encodeOpenSCManagerW(std::u16string_view machineName, std::uint32_t access) {
  ndr::Writer writer;
  writer.pointer(true);
  writer.string(machineName);
  writer.pointer(false);  // the database
  writer.u32(access);
  return writer.take();
}

ndr::Bytes encodeOpenServiceW(const PolicyHandle& manager, std::u16string_view serviceName,
                              std::uint32_t access) {
  ndr::Writer writer = withHandle(manager);
  writer.string(serviceName);
  writer.u32(access);
  return writer.take();
}

ndr::Bytes encodeQueryServiceStatusEx(const PolicyHandle& service) {
  ndr::Writer writer = withHandle(service);
  writer.u32(StatusProcessInfo);
  writer.u32(ServiceStatusProcessSize);
  return writer.take();
}

// The buffer is a conformant byte array of the size offered, holding SERVICE_STATUS_PROCESS.
std::uint32_t decodeQueryServiceStatusEx(const unsigned char* data, std::size_t size,
                                         ServiceStatusProcess& status) {
  status = {};
  ndr::Reader reader(data, size);
  const bool offered = reader.u32() == ServiceStatusProcessSize;
  if (!offered) reader.fail();
  const unsigned char* buffer = reader.take(ServiceStatusProcessSize);
  reader.u32();  // needed
  const std::uint32_t werror = reader.u32();
  if (buffer != nullptr) {
    ndr::Reader fields(buffer, ServiceStatusProcessSize);
    readStatus(fields, status);
    status.processId = fields.u32();
    status.serviceFlags = fields.u32();
  }
  return finishReply(reader, werror, offered);
}

ndr::Bytes encodeQueryServiceConfigW(const PolicyHandle& service, std::uint32_t offered) {
  ndr::Writer writer = withHandle(service);
  writer.u32(offered);
  return writer.take();
}

std::uint32_t decodeQueryServiceConfigW(const unsigned char* data, std::size_t size,
                                        ServiceConfig& config, std::uint32_t& needed) {
  config = {};
  ndr::Reader reader(data, size);
  config.serviceType = reader.u32();
  config.startType = reader.u32();
  config.errorControl = reader.u32();
  const bool executablePath = reader.pointer();
  const bool loadOrderGroup = reader.pointer();
  reader.u32();  // tag
  const bool dependencies = reader.pointer();
  const bool startName = reader.pointer();
  const bool displayName = reader.pointer();
  // The strings are read only to find the end of the structure: this program needs none.
  for (const bool present : {executablePath, loadOrderGroup, dependencies, startName, displayName})
    if (present) reader.string();
  needed = reader.u32();
  const std::uint32_t werror = reader.u32();
  return finishReply(reader, werror, needed <= ConfigSizeLimit);
}

ndr::Bytes encodeChangeServiceConfigW(const PolicyHandle& service, std::uint32_t startType) {
  ndr::Writer writer = withHandle(service);
  writer.u32(ServiceNoChange);  // type
  writer.u32(startType);
  writer.u32(ServiceNoChange);  // error control
  writer.pointer(false);        // binary path
  writer.pointer(false);        // load order group
  writer.pointer(false);        // tag
  writer.pointer(false);        // dependencies
  writer.u32(0);                // their size
  writer.pointer(false);        // start name
  writer.pointer(false);        // password
  writer.u32(0);                // its size
  writer.pointer(false);        // display name
  return writer.take();
}

std::uint32_t decodeChangeServiceConfigW(const unsigned char* data, std::size_t size) {
  ndr::Reader reader(data, size);
  if (reader.pointer()) reader.u32();  // the tag, which was not asked for
  const std::uint32_t werror = reader.u32();
  return finishReply(reader, werror, true);
}

ndr::Bytes encodeStartServiceW(const PolicyHandle& service) {
  ndr::Writer writer = withHandle(service);
  writer.u32(0);          // no arguments
  writer.pointer(false);  // and no array of them
  return writer.take();
}

ndr::Bytes encodeControlService(const PolicyHandle& service, std::uint32_t control) {
  ndr::Writer writer = withHandle(service);
  writer.u32(control);
  return writer.take();
}

std::uint32_t decodeControlService(const unsigned char* data, std::size_t size,
                                   ServiceStatus& status) {
  status = {};
  ndr::Reader reader(data, size);
  readStatus(reader, status);
  const std::uint32_t werror = reader.u32();
  return finishReply(reader, werror, true);
}

}  // namespace cairn::rpc
