#include "platform/common/port_probe.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netdb.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include "platform/status.h"

/* The probe's edge: what the error of a failed connect means to the caller. A refusal is the
 * PC's answer; a machine out of descriptors or memory says nothing about the PC; every other
 * error leaves the machine unreached. */
static uint32_t statusOfConnectError(int error) {
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

static long long nowMs(void) {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (long long)now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

/* The connect's outcome once the socket is writable or the deadline has passed. */
static uint32_t awaitConnect(int socket, unsigned timeoutMs) {
  const long long deadline = nowMs() + timeoutMs;
  for (;;) {
    const long long left = deadline - nowMs();
    if (left <= 0) return statusOfConnectError(ETIMEDOUT);
    struct pollfd waiting = {socket, POLLOUT, 0};
    const int ready = poll(&waiting, 1, (int)left);
    if (ready < 0 && errno != EINTR) return statusOfConnectError(errno);
    if (ready > 0) break;
  }
  int error = 0;
  socklen_t size = sizeof error;
  if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
  return error != 0 ? statusOfConnectError(error) : StatusSuccess;
}

static uint32_t connectWithin(const struct sockaddr_in* address, unsigned timeoutMs) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return statusOfConnectError(errno);
  uint32_t status = StatusSuccess;
  if (connect(fd, (const struct sockaddr*)address, sizeof *address) != 0)
    status = errno == EINPROGRESS ? awaitConnect(fd, timeoutMs) : statusOfConnectError(errno);
  close(fd);
  return status;
}

uint32_t cairnProbeTcpPort(const char* host, uint16_t port, unsigned timeoutMs) {
  struct addrinfo hints;
  memset(&hints, 0, sizeof hints);
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  struct addrinfo* found = NULL;
  const int lookup = getaddrinfo(host, NULL, &hints, &found);
  if (lookup == EAI_MEMORY ||
      (lookup == EAI_SYSTEM && statusOfConnectError(errno) == StatusNoSystemResources))
    return StatusNoSystemResources;
  if (lookup != 0 || found == NULL) return StatusBadNetPath;
  struct sockaddr_in address;
  memcpy(&address, found->ai_addr, sizeof address);
  freeaddrinfo(found);
  address.sin_port = htons(port);
  return connectWithin(&address, timeoutMs);
}
