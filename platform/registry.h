// Remote registry: connect to a machine's local-machine root, open a key, read, write and delete
// a value, close.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/status.h"

namespace cairn {

using RegKey = std::uintptr_t;

inline constexpr std::uint32_t KeyAllAccess = 0xF003F;  // KEY_ALL_ACCESS
inline constexpr std::uint32_t RegSz = 1;               // REG_SZ
inline constexpr std::uint32_t RegExpandSz = 2;         // REG_EXPAND_SZ
inline constexpr std::uint32_t RegMultiSz = 7;          // REG_MULTI_SZ

class Registry {
 public:
  virtual ~Registry() = default;

  // RegConnectRegistryA for HKEY_LOCAL_MACHINE of the machine named by a narrow server path
  // ("\\NAME"). StatusSuccess means connected and *root set.
  virtual Status connect(const std::string& machineName, RegKey* root) = 0;

  // RegOpenKeyExA with options 0. StatusSuccess means opened and *key set.
  virtual Status openKey(RegKey parent, const std::string& subKey, std::uint32_t access,
                         RegKey* key) = 0;

  // RegQueryValueExA. Writes at most *size bytes to data, never more, and sets *size to the
  // value's length.
  virtual Status queryValue(RegKey key, const std::string& valueName, std::uint32_t* type,
                            unsigned char* data, std::uint32_t* size) = 0;

  // RegSetValueExA with reserved 0.
  virtual Status setValue(RegKey key, const std::string& valueName, std::uint32_t type,
                          const unsigned char* data, std::uint32_t size) = 0;

  // RegDeleteValueA: removes the value, so that a later read finds it missing.
  virtual Status deleteValue(RegKey key, const std::string& valueName) = 0;

  // RegCloseKey; the result is ignored.
  virtual void closeKey(RegKey key) = 0;
};

// A key held open: closed once when the guard ends, and only if it was opened. A key's guard is
// made after its parent's, so the key is closed before its root.
class OpenRegKey {
 public:
  explicit OpenRegKey(Registry& registry) : registry_(registry) {}
  ~OpenRegKey() {
    if (open_) registry_.closeKey(key_);
  }
  OpenRegKey(const OpenRegKey&) = delete;
  OpenRegKey& operator=(const OpenRegKey&) = delete;

  // Registry::connect into this guard.
  Status connect(const std::string& machineName) {
    return held(registry_.connect(machineName, &key_));
  }
  // Registry::openKey under parent into this guard.
  Status open(const OpenRegKey& parent, const std::string& subKey, std::uint32_t access) {
    return held(registry_.openKey(parent.key_, subKey, access, &key_));
  }
  RegKey get() const { return key_; }

 private:
  Status held(Status status) {
    open_ = status == StatusSuccess;
    return status;
  }

  Registry& registry_;
  RegKey key_ = 0;
  bool open_ = false;
};

}  // namespace cairn
