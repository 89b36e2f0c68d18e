#include "platform/samba/host_name.h"

#include <algorithm>

namespace cairn {
namespace {

bool isHostCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || c == '.';
}

}  // namespace

std::string hostFromServerPath(std::string_view serverPath) {
  const auto start = serverPath.find_first_not_of('\\');
  if (start == std::string_view::npos) return {};
  const std::string_view host = serverPath.substr(start);
  if (!std::all_of(host.begin(), host.end(), isHostCharacter)) return {};
  return std::string(host);
}

}  // namespace cairn
