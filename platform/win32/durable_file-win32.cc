// Durable appends on Windows: a handle opened for FILE_APPEND_DATA alone writes each buffer whole
// at the end of the file, and FlushFileBuffers returns once the data is on the disk.
#include <windows.h>

#include <memory>

#include "platform/durable_file.h"

namespace cairn {
namespace {

struct HandleCloser {
  void operator()(HANDLE handle) const {
    if (handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
  }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

Status statusOfError(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return StatusAccessDenied;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return StatusFileNotFound;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return StatusDiskFull;
    default:
      return StatusWriteFault;
  }
}

}  // namespace

Status appendDurably(const std::string& path, std::string_view bytes) {
  const UniqueHandle file(::CreateFileA(path.c_str(), FILE_APPEND_DATA,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) return statusOfError(::GetLastError());
  if (!bytes.empty()) {
    DWORD written = 0;
    if (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
      return statusOfError(::GetLastError());
    if (written != bytes.size()) return StatusDiskFull;
  }
  if (!::FlushFileBuffers(file.get())) return statusOfError(::GetLastError());
  return StatusSuccess;
}

}  // namespace cairn
