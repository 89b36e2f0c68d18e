#include "core/text.h"

namespace cairn {

char upperCaseByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte >= 'a' && byte <= 'z') return static_cast<char>(byte - 'a' + 'A');
  switch (byte) {
    case 132:
      return static_cast<char>(142);  // a umlaut
    case 148:
      return static_cast<char>(153);  // o umlaut
    case 129:
      return static_cast<char>(154);  // u umlaut
    case 130:
      return static_cast<char>(144);  // e acute
    case 164:
      return static_cast<char>(165);  // n tilde
    case 134:
      return static_cast<char>(143);  // a ring
    case 135:
      return static_cast<char>(128);  // c cedilla
    default:
      return c;
  }
}

std::string upperCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = upperCaseByte(c);
  return result;
}

std::string printableText(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 32 || byte == 127) c = '?';
  }
  return result;
}

std::string stripBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

}  // namespace cairn
