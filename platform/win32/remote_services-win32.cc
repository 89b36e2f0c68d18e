// NETAPI32 and ADVAPI32 open their own connections per call, so the services share nothing.
#include "platform/win32/remote_services-win32.h"
#include "platform/remote_services.h"

namespace cairn {

// NETAPI32 and ADVAPI32 are linked in at start: there is nothing to load ahead.
void preloadRemoteServices() {}

RemoteServices makeSystemRemoteServices() {
  return {makeWin32NetManagement(), makeWin32Registry(), makeWin32ServiceControl()};
}

}  // namespace cairn
