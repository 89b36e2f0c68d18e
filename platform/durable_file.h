// Appending to a file so that what was appended survives a crash or a power cut: the one write a
// journal makes before a PC is changed, which must be on the disk before the change is made.
#pragma once

#include <string>
#include <string_view>

#include "platform/status.h"

namespace cairn {

// Creates the file if need be and appends bytes in one write at its end (several processes may
// append to the same file at once, each text whole), then waits until the system has put them on
// the disk. StatusSuccess only once they are there; StatusAccessDenied, StatusFileNotFound (a
// folder missing), StatusDiskFull, or StatusWriteFault for any other failure.
Status appendDurably(const std::string& path, std::string_view bytes);

}  // namespace cairn
