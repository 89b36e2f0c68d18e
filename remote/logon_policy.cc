#include "remote/logon_policy.h"

#include <algorithm>
#include <array>

#include "core/text.h"

namespace cairn {
namespace {

constexpr std::uint32_t KeyRead = 0x20019;  // KEY_READ
constexpr std::uint32_t PolicyBufferSize = 1024;

}  // namespace

std::optional<std::string> readLogonPolicy(Registry& registry, const OpenRegKey& root) {
  OpenRegKey key(registry);
  if (key.open(root, LogonPolicyKeyPath, KeyRead) != StatusSuccess) return std::nullopt;
  std::array<unsigned char, PolicyBufferSize> buffer{};
  std::uint32_t type = 0;
  std::uint32_t size = PolicyBufferSize;
  const Status status =
      registry.queryValue(key.get(), LogonPolicyValueName, &type, buffer.data(), &size);
  if (status != StatusSuccess || type != RegSz) return std::nullopt;
  const auto end = std::find(buffer.begin(), buffer.begin() + std::min(size, PolicyBufferSize), 0);
  const std::string domain = upperCase(std::string(buffer.begin(), end));
  if (domain.empty()) return std::nullopt;
  return domain;
}

}  // namespace cairn
