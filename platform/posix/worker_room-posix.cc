// The open-file limit of a fleet run. The parent holds one pipe per running child, and every
// child is a fork that inherits those descriptors before it opens its own (sockets, the module's
// libraries, Samba's helper pipe, Kerberos files), so the soft limit must exceed the jobs by a
// check's own needs. A check that runs out of descriptors would otherwise fail on the admin's
// machine and look like a fact about the PC.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <cerrno>
#include <string>

#include "platform/common/unique_fd.h"

#include "platform/workers.h"

namespace cairn {
namespace {

// Descriptors beyond one per job: the standard streams, the signal descriptor, the list and
// record files in the parent, and what one check opens at once, with room to spare.
constexpr rlim_t DescriptorsBeyondJobs = 64;

}  // namespace

std::string makeRoomForWorkers(std::size_t jobs) {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return {};
  const rlim_t needed = static_cast<rlim_t>(jobs) + DescriptorsBeyondJobs;
  if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= needed) return {};
  const std::string need =
      "--jobs " + std::to_string(jobs) + " needs " + std::to_string(needed) + " open files, ";
  if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < needed)
    return need + "but the hard limit of open files (ulimit -Hn) is " +
           std::to_string(limit.rlim_max) + ": raise it, or give fewer jobs";
  limit.rlim_cur = needed;
  if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
    return need + "and the limit of open files (ulimit -n) could not be raised to that";
  return {};
}

bool localResourcesShort() {
  const auto short_ = [](int fd) {
    const UniqueFd held(fd);
    return !held && (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM);
  };
  return short_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) ||
         short_(::open("/dev/null", O_RDONLY | O_CLOEXEC));
}

}  // namespace cairn
