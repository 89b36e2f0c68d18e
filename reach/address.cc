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

// Reads a field as C's atoi would: leading blanks, TABs and line feeds, an optional sign, then
// digits up to the first other character.
std::uint8_t fieldOctet(std::string_view field) {
  std::size_t i = 0;
  while (i < field.size() && (field[i] == ' ' || field[i] == '\t' || field[i] == '\n')) ++i;
  bool negative = false;
  if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
  std::uint32_t value = 0;
  for (; i < field.size() && isDecimalDigit(field[i]); ++i) value = value * 10u + (field[i] - '0');
  if (negative) value = 0u - value;
  return static_cast<std::uint8_t>(value & 0xFFu);
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
  for (auto& octet : octets) {
    const auto dot = text.find('.');
    octet = fieldOctet(text.substr(0, dot));
    text = dot == std::string_view::npos ? std::string_view{} : text.substr(dot + 1);
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
