// Registry text data between the narrow code page of the caller (UTF-8 on Linux) and the
// UTF-16LE bytes that winreg carries, as the ANSI registry functions convert it on Windows.
#pragma once

#include <cstdint>

#include "platform/samba/ndr.h"

namespace cairn {

// REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ: the types whose data the ANSI functions convert.
bool isTextType(std::uint32_t type);

// UTF-16LE bytes to narrow text. Zero units stay zero bytes, so the terminator and the
// separators of a multi-string survive; an odd last byte is dropped.
ndr::Bytes narrowFromWideBytes(const ndr::Bytes& wide);

// Narrow bytes to UTF-16LE. Zero bytes become zero units, so "ABC" with its NUL (4 bytes)
// becomes 8 bytes.
ndr::Bytes wideBytesFromNarrow(const unsigned char* narrow, std::uint32_t size);

}  // namespace cairn
