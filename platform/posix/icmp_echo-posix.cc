// ICMP echo on Linux: a datagram ping socket where net.ipv4.ping_group_range admits the caller,
// otherwise a raw socket (root or CAP_NET_RAW). Only a matching echo reply from the probed
// address counts; anything else is waited past until the time-out.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/common/unique_fd.h"
#include "platform/icmp_echo.h"

namespace cairn {
namespace {

constexpr std::uint8_t EchoReplyType = 0;
constexpr std::uint8_t EchoRequestType = 8;
constexpr std::size_t IcmpHeaderSize = 8;

struct PingSocket {
  UniqueFd fd;
  bool datagram;  // the kernel strips the IP header and owns the identifier
  std::uint16_t identifier;
  std::uint16_t sequence;
};

// The backend's edge: what a failed send or receive means to the caller. Windows answers
// IP_GENERAL_FAILURE at once for a request it cannot send (no route, a local firewall), and so
// does this backend, whatever the error.
Status statusOfSocketError(int) {
  return StatusIpGeneralFailure;
}

std::uint16_t checksum(const unsigned char* data, std::size_t size) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i + 1 < size; i += 2) sum += (data[i] << 8) | data[i + 1];
  if (size % 2 != 0) sum += data[size - 1] << 8;
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint16_t>(~sum);
}

// The ICMP message inside a received packet, or an empty view when the packet is malformed.
std::pair<const unsigned char*, std::size_t> icmpMessage(const PingSocket& socket,
                                                         const unsigned char* packet,
                                                         std::size_t size) {
  if (socket.datagram) return {packet, size};
  if (size < 20) return {nullptr, 0};
  const std::size_t headerSize = static_cast<std::size_t>(packet[0] & 0x0F) * 4;
  if (headerSize < 20 || headerSize > size || packet[9] != IPPROTO_ICMP) return {nullptr, 0};
  return {packet + headerSize, size - headerSize};
}

bool isOurReply(const PingSocket& socket, const unsigned char* packet, std::size_t size,
                const sockaddr_in& from, std::uint32_t destination) {
  if (from.sin_family != AF_INET || from.sin_addr.s_addr != destination) return false;
  const auto [message, length] = icmpMessage(socket, packet, size);
  if (message == nullptr || length < IcmpHeaderSize) return false;
  if (message[0] != EchoReplyType || message[1] != 0) return false;
  const std::uint16_t identifier = static_cast<std::uint16_t>((message[4] << 8) | message[5]);
  const std::uint16_t sequence = static_cast<std::uint16_t>((message[6] << 8) | message[7]);
  // A ping socket's identifier is rewritten by the kernel, which already filters on it.
  return sequence == socket.sequence && (socket.datagram || identifier == socket.identifier);
}

bool sendRequest(PingSocket& socket, const EchoRequest& request) {
  const int ttl = request.ttl;
  const int tos = request.tos;
  if (::setsockopt(socket.fd.get(), IPPROTO_IP, IP_TTL, &ttl, sizeof ttl) != 0) return false;
  if (::setsockopt(socket.fd.get(), IPPROTO_IP, IP_TOS, &tos, sizeof tos) != 0) return false;
  unsigned char message[IcmpHeaderSize] = {EchoRequestType, 0, 0, 0};
  message[4] = static_cast<unsigned char>(socket.identifier >> 8);
  message[5] = static_cast<unsigned char>(socket.identifier);
  message[6] = static_cast<unsigned char>(socket.sequence >> 8);
  message[7] = static_cast<unsigned char>(socket.sequence);
  const std::uint16_t sum = checksum(message, sizeof message);
  message[2] = static_cast<unsigned char>(sum >> 8);
  message[3] = static_cast<unsigned char>(sum);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = request.destination;
  return ::sendto(socket.fd.get(), message, sizeof message, 0, reinterpret_cast<sockaddr*>(&to),
                  sizeof to) == static_cast<ssize_t>(sizeof message);
}

EchoResult awaitReply(const PingSocket& socket, const EchoRequest& request) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(request.timeoutMs);
  unsigned char packet[1500];
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return {0, StatusIpReqTimedOut};
    pollfd waiting{socket.fd.get(), POLLIN, 0};
    const int ready = ::poll(&waiting, 1, static_cast<int>(left));
    if (ready < 0 && errno != EINTR) return {0, statusOfSocketError(errno)};
    if (ready <= 0) continue;
    sockaddr_in from{};
    socklen_t fromSize = sizeof from;
    const ssize_t received = ::recvfrom(socket.fd.get(), packet, sizeof packet, MSG_DONTWAIT,
                                        reinterpret_cast<sockaddr*>(&from), &fromSize);
    if (received < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      return {0, statusOfSocketError(errno)};
    }
    if (isOurReply(socket, packet, static_cast<std::size_t>(received), from, request.destination))
      return {1, StatusSuccess};
  }
}

class PosixIcmpEcho final : public IcmpEcho {
 public:
  std::uint32_t inetAddr(const std::string& text) override {
    in_addr address{};
    return ::inet_aton(text.c_str(), &address) != 0 ? address.s_addr : InaddrNone;
  }

  IcmpHandle createFile() override {
    bool datagram = true;
    UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP));
    if (!fd) {
      datagram = false;
      fd.reset(::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP));
    }
    if (!fd) return InvalidIcmpHandle;
    const auto identifier = static_cast<std::uint16_t>(::getpid() ^ (fd.get() << 8));
    return reinterpret_cast<IcmpHandle>(new PingSocket{std::move(fd), datagram, identifier, 1});
  }

  EchoResult sendEcho(IcmpHandle handle, const EchoRequest& request) override {
    auto& socket = *reinterpret_cast<PingSocket*>(handle);
    if (!sendRequest(socket, request)) return {0, statusOfSocketError(errno)};
    return awaitReply(socket, request);
  }

  void closeHandle(IcmpHandle handle) override { delete reinterpret_cast<PingSocket*>(handle); }
};

}  // namespace

std::unique_ptr<IcmpEcho> makeSystemIcmpEcho() {
  return std::make_unique<PosixIcmpEcho>();
}

}  // namespace cairn
