// Network management through NETAPI32: the records are the platform's own level-102 records,
// released only by NetApiBufferFree.
#include <windows.h>
// windows.h first: the LAN Manager headers need its base types.
#include <lm.h>

#include "platform/net_management.h"
#include "platform/win32/remote_services-win32.h"

namespace cairn {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "LAN Manager texts are UTF-16");

LMSTR serverName(const std::u16string& serverPath) {
  // The calls take a non-const pointer but only read the name.
  return const_cast<LMSTR>(reinterpret_cast<const wchar_t*>(serverPath.c_str()));
}

class Win32NetManagement final : public NetManagement {
 public:
  Status workstationInfo(const std::u16string& serverPath, NetRecord* record) override {
    return static_cast<Status>(
        ::NetWkstaGetInfo(serverName(serverPath), 102, reinterpret_cast<LPBYTE*>(record)));
  }

  Status serverInfo(const std::u16string& serverPath, NetRecord* record) override {
    return static_cast<Status>(
        ::NetServerGetInfo(serverName(serverPath), 102, reinterpret_cast<LPBYTE*>(record)));
  }

  WorkstationNames workstationNames(NetRecord record) override {
    if (record == nullptr) return {};
    const auto* info = static_cast<const WKSTA_INFO_102*>(record);
    return {reinterpret_cast<const char16_t*>(info->wki102_computername),
            reinterpret_cast<const char16_t*>(info->wki102_langroup)};
  }

  void freeBuffer(NetRecord record) override {
    if (record != nullptr) ::NetApiBufferFree(record);
  }
};

}  // namespace

std::unique_ptr<NetManagement> makeWin32NetManagement() {
  return std::make_unique<Win32NetManagement>();
}

}  // namespace cairn
