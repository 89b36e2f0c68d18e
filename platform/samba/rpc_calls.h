// Request encoders and reply decoders of the seven DCE/RPC calls the Samba backend makes:
// wkssvc NetrWkstaGetInfo and srvsvc NetrServerGetInfo at level 102, and winreg OpenHKLM,
// OpenKey, QueryValue, SetValue and CloseKey.
//
// Every decoder takes the reply's stub data exactly as the remote machine sent it and answers
// a status: 0 when the reply is well formed and reports success, the reply's own WERROR when
// it is well formed and reports a failure, and StatusRpcBadStubData when it is truncated, longer
// than its contents, or inconsistent. Outputs are meaningful for status 0 (QueryValue also
// reports the value's size with a failure such as WERR_MORE_DATA). Decoders never read outside
// the given bytes and never allocate more than the reply holds.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/samba/ndr.h"
#include "platform/status.h"

namespace cairn::rpc {

inline constexpr std::uint32_t InfoLevel102 = 102;

// Operation numbers on their interfaces.
inline constexpr std::uint16_t NetrWkstaGetInfoOpnum = 0;
inline constexpr std::uint16_t NetrServerGetInfoOpnum = 21;
inline constexpr std::uint16_t OpenHKLMOpnum = 2;
inline constexpr std::uint16_t CloseKeyOpnum = 5;
inline constexpr std::uint16_t OpenKeyOpnum = 15;
inline constexpr std::uint16_t QueryValueOpnum = 17;
inline constexpr std::uint16_t SetValueOpnum = 22;
inline constexpr std::uint16_t DeleteValueOpnum = 8;

// A registry context handle as the server issued it (handle type and GUID, 20 bytes).
struct PolicyHandle {
  std::array<unsigned char, 20> bytes{};
  bool isNull() const;
};

// A request's first parameter when it is a context handle: aligned, then its 20 bytes.
void writeHandle(ndr::Writer& writer, const PolicyHandle& handle);

// The status a decoder answers once the reader has walked the whole reply: a malformed or
// inconsistent reply outweighs whatever WERROR it claims.
std::uint32_t finishReply(const ndr::Reader& reader, std::uint32_t werror, bool consistent);

// The strings of WKSTA_INFO_102; a null string pointer on the wire leaves its flag false.
struct WkstaInfo102 {
  std::u16string computerName;
  bool hasComputerName = false;
  std::u16string langroup;
  bool hasLangroup = false;
};

struct QueryValueReply {
  std::uint32_t type = 0;
  ndr::Bytes data;             // exactly the returned bytes (data_length of them)
  std::uint32_t dataSize = 0;  // the server's size: the value's length, also after WERR_MORE_DATA
};

ndr::Bytes encodeNetrWkstaGetInfo(std::u16string_view serverName);
std::uint32_t decodeNetrWkstaGetInfo(const unsigned char* data, std::size_t size,
                                     WkstaInfo102& info);

ndr::Bytes encodeNetrServerGetInfo(std::u16string_view serverName);
// Only the status counts: the record of SERVER_INFO_102 is checked for form alone.
std::uint32_t decodeNetrServerGetInfo(const unsigned char* data, std::size_t size);

ndr::Bytes encodeOpenHKLM(std::uint32_t accessMask);
ndr::Bytes encodeOpenKey(const PolicyHandle& parent, std::u16string_view keyName,
                         std::uint32_t accessMask);
ndr::Bytes encodeCloseKey(const PolicyHandle& handle);
// The reply of OpenHKLM, OpenKey and CloseKey: a handle and a WERROR. CloseKey answers a null
// handle on success, so rejecting a null handle after an open is left to the caller.
std::uint32_t decodeHandleReply(const unsigned char* data, std::size_t size, PolicyHandle& handle);

// Asks for at most capacity bytes of the value's data.
ndr::Bytes encodeQueryValue(const PolicyHandle& key, std::u16string_view valueName,
                            std::uint32_t capacity);
// capacity is what the request asked for: a reply carrying more data is inconsistent.
std::uint32_t decodeQueryValue(const unsigned char* data, std::size_t size, std::uint32_t capacity,
                               QueryValueReply& reply);

ndr::Bytes encodeSetValue(const PolicyHandle& key, std::u16string_view valueName,
                          std::uint32_t type, const unsigned char* data, std::uint32_t size);
// winreg DeleteValue: the key's handle and the value's name; its reply is a WERROR alone.
ndr::Bytes encodeDeleteValue(const PolicyHandle& key, std::u16string_view valueName);

// The reply of SetValue and DeleteValue: a WERROR alone.
std::uint32_t decodeStatusReply(const unsigned char* data, std::size_t size);

}  // namespace cairn::rpc
