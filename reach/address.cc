#include "reach/address.h"

#include <array>
#include <cstring>

namespace cairn {
namespace {

bool isDecimalDigit(char c) {
  return c >= '0' && c <= '9';
}

bool isOctetField(std::string_view field) {
  if (field.empty() || field.size() > 3) return false;
  int value = 0;
  for (char c : field) {
    if (!isDecimalDigit(c)) return false;
    value = value * 10 + (c - '0');
  }
  return value <= 255;
}

}  // namespace

bool isDottedAddress(std::string_view text) {
  for (int field = 0; field < 4; ++field) {
    const auto dot = text.find('.');
    const bool lastField = field == 3;
    if ((dot == std::string_view::npos) != lastField) return false;
    if (!isOctetField(text.substr(0, dot))) return false;
    if (!lastField) text.remove_prefix(dot + 1);
  }
  return true;
}

std::uint32_t parseDottedAddress(std::string_view text) {
  std::array<std::uint8_t, 4> octets{};
  std::size_t field = 0;
  for (char c : text) {
    if (c == '.' && ++field == octets.size()) break;
    if (isDecimalDigit(c)) octets[field] = static_cast<std::uint8_t>(octets[field] * 10 + c - '0');
  }
  std::uint32_t address;
  std::memcpy(&address, octets.data(), sizeof address);
  return address;
}

std::string formatDottedAddress(std::uint32_t address) {
  std::array<std::uint8_t, 4> octets;
  std::memcpy(octets.data(), &address, sizeof address);
  std::string text;
  for (std::size_t i = 0; i < octets.size(); ++i) {
    if (i > 0) text.push_back('.');
    text += std::to_string(octets[i]);
  }
  return text;
}

}  // namespace cairn
