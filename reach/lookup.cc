#include "reach/lookup.h"

namespace cairn {
namespace {

bool started(Sockets& sockets) {
  const SocketsStartup startup = sockets.startup(SocketsVersion);
  return startup.status == StatusSuccess && (startup.grantedVersion & 0xFFu) == 2;
}

}  // namespace

std::uint32_t lookupHostAddress(Sockets& sockets, const std::string& name) {
  const std::uint32_t address = started(sockets) ? sockets.hostByName(name) : 0;
  sockets.cleanup();
  return address;
}

std::string lookupHostName(Sockets& sockets, std::uint32_t address) {
  std::string name;
  if (started(sockets))
    name = address == 0 ? sockets.localHostName() : sockets.hostByAddress(address);
  sockets.cleanup();
  return name;
}

}  // namespace cairn
