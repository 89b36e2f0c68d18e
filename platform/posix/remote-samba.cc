// Network management, registry and service control through the Samba module, loaded the first time
// a run needs a remote service. Linking Samba's client into the binary would load over a hundred
// shared libraries at every start, also for runs that only show the usage text or fail resolution.
// Without the module every call fails with StatusModNotFound. Before the module is loaded, a call
// first makes the TCP connect to the PC's SMB port that the module would make first anyway: a
// PC that is not there then costs the connect attempt alone, without loading or initialising
// Samba's client, and fails with the status the module would have given.
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "platform/common/port_probe.h"
#include "platform/common/utf.h"
#include "platform/remote_services.h"
#include "platform/samba/backends.h"
#include "platform/status.h"

namespace cairn {
namespace {

// The module, loaded on the first call that needs it and shared by both services. A failed
// load is not retried. dlerror's text is never shown: the outcome is the calls' status alone.
class SambaModule {
 public:
  SambaBackends* backends() {
    if (!attempted_) {
      attempted_ = true;
      backends_ = load();
    }
    return backends_.get();
  }

  // StatusSuccess once the module is loaded; before, the probe's answer for the PC that a
  // server path ("\\NAME") names. A PC that answers loads the module, whose own connect then
  // starts with the same probe.
  Status reach(std::string_view serverPath) const {
    if (attempted_) return StatusSuccess;
    const std::string host(
        serverPath.substr(std::min(serverPath.find_first_not_of('\\'), serverPath.size())));
    return static_cast<Status>(
        cairnProbeTcpPort(host.c_str(), CairnSmbPort, CairnSmbConnectTimeoutMs));
  }

  // dlopen of the module, or null. A second open of the same path finds the module mapped.
  static void* openModule();

 private:
  // The module's path: next to the running binary (a build tree), else the installed module
  // directory relative to the binary's own directory (an installed tree, wherever its prefix).
  // Empty when neither holds it: then every remote call fails as for a PC that cannot be reached.
  static std::string modulePath() {
    std::string path(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) return {};
    path.resize(static_cast<std::size_t>(length));
    const std::string directory = path.substr(0, path.rfind('/') + 1);
    for (const std::string& candidate :
         {directory + CAIRN_SAMBA_MODULE_FILE,
          directory + CAIRNMARK_MODULE_DIR_FROM_BINARY + "/" + CAIRN_SAMBA_MODULE_FILE}) {
      if (access(candidate.c_str(), F_OK) == 0) return candidate;
    }
    return {};
  }

  // The module stays mapped for the life of the process: its objects outlive this loader's
  // callers' last use, and unloading Samba's libraries buys nothing before the process ends.
  // A module of another version is refused like a missing one.
  static std::unique_ptr<SambaBackends> load() {
    void* module = openModule();
    if (module == nullptr) return nullptr;
    const auto entry =
        reinterpret_cast<CairnSambaModuleEntry>(dlsym(module, CAIRN_SAMBA_MODULE_ENTRY));
    const CairnSambaModule* table = entry != nullptr ? entry() : nullptr;
    if (table == nullptr || table->version != CAIRN_SAMBA_MODULE_VERSION) return nullptr;
    return makeSambaBackends(*table);
  }

  bool attempted_ = false;
  std::unique_ptr<SambaBackends> backends_;
};

}  // namespace

void* SambaModule::openModule() {
  const std::string path = modulePath();
  return path.empty() ? nullptr : dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

namespace {

class LoadingNetManagement final : public NetManagement {
 public:
  explicit LoadingNetManagement(std::shared_ptr<SambaModule> module) : module_(std::move(module)) {}

  Status workstationInfo(const std::u16string& serverPath, NetRecord* record) override {
    if (const Status status = reach(serverPath)) return status;
    if (NetManagement* backend = loaded()) return backend->workstationInfo(serverPath, record);
    return StatusModNotFound;
  }
  Status serverInfo(const std::u16string& serverPath, NetRecord* record) override {
    if (const Status status = reach(serverPath)) return status;
    if (NetManagement* backend = loaded()) return backend->serverInfo(serverPath, record);
    return StatusModNotFound;
  }
  WorkstationNames workstationNames(NetRecord record) override {
    if (NetManagement* backend = loaded()) return backend->workstationNames(record);
    return {};
  }
  // Only a loaded module can have handed out a record, so a null record never loads it.
  void freeBuffer(NetRecord record) override {
    if (record == nullptr) return;
    if (NetManagement* backend = loaded()) backend->freeBuffer(record);
  }

 private:
  NetManagement* loaded() {
    SambaBackends* backends = module_->backends();
    return backends != nullptr ? &backends->netManagement() : nullptr;
  }
  Status reach(const std::u16string& serverPath) const {
    return module_->reach(utf16ToUtf8(serverPath.c_str()));
  }

  std::shared_ptr<SambaModule> module_;
};

class LoadingRegistry final : public Registry {
 public:
  explicit LoadingRegistry(std::shared_ptr<SambaModule> module) : module_(std::move(module)) {}

  Status connect(const std::string& machineName, RegKey* root) override {
    if (const Status status = module_->reach(machineName)) return status;
    if (Registry* backend = loaded()) return backend->connect(machineName, root);
    return StatusModNotFound;
  }
  Status openKey(RegKey parent, const std::string& subKey, std::uint32_t access,
                 RegKey* key) override {
    if (Registry* backend = loaded()) return backend->openKey(parent, subKey, access, key);
    return StatusModNotFound;
  }
  Status queryValue(RegKey key, const std::string& valueName, std::uint32_t* type,
                    unsigned char* data, std::uint32_t* size) override {
    if (Registry* backend = loaded()) return backend->queryValue(key, valueName, type, data, size);
    return StatusModNotFound;
  }
  Status setValue(RegKey key, const std::string& valueName, std::uint32_t type,
                  const unsigned char* data, std::uint32_t size) override {
    if (Registry* backend = loaded()) return backend->setValue(key, valueName, type, data, size);
    return StatusModNotFound;
  }
  Status deleteValue(RegKey key, const std::string& valueName) override {
    if (Registry* backend = loaded()) return backend->deleteValue(key, valueName);
    return StatusModNotFound;
  }
  void closeKey(RegKey key) override {
    if (Registry* backend = loaded()) backend->closeKey(key);
  }

 private:
  Registry* loaded() {
    SambaBackends* backends = module_->backends();
    return backends != nullptr ? &backends->registry() : nullptr;
  }

  std::shared_ptr<SambaModule> module_;
};

// Closing a handle, which only a loaded module can have handed out, never loads it.
class LoadingServiceControl final : public ServiceControl {
 public:
  explicit LoadingServiceControl(std::shared_ptr<SambaModule> module)
      : module_(std::move(module)) {}

  Status openSCManager(const std::string& machineName, std::uint32_t desiredAccess,
                       ScHandle* manager) override {
    if (ServiceControl* backend = loaded())
      return backend->openSCManager(machineName, desiredAccess, manager);
    return StatusModNotFound;
  }
  Status openService(ScHandle manager, const std::string& serviceName, std::uint32_t desiredAccess,
                     ScHandle* service) override {
    if (ServiceControl* backend = loaded())
      return backend->openService(manager, serviceName, desiredAccess, service);
    return StatusModNotFound;
  }
  Status queryServiceStatusEx(ScHandle service, ServiceStatusProcess* status) override {
    if (ServiceControl* backend = loaded()) return backend->queryServiceStatusEx(service, status);
    return StatusModNotFound;
  }
  Status queryServiceConfig(ScHandle service, std::uint32_t bufferSize, ServiceConfig* config,
                            std::uint32_t* bytesNeeded) override {
    if (ServiceControl* backend = loaded())
      return backend->queryServiceConfig(service, bufferSize, config, bytesNeeded);
    return StatusModNotFound;
  }
  Status changeServiceConfig(ScHandle service, std::uint32_t startType) override {
    if (ServiceControl* backend = loaded()) return backend->changeServiceConfig(service, startType);
    return StatusModNotFound;
  }
  Status startService(ScHandle service) override {
    if (ServiceControl* backend = loaded()) return backend->startService(service);
    return StatusModNotFound;
  }
  Status controlService(ScHandle service, std::uint32_t control, ServiceStatus* status) override {
    if (ServiceControl* backend = loaded())
      return backend->controlService(service, control, status);
    return StatusModNotFound;
  }
  void closeServiceHandle(ScHandle handle) override {
    if (handle == 0) return;
    if (ServiceControl* backend = loaded()) backend->closeServiceHandle(handle);
  }

 private:
  ServiceControl* loaded() {
    SambaBackends* backends = module_->backends();
    return backends != nullptr ? &backends->serviceControl() : nullptr;
  }

  std::shared_ptr<SambaModule> module_;
};

}  // namespace

void preloadRemoteServices() {
  SambaModule::openModule();  // kept mapped for the life of the process
}

RemoteServices makeSystemRemoteServices() {
  const auto module = std::make_shared<SambaModule>();
  return {std::make_unique<LoadingNetManagement>(module), std::make_unique<LoadingRegistry>(module),
          std::make_unique<LoadingServiceControl>(module)};
}

}  // namespace cairn
