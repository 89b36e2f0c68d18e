// The remote registry through ADVAPI32's ANSI calls. Handles travel through the logic as opaque
// integers; every status is the call's own.
#include <windows.h>

#include "platform/registry.h"
#include "platform/win32/remote_services-win32.h"

namespace cairn {
namespace {

HKEY keyOf(RegKey key) {
  return reinterpret_cast<HKEY>(key);
}

class Win32Registry final : public Registry {
 public:
  Status connect(const std::string& machineName, RegKey* root) override {
    HKEY connected = nullptr;
    const LONG status = ::RegConnectRegistryA(machineName.c_str(), HKEY_LOCAL_MACHINE, &connected);
    if (status == ERROR_SUCCESS) *root = reinterpret_cast<RegKey>(connected);
    return static_cast<Status>(status);
  }

  Status openKey(RegKey parent, const std::string& subKey, std::uint32_t access,
                 RegKey* key) override {
    HKEY opened = nullptr;
    const LONG status = ::RegOpenKeyExA(keyOf(parent), subKey.c_str(), 0, access, &opened);
    if (status == ERROR_SUCCESS) *key = reinterpret_cast<RegKey>(opened);
    return static_cast<Status>(status);
  }

  Status queryValue(RegKey key, const std::string& valueName, std::uint32_t* type,
                    unsigned char* data, std::uint32_t* size) override {
    DWORD valueType = 0;
    DWORD valueSize = *size;
    const LONG status =
        ::RegQueryValueExA(keyOf(key), valueName.c_str(), nullptr, &valueType, data, &valueSize);
    *type = valueType;
    *size = valueSize;
    return static_cast<Status>(status);
  }

  Status setValue(RegKey key, const std::string& valueName, std::uint32_t type,
                  const unsigned char* data, std::uint32_t size) override {
    return static_cast<Status>(
        ::RegSetValueExA(keyOf(key), valueName.c_str(), 0, type, data, size));
  }

  Status deleteValue(RegKey key, const std::string& valueName) override {
    return static_cast<Status>(::RegDeleteValueA(keyOf(key), valueName.c_str()));
  }

  void closeKey(RegKey key) override { ::RegCloseKey(keyOf(key)); }
};

}  // namespace

std::unique_ptr<Registry> makeWin32Registry() {
  return std::make_unique<Win32Registry>();
}

}  // namespace cairn
