// Host resolver of the sockets layer, as the lookups use it: start-up, one query, clean-up.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/status.h"

namespace cairn {

// What a start-up request answers: StatusSuccess means started, and grantedVersion holds the
// version word the layer granted (major version in the low byte).
struct SocketsStartup {
  Status status = StatusSuccess;
  std::uint16_t grantedVersion = 0;
};

class Sockets {
 public:
  virtual ~Sockets() = default;

  // WSAStartup with the requested version word.
  virtual SocketsStartup startup(std::uint16_t requestedVersion) = 0;

  // gethostbyname: the first IPv4 address of the name in network byte order (its four bytes
  // in memory order are the octets as written), or 0 when the name has none.
  virtual std::uint32_t hostByName(const std::string& name) = 0;

  // gethostbyaddr for AF_INET: the official name of the address, or empty text.
  virtual std::string hostByAddress(std::uint32_t address) = 0;

  // gethostname: the local computer's host name, or empty text when it fails.
  virtual std::string localHostName() = 0;

  // WSACleanup; called after every lookup, also after a failed start-up.
  virtual void cleanup() = 0;
};

// One start-up of the sockets layer, cleaned up when the guard ends, also after a failed start.
class SocketsSession {
 public:
  SocketsSession(Sockets& sockets, std::uint16_t requestedVersion)
      : sockets_(sockets), startup_(sockets.startup(requestedVersion)) {}
  ~SocketsSession() { sockets_.cleanup(); }
  SocketsSession(const SocketsSession&) = delete;
  SocketsSession& operator=(const SocketsSession&) = delete;

  const SocketsStartup& startup() const { return startup_; }

 private:
  Sockets& sockets_;
  SocketsStartup startup_;
};

std::unique_ptr<Sockets> makeSystemSockets();

}  // namespace cairn
