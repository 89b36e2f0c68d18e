// Network management and registry through the Samba module, loaded the first time a run needs
// a remote service. Linking Samba's client into the binary would load over a hundred shared
// libraries at every start, also for runs that only show the usage text or fail resolution.
// Without the module every call fails as it would for a PC that cannot be reached.
#include <dlfcn.h>
#include <unistd.h>

#include <string>

#include "platform/net_management.h"
#include "platform/registry.h"
#include "platform/samba/module.h"

namespace cairn {
namespace {

constexpr std::uint32_t BadNetPath = 53;  // ERROR_BAD_NETPATH

struct SambaServices {
  NetManagement* netManagement = nullptr;
  Registry* registry = nullptr;
};

// The module's path: next to the running binary, wherever it was started from.
std::string modulePath() {
  std::string path(4096, '\0');
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) return {};
  path.resize(static_cast<std::size_t>(length));
  return path.substr(0, path.rfind('/') + 1) + SambaModuleFile;
}

// Loads the module once per process; a failed load is not retried. dlerror's text is never
// shown: the outcome is the calls' failure status alone.
const SambaServices& sambaServices() {
  static const SambaServices services = [] {
    SambaServices loaded;
    const std::string path = modulePath();
    if (path.empty()) return loaded;
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) return loaded;
    const auto entry = reinterpret_cast<SambaModuleEntryFunction>(dlsym(module, SambaModuleEntry));
    if (entry == nullptr) return loaded;
    entry(&loaded.netManagement, &loaded.registry);
    return loaded;
  }();
  return services;
}

class LoadingNetManagement final : public NetManagement {
 public:
  std::uint32_t workstationInfo(const std::u16string& serverPath, NetRecord* record) override {
    NetManagement* backend = sambaServices().netManagement;
    return backend != nullptr ? backend->workstationInfo(serverPath, record) : BadNetPath;
  }
  std::uint32_t serverInfo(const std::u16string& serverPath, NetRecord* record) override {
    NetManagement* backend = sambaServices().netManagement;
    return backend != nullptr ? backend->serverInfo(serverPath, record) : BadNetPath;
  }
  WorkstationNames workstationNames(NetRecord record) override {
    NetManagement* backend = sambaServices().netManagement;
    return backend != nullptr ? backend->workstationNames(record) : WorkstationNames{};
  }
  // Only a loaded module can have handed out a record, so a null record never loads it.
  void freeBuffer(NetRecord record) override {
    if (record == nullptr) return;
    if (NetManagement* backend = sambaServices().netManagement) backend->freeBuffer(record);
  }
};

class LoadingRegistry final : public Registry {
 public:
  std::uint32_t connect(const std::string& machineName, RegKey* root) override {
    Registry* backend = sambaServices().registry;
    return backend != nullptr ? backend->connect(machineName, root) : BadNetPath;
  }
  std::uint32_t openKey(RegKey parent, const std::string& subKey, std::uint32_t access,
                        RegKey* key) override {
    Registry* backend = sambaServices().registry;
    return backend != nullptr ? backend->openKey(parent, subKey, access, key) : BadNetPath;
  }
  std::uint32_t queryValue(RegKey key, const std::string& valueName, std::uint32_t* type,
                           unsigned char* data, std::uint32_t* size) override {
    Registry* backend = sambaServices().registry;
    return backend != nullptr ? backend->queryValue(key, valueName, type, data, size) : BadNetPath;
  }
  std::uint32_t setValue(RegKey key, const std::string& valueName, std::uint32_t type,
                         const unsigned char* data, std::uint32_t size) override {
    Registry* backend = sambaServices().registry;
    return backend != nullptr ? backend->setValue(key, valueName, type, data, size) : BadNetPath;
  }
  void closeKey(RegKey key) override {
    if (Registry* backend = sambaServices().registry) backend->closeKey(key);
  }
};

}  // namespace

std::unique_ptr<NetManagement> makeSystemNetManagement() {
  return std::make_unique<LoadingNetManagement>();
}

std::unique_ptr<Registry> makeSystemRegistry() {
  return std::make_unique<LoadingRegistry>();
}

}  // namespace cairn
