// Byte fixtures written as hex text ("0a 0b ..."), for tests that compare wire bytes.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "platform/samba/ndr.h"

namespace cairn {

inline ndr::Bytes bytesOf(std::string_view hex) {
  ndr::Bytes bytes;
  std::string digits;
  for (const char c : hex)
    if (c != ' ' && c != '\n') digits.push_back(c);
  for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
    bytes.push_back(static_cast<unsigned char>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  return bytes;
}

inline std::string hexOf(const ndr::Bytes& bytes) {
  std::string text;
  char byte[4];
  for (const unsigned char b : bytes) {
    std::snprintf(byte, sizeof byte, "%02x", b);
    if (!text.empty()) text += ' ';
    text += byte;
  }
  return text;
}

}  // namespace cairn
