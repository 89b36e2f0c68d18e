// The host resolver of Windows Sockets. Each lookup of the logic brackets its query with its own
// start-up and clean-up, so this backend keeps no state between calls.
#include <winsock2.h>

#include <cstring>

#include "platform/sockets.h"

namespace cairn {
namespace {

// gethostname's buffer: 256 bytes, and the name is the text up to the first NUL among them.
constexpr int HostNameBufferSize = 256;

class Win32Sockets final : public Sockets {
 public:
  SocketsStartup startup(std::uint16_t requestedVersion) override {
    WSADATA data{};
    const int status = ::WSAStartup(requestedVersion, &data);
    return {static_cast<Status>(status), status == 0 ? data.wVersion : std::uint16_t{0}};
  }

  std::uint32_t hostByName(const std::string& name) override {
    const hostent* entry = ::gethostbyname(name.c_str());
    if (entry == nullptr || entry->h_addr_list == nullptr || entry->h_addr_list[0] == nullptr)
      return 0;
    std::uint32_t address = 0;
    std::memcpy(&address, entry->h_addr_list[0], sizeof address);
    return address;
  }

  std::string hostByAddress(std::uint32_t address) override {
    const hostent* entry =
        ::gethostbyaddr(reinterpret_cast<const char*>(&address), sizeof address, AF_INET);
    if (entry == nullptr || entry->h_name == nullptr) return {};
    return entry->h_name;
  }

  std::string localHostName() override {
    char name[HostNameBufferSize + 1] = {};
    if (::gethostname(name, HostNameBufferSize) != 0) return {};
    return std::string(name, ::strnlen(name, HostNameBufferSize));
  }

  void cleanup() override { ::WSACleanup(); }
};

}  // namespace

std::unique_ptr<Sockets> makeSystemSockets() {
  return std::make_unique<Win32Sockets>();
}

}  // namespace cairn
