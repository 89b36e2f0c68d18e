// Network management and registry for a build without a remote backend: every call fails as
// it would for a PC that cannot be reached, so a run ends with the identity check's failure.
#include "platform/net_management.h"
#include "platform/registry.h"

namespace cairn {
namespace {

constexpr std::uint32_t BadNetPath = 53;  // ERROR_BAD_NETPATH

class UnavailableNetManagement final : public NetManagement {
 public:
  std::uint32_t workstationInfo(const std::u16string&, NetRecord*) override { return BadNetPath; }
  std::uint32_t serverInfo(const std::u16string&, NetRecord*) override { return BadNetPath; }
  WorkstationNames workstationNames(NetRecord) override { return {}; }
  void freeBuffer(NetRecord) override {}
};

class UnavailableRegistry final : public Registry {
 public:
  std::uint32_t connect(const std::string&, RegKey*) override { return BadNetPath; }
  std::uint32_t openKey(RegKey, const std::string&, std::uint32_t, RegKey*) override {
    return BadNetPath;
  }
  std::uint32_t queryValue(RegKey, const std::string&, std::uint32_t*, unsigned char*,
                           std::uint32_t*) override {
    return BadNetPath;
  }
  std::uint32_t setValue(RegKey, const std::string&, std::uint32_t, const unsigned char*,
                         std::uint32_t) override {
    return BadNetPath;
  }
  void closeKey(RegKey) override {}
};

}  // namespace

std::unique_ptr<NetManagement> makeSystemNetManagement() {
  return std::make_unique<UnavailableNetManagement>();
}

std::unique_ptr<Registry> makeSystemRegistry() { return std::make_unique<UnavailableRegistry>(); }

}  // namespace cairn
