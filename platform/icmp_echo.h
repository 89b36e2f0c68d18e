// ICMP echo: address conversion and one echo request per call.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/status.h"

namespace cairn {

using IcmpHandle = std::uintptr_t;
inline constexpr IcmpHandle InvalidIcmpHandle = ~IcmpHandle{0};

// The all-ones address that the address conversion answers for a text that is no address.
inline constexpr std::uint32_t InaddrNone = 0xFFFFFFFFu;

struct EchoRequest {
  std::uint32_t destination = 0;  // network byte order
  std::uint16_t dataSize = 0;     // request data bytes (none are ever sent)
  std::uint8_t ttl = 0;
  std::uint8_t tos = 0;
  std::uint8_t flags = 0;
  std::uint32_t timeoutMs = 0;
};

// What one echo request gave: the number of replies received and, when there is one, the
// status of the first reply (0 = echo reply); with no reply, the error code of the request
// (StatusIpReqTimedOut, StatusIpGeneralFailure, or StatusSuccess when the platform gave none).
struct EchoResult {
  std::uint32_t replyCount = 0;
  Status status = StatusSuccess;
};

class IcmpEcho {
 public:
  virtual ~IcmpEcho() = default;

  // inet_addr: dotted text to an address in network byte order, InaddrNone for no address.
  virtual std::uint32_t inetAddr(const std::string& text) = 0;

  // IcmpCreateFile: InvalidIcmpHandle when no handle can be opened.
  virtual IcmpHandle createFile() = 0;

  // IcmpSendEcho: blocks until the reply or the request's time-out.
  virtual EchoResult sendEcho(IcmpHandle handle, const EchoRequest& request) = 0;

  // IcmpCloseHandle.
  virtual void closeHandle(IcmpHandle handle) = 0;
};

// An echo handle, made with the guard and closed once when it ends, if one was made.
class EchoHandle {
 public:
  explicit EchoHandle(IcmpEcho& icmp) : icmp_(icmp), handle_(icmp.createFile()) {}
  ~EchoHandle() {
    if (valid()) icmp_.closeHandle(handle_);
  }
  EchoHandle(const EchoHandle&) = delete;
  EchoHandle& operator=(const EchoHandle&) = delete;

  bool valid() const { return handle_ != InvalidIcmpHandle; }
  IcmpHandle get() const { return handle_; }

 private:
  IcmpEcho& icmp_;
  IcmpHandle handle_;
};

std::unique_ptr<IcmpEcho> makeSystemIcmpEcho();

}  // namespace cairn
