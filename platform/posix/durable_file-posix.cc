// Durable appends on POSIX: O_APPEND makes each write land whole at the end of the file, and
// fsync returns once the data and the file's size are on the disk.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/common/unique_fd.h"
#include "platform/durable_file.h"

namespace cairn {
namespace {

Status statusOfErrno(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
      return StatusAccessDenied;
    case ENOENT:
    case ENOTDIR:
      return StatusFileNotFound;
    case ENOSPC:
    case EDQUOT:
      return StatusDiskFull;
    default:
      return StatusWriteFault;
  }
}

}  // namespace

Status appendDurably(const std::string& path, std::string_view bytes) {
  UniqueFd file(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
  if (!file) return statusOfErrno(errno);
  if (!bytes.empty()) {
    ssize_t written = -1;
    do {
      written = ::write(file.get(), bytes.data(), bytes.size());
    } while (written < 0 && errno == EINTR);
    if (written < 0) return statusOfErrno(errno);
    // A short write leaves part of a line: the caller learns that it did not get through.
    if (static_cast<std::size_t>(written) != bytes.size()) return StatusDiskFull;
  }
  if (::fsync(file.get()) != 0) return statusOfErrno(errno);
  return StatusSuccess;
}

}  // namespace cairn
