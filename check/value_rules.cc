#include "check/value_rules.h"

#include "core/text.h"

namespace cairn {
namespace {

constexpr std::string_view ValueTrimSet = " \\.\"";

}  // namespace

std::string normalizeSwitchValue(std::string_view value) {
  const auto first = value.find_first_not_of(ValueTrimSet);
  if (first == std::string_view::npos) return {};
  const auto last = value.find_last_not_of(ValueTrimSet);
  return upperCase(value.substr(first, last - first + 1));
}

}  // namespace cairn
