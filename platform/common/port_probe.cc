#include "platform/common/port_probe.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>

#include "platform/common/unique_fd.h"
#include "platform/status.h"

namespace cairn {
namespace {

// The probe's edge: what the error of a failed connect means to the caller. A refusal is the
// PC's answer; a machine out of descriptors or memory says nothing about the PC; every other
// error leaves the machine unreached.
std::uint32_t statusOfConnectError(int error) {
  switch (error) {
    case ECONNREFUSED:
      return StatusConnectionRefused;
    case EMFILE:
    case ENFILE:
    case ENOBUFS:
    case ENOMEM:
      return StatusNoSystemResources;
    default:
      return StatusBadNetPath;
  }
}

std::uint32_t connectWithin(const sockaddr_in& address, unsigned timeoutMs) {
  const UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!socket) return statusOfConnectError(errno);
  if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
    return StatusSuccess;
  if (errno != EINPROGRESS) return statusOfConnectError(errno);
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return statusOfConnectError(ETIMEDOUT);
    pollfd waiting{socket.get(), POLLOUT, 0};
    const int ready = ::poll(&waiting, 1, static_cast<int>(left));
    if (ready < 0 && errno != EINTR) return statusOfConnectError(errno);
    if (ready > 0) break;
  }
  int error = 0;
  socklen_t size = sizeof error;
  if (::getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
  if (error != 0) return statusOfConnectError(error);
  return StatusSuccess;
}

}  // namespace
}  // namespace cairn

extern "C" uint32_t cairnProbeTcpPort(const char* host, uint16_t port, unsigned timeoutMs) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int lookup = ::getaddrinfo(host, nullptr, &hints, &found);
  if (lookup == EAI_MEMORY ||
      (lookup == EAI_SYSTEM && cairn::statusOfConnectError(errno) == StatusNoSystemResources))
    return StatusNoSystemResources;
  if (lookup != 0 || found == nullptr) return StatusBadNetPath;
  const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owned(found, ::freeaddrinfo);
  sockaddr_in address{};
  std::memcpy(&address, found->ai_addr, sizeof address);
  address.sin_port = htons(port);
  return cairn::connectWithin(address, timeoutMs);
}
