// ICMP echo through the IP Helper's ICMP interface.
// Order matters: each header needs the types of the one before it.
#include <winsock2.h>

#include <iphlpapi.h>

#include <icmpapi.h>

#include "platform/icmp_echo.h"

namespace cairn {
namespace {

// One echo-reply record of this build plus 8 bytes, the room IcmpSendEcho asks for beyond the
// reply data (there is none). The record is 28 bytes on 32-bit Windows but 40 on x64, so a
// buffer sized for the 32-bit record makes every request fail on x64.
constexpr DWORD ReplyBufferSize = sizeof(ICMP_ECHO_REPLY) + 8;

class Win32IcmpEcho final : public IcmpEcho {
 public:
  std::uint32_t inetAddr(const std::string& text) override {
    return static_cast<std::uint32_t>(::inet_addr(text.c_str()));
  }

  IcmpHandle createFile() override {
    const HANDLE handle = ::IcmpCreateFile();
    return handle == INVALID_HANDLE_VALUE ? InvalidIcmpHandle
                                          : reinterpret_cast<IcmpHandle>(handle);
  }

  EchoResult sendEcho(IcmpHandle handle, const EchoRequest& request) override {
    IP_OPTION_INFORMATION options{};
    options.Ttl = request.ttl;
    options.Tos = request.tos;
    options.Flags = request.flags;
    // No request data is ever sent, but the call wants a valid pointer for it.
    char requestData[1] = {};
    alignas(ICMP_ECHO_REPLY) unsigned char reply[ReplyBufferSize] = {};
    const DWORD replies =
        ::IcmpSendEcho(reinterpret_cast<HANDLE>(handle), request.destination, requestData,
                       request.dataSize, &options, reply, ReplyBufferSize, request.timeoutMs);
    // Without a reply the buffer may never have been written: the call's error code is the
    // attempt's status (IP_REQ_TIMED_OUT after the time-out, IP_GENERAL_FAILURE without a route).
    if (replies == 0) return {0, static_cast<Status>(::GetLastError())};
    return {replies, static_cast<Status>(reinterpret_cast<const ICMP_ECHO_REPLY*>(reply)->Status)};
  }

  void closeHandle(IcmpHandle handle) override {
    ::IcmpCloseHandle(reinterpret_cast<HANDLE>(handle));
  }
};

}  // namespace

std::unique_ptr<IcmpEcho> makeSystemIcmpEcho() {
  return std::make_unique<Win32IcmpEcho>();
}

}  // namespace cairn
