// The host resolver on a POSIX system: the C library's IPv4 lookups through nsswitch. There is
// no sockets layer to start, so start-up always grants version 2.0.
#include <arpa/inet.h>
#include <netdb.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/sockets.h"

namespace cairn {
namespace {

// Runs a reentrant lookup, growing its scratch buffer while the C library asks for more.
template <typename Lookup>
std::string withHostEntry(Lookup lookup, std::uint32_t* firstAddress) {
  std::vector<char> scratch(1024);
  while (scratch.size() <= (1u << 20)) {
    hostent entry{};
    hostent* result = nullptr;
    int error = 0;
    const int status = lookup(&entry, scratch.data(), scratch.size(), &result, &error);
    if (status == ERANGE) {
      scratch.resize(scratch.size() * 2);
      continue;
    }
    if (status != 0 || result == nullptr) return {};
    if (firstAddress != nullptr) {
      if (result->h_addrtype != AF_INET || result->h_length != 4 ||
          result->h_addr_list == nullptr || result->h_addr_list[0] == nullptr)
        return {};
      std::memcpy(firstAddress, result->h_addr_list[0], 4);
    }
    return result->h_name != nullptr ? std::string(result->h_name) : std::string{};
  }
  return {};
}

class PosixSockets final : public Sockets {
 public:
  SocketsStartup startup(std::uint16_t) override { return {StatusSuccess, 0x0002}; }

  std::uint32_t hostByName(const std::string& name) override {
    std::uint32_t address = 0;
    withHostEntry(
        [&](hostent* entry, char* buffer, std::size_t size, hostent** result, int* error) {
          return ::gethostbyname2_r(name.c_str(), AF_INET, entry, buffer, size, result, error);
        },
        &address);
    return address;
  }

  std::string hostByAddress(std::uint32_t address) override {
    return withHostEntry(
        [&](hostent* entry, char* buffer, std::size_t size, hostent** result, int* error) {
          return ::gethostbyaddr_r(&address, sizeof address, AF_INET, entry, buffer, size, result,
                                   error);
        },
        nullptr);
  }

  std::string localHostName() override {
    char name[257] = {};
    if (::gethostname(name, 256) != 0) return {};
    return std::string(name, ::strnlen(name, 256));
  }

  void cleanup() override {}
};

}  // namespace

std::unique_ptr<Sockets> makeSystemSockets() {
  return std::make_unique<PosixSockets>();
}

}  // namespace cairn
