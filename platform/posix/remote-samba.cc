// Network management, registry and service control through the Samba module, loaded the first time
// a run needs a remote service. Linking Samba's client into the binary would load over a hundred
// shared libraries at every start, also for runs that only show the usage text or fail resolution.
// Without the module every call fails with StatusModNotFound.
#include <dlfcn.h>
#include <unistd.h>

#include <string>

#include "platform/remote_services.h"
#include "platform/samba/module.h"
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
      backends_.reset(load());
    }
    return backends_.get();
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
         {directory + SambaModuleFile,
          directory + CAIRNMARK_MODULE_DIR_FROM_BINARY + "/" + SambaModuleFile}) {
      if (access(candidate.c_str(), F_OK) == 0) return candidate;
    }
    return {};
  }

  // The module stays mapped for the life of the process: its objects outlive this loader's
  // callers' last use, and unloading Samba's libraries buys nothing before the process ends.
  static SambaBackends* load() {
    void* module = openModule();
    if (module == nullptr) return nullptr;
    const auto entry = reinterpret_cast<SambaModuleEntryFunction>(dlsym(module, SambaModuleEntry));
    return entry != nullptr ? entry() : nullptr;
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

  std::uint32_t workstationInfo(const std::u16string& serverPath, NetRecord* record) override {
    if (NetManagement* backend = loaded()) return backend->workstationInfo(serverPath, record);
    return StatusModNotFound;
  }
  std::uint32_t serverInfo(const std::u16string& serverPath, NetRecord* record) override {
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

  std::shared_ptr<SambaModule> module_;
};

class LoadingRegistry final : public Registry {
 public:
  explicit LoadingRegistry(std::shared_ptr<SambaModule> module) : module_(std::move(module)) {}

  std::uint32_t connect(const std::string& machineName, RegKey* root) override {
    if (Registry* backend = loaded()) return backend->connect(machineName, root);
    return StatusModNotFound;
  }
  std::uint32_t openKey(RegKey parent, const std::string& subKey, std::uint32_t access,
                        RegKey* key) override {
    if (Registry* backend = loaded()) return backend->openKey(parent, subKey, access, key);
    return StatusModNotFound;
  }
  std::uint32_t queryValue(RegKey key, const std::string& valueName, std::uint32_t* type,
                           unsigned char* data, std::uint32_t* size) override {
    if (Registry* backend = loaded()) return backend->queryValue(key, valueName, type, data, size);
    return StatusModNotFound;
  }
  std::uint32_t setValue(RegKey key, const std::string& valueName, std::uint32_t type,
                         const unsigned char* data, std::uint32_t size) override {
    if (Registry* backend = loaded()) return backend->setValue(key, valueName, type, data, size);
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

// Without the module every call fails as the others do, and closing a handle, which only a
// loaded module can have handed out, does nothing.
class LoadingServiceControl final : public ServiceControl {
 public:
  explicit LoadingServiceControl(std::shared_ptr<SambaModule> module)
      : module_(std::move(module)) {}

  std::uint32_t openSCManager(const std::string& machineName, std::uint32_t desiredAccess,
                              ScHandle* manager) override {
    const CairnServiceCalls* calls = loaded();
    if (calls == nullptr) return StatusModNotFound;
    std::uint64_t handle = 0;
    const std::uint32_t status =
        calls->openSCManager(calls->context, machineName.c_str(), desiredAccess, &handle);
    if (status == 0) *manager = static_cast<ScHandle>(handle);
    return status;
  }
  std::uint32_t openService(ScHandle manager, const std::string& serviceName,
                            std::uint32_t desiredAccess, ScHandle* service) override {
    const CairnServiceCalls* calls = loaded();
    if (calls == nullptr) return StatusModNotFound;
    std::uint64_t handle = 0;
    const std::uint32_t status =
        calls->openService(calls->context, manager, serviceName.c_str(), desiredAccess, &handle);
    if (status == 0) *service = static_cast<ScHandle>(handle);
    return status;
  }
  std::uint32_t queryServiceStatusEx(ScHandle service, ServiceStatusProcess* status) override {
    const CairnServiceCalls* calls = loaded();
    if (calls == nullptr) return StatusModNotFound;
    CairnServiceStatus answered{};
    const std::uint32_t result = calls->queryServiceStatusEx(calls->context, service, &answered);
    if (result != 0) return result;
    copy(answered, status);
    status->processId = answered.processId;
    status->serviceFlags = answered.serviceFlags;
    return 0;
  }
  std::uint32_t queryServiceConfig(ScHandle service, std::uint32_t bufferSize,
                                   ServiceConfig* config, std::uint32_t* bytesNeeded) override {
    const CairnServiceCalls* calls = loaded();
    if (calls == nullptr) return StatusModNotFound;
    CairnServiceConfig answered{};
    const std::uint32_t result =
        calls->queryServiceConfig(calls->context, service, bufferSize, &answered, bytesNeeded);
    if (result == 0) *config = {answered.serviceType, answered.startType, answered.errorControl};
    return result;
  }
  std::uint32_t changeServiceConfig(ScHandle service, std::uint32_t startType) override {
    const CairnServiceCalls* calls = loaded();
    if (calls == nullptr) return StatusModNotFound;
    return calls->changeServiceConfig(calls->context, service, startType);
  }
  std::uint32_t startService(ScHandle service) override {
    const CairnServiceCalls* calls = loaded();
    if (calls == nullptr) return StatusModNotFound;
    return calls->startService(calls->context, service);
  }
  std::uint32_t controlService(ScHandle service, std::uint32_t control,
                               ServiceStatus* status) override {
    const CairnServiceCalls* calls = loaded();
    if (calls == nullptr) return StatusModNotFound;
    CairnServiceStatus answered{};
    const std::uint32_t result = calls->controlService(calls->context, service, control, &answered);
    if (result == 0) copy(answered, status);
    return result;
  }
  void closeServiceHandle(ScHandle handle) override {
    if (handle == 0) return;
    if (const CairnServiceCalls* calls = loaded())
      calls->closeServiceHandle(calls->context, handle);
  }

 private:
  static void copy(const CairnServiceStatus& from, ServiceStatus* to) {
    to->serviceType = from.serviceType;
    to->currentState = from.currentState;
    to->controlsAccepted = from.controlsAccepted;
    to->win32ExitCode = from.win32ExitCode;
    to->serviceSpecificExitCode = from.serviceSpecificExitCode;
    to->checkPoint = from.checkPoint;
    to->waitHint = from.waitHint;
  }

  const CairnServiceCalls* loaded() {
    if (!fetched_) {
      SambaBackends* backends = module_->backends();
      if (backends == nullptr) return nullptr;
      calls_ = backends->serviceCalls();
      fetched_ = true;
    }
    return &calls_;
  }

  std::shared_ptr<SambaModule> module_;
  CairnServiceCalls calls_{};
  bool fetched_ = false;
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
