// The host a check addresses, as resolution found it: made by reach/, read by remote/.
#pragma once

#include <cstdint>
#include <string>

namespace cairn {

struct ResolvedTarget {
  std::string hostName;  // the name every remote step addresses
  std::uint32_t address = 0;
  std::string addressText;
};

}  // namespace cairn
