#include "platform/samba/kerberos_profile.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// Samba's Heimdal waits for a KDC in select() rounds of one second and checks its time-out
// after each, so one try lasts up to kdc_timeout + 1 s. A session set-up whose KDC is silent
// made two tries in measurements, so one second each keeps both within the 5 s set-up bound.
// max_retries bounds the same wait where the request goes over UDP. A profile read first wins
// for the settings it names.
constexpr std::string_view Profile =
    "[libdefaults]\n"
    "\tkdc_timeout = 1\n"
    "\tmax_retries = 1\n";

// What Samba's Heimdal reads when KRB5_CONFIG is not set.
constexpr std::string_view DefaultFiles = "~/.krb5/config:/etc/krb5.conf";

constexpr const char* ProfileVariable = "KRB5_CONFIG";

// An anonymous file of the process rather than a file on disk: nothing is left behind however
// the process ends, and a fleet worker forked later reads it through the same path, since
// /proc/self names each process's own descriptors. The descriptor stays open for the life of
// the process, because the library reads its configuration again for every context it makes.
int profileDescriptor() {
  const int fd = memfd_create("cairnmark-krb5.conf", MFD_CLOEXEC);
  if (fd < 0) return -1;
  if (write(fd, Profile.data(), Profile.size()) != static_cast<ssize_t>(Profile.size())) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

extern "C" void cairnLayerKerberosProfile(void) {
  static bool layered = false;
  if (layered) return;
  layered = true;
  const int fd = profileDescriptor();
  if (fd < 0) return;
  const char* given = std::getenv(ProfileVariable);
  const std::string files = "/proc/self/fd/" + std::to_string(fd) + ":" +
                            std::string(given != nullptr && *given != '\0' ? given : DefaultFiles);
  if (setenv(ProfileVariable, files.c_str(), 1) != 0) close(fd);
}
