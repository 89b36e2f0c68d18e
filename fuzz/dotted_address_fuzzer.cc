// The dotted-address check and both conversions on arbitrary text: whatever passes the check
// converts to an address whose dotted form passes again and converts back to the same address.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "reach/address.h"
#include "reach/target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::uint32_t lenient = cairn::parseDottedAddress(text);  // must never misbehave
  (void)cairn::classifyHostValue(text);
  (void)cairn::normalizeTargetDomain(text);
  if (!cairn::isDottedAddress(text)) return 0;
  const std::uint32_t address = cairn::parseDottedAddress(text);
  if (address != lenient) std::abort();
  const std::string dotted = cairn::formatDottedAddress(address);
  if (!cairn::isDottedAddress(dotted) || cairn::parseDottedAddress(dotted) != address) std::abort();
  if (text.size() > 15 || dotted.size() > text.size()) std::abort();
  return 0;
}
