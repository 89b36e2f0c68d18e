// Request encoders and reply decoders of the svcctl calls that control a service: OpenSCManagerW,
// OpenServiceW, QueryServiceStatusEx, QueryServiceConfigW, ChangeServiceConfigW (start type
// only), StartServiceW and ControlService. CloseServiceHandle has the form of winreg's CloseKey,
// so encodeCloseKey and decodeHandleReply serve it, as they serve both opens' replies.
//
// Decoders follow the rules of rpc_calls.h: 0 for a well-formed success, the reply's own WERROR
// for a well-formed failure, StatusRpcBadStubData for anything truncated, longer than its
// contents or inconsistent, and never a read outside the given bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/samba/ndr.h"
#include "platform/samba/rpc_calls.h"
#include "platform/service_control.h"

namespace cairn::rpc {

inline constexpr std::uint16_t CloseServiceHandleOpnum = 0;
inline constexpr std::uint16_t ControlServiceOpnum = 1;
inline constexpr std::uint16_t ChangeServiceConfigWOpnum = 11;
inline constexpr std::uint16_t OpenSCManagerWOpnum = 15;
inline constexpr std::uint16_t OpenServiceWOpnum = 16;
inline constexpr std::uint16_t QueryServiceConfigWOpnum = 17;
inline constexpr std::uint16_t StartServiceWOpnum = 19;
inline constexpr std::uint16_t QueryServiceStatusExOpnum = 40;

// The size of SERVICE_STATUS_PROCESS, which QueryServiceStatusEx is always offered.
inline constexpr std::uint32_t ServiceStatusProcessSize = 36;

// The active database (a null name), as ADVAPI32 asks for it.
ndr::Bytes encodeOpenSCManagerW(std::u16string_view machineName, std::uint32_t access);
ndr::Bytes encodeOpenServiceW(const PolicyHandle& manager, std::u16string_view serviceName,
                              std::uint32_t access);

// At level SC_STATUS_PROCESS_INFO, offering ServiceStatusProcessSize bytes.
ndr::Bytes encodeQueryServiceStatusEx(const PolicyHandle& service);
std::uint32_t decodeQueryServiceStatusEx(const unsigned char* data, std::size_t size,
                                         ServiceStatusProcess& status);

ndr::Bytes encodeQueryServiceConfigW(const PolicyHandle& service, std::uint32_t offered);
// needed is the server's size, meaningful with StatusInsufficientBuffer too.
std::uint32_t decodeQueryServiceConfigW(const unsigned char* data, std::size_t size,
                                        ServiceConfig& config, std::uint32_t& needed);

// SERVICE_NO_CHANGE for the service type and error control, null for every string and the tag.
ndr::Bytes encodeChangeServiceConfigW(const PolicyHandle& service, std::uint32_t startType);
std::uint32_t decodeChangeServiceConfigW(const unsigned char* data, std::size_t size);

// Without arguments; the reply is a WERROR alone (decodeStatusReply).
ndr::Bytes encodeStartServiceW(const PolicyHandle& service);

ndr::Bytes encodeControlService(const PolicyHandle& service, std::uint32_t control);
std::uint32_t decodeControlService(const unsigned char* data, std::size_t size,
                                   ServiceStatus& status);

}  // namespace cairn::rpc
