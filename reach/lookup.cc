#include "reach/lookup.h"

namespace cairn {
namespace {

bool started(const SocketsSession& session) {
  const SocketsStartup& startup = session.startup();
  return startup.status == StatusSuccess && (startup.grantedVersion & 0xFFu) == 2;
}

}  // namespace

std::uint32_t lookupHostAddress(Sockets& sockets, const std::string& name) {
  const SocketsSession session(sockets, SocketsVersion);
  return started(session) ? sockets.hostByName(name) : 0;
}

std::string lookupHostName(Sockets& sockets, std::uint32_t address) {
  const SocketsSession session(sockets, SocketsVersion);
  if (!started(session)) return {};
  return address == 0 ? sockets.localHostName() : sockets.hostByAddress(address);
}

}  // namespace cairn
