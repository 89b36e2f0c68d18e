#include "fleet/step_reports.h"

#include "fleet/record_fields.h"

namespace cairn {
namespace {

// Sends the step the check enters, under the record's own keys.
class Reporter {
 public:
  Reporter(const CheckRecord& record, WorkerProgress progress)
      : record_(record), progress_(std::move(progress)) {}

  void step(Step step) const {
    if (!progress_) return;
    progress_(RecordJson{{"address", record_.addressText}, {"step", stepName(step)}}.dump(
        -1, ' ', false, RecordJson::error_handler_t::replace));
  }
  // A registry value's step, named after the value (the Winlogon values, the policy's).
  void valueStep(std::string_view call, const std::string& valueName) const {
    step(stepNamed(std::string(call) + " " + valueName).value_or(Step::None));
  }

 private:
  const CheckRecord& record_;
  WorkerProgress progress_;
};

class ReportingSockets final : public Sockets {
 public:
  ReportingSockets(Sockets& system, const Reporter& reporter)
      : system_(system), reporter_(reporter) {}
  SocketsStartup startup(std::uint16_t version) override { return system_.startup(version); }
  std::uint32_t hostByName(const std::string& name) override {
    reporter_.step(Step::HostByName);
    return system_.hostByName(name);
  }
  std::string hostByAddress(std::uint32_t address) override {
    reporter_.step(Step::HostByAddress);
    return system_.hostByAddress(address);
  }
  std::string localHostName() override { return system_.localHostName(); }
  void cleanup() override { system_.cleanup(); }

 private:
  Sockets& system_;
  const Reporter& reporter_;
};

class ReportingIcmpEcho final : public IcmpEcho {
 public:
  ReportingIcmpEcho(IcmpEcho& system, const Reporter& reporter)
      : system_(system), reporter_(reporter) {}
  std::uint32_t inetAddr(const std::string& text) override { return system_.inetAddr(text); }
  IcmpHandle createFile() override { return system_.createFile(); }
  EchoResult sendEcho(IcmpHandle handle, const EchoRequest& request) override {
    reporter_.step(Step::IcmpSendEcho);
    return system_.sendEcho(handle, request);
  }
  void closeHandle(IcmpHandle handle) override { system_.closeHandle(handle); }

 private:
  IcmpEcho& system_;
  const Reporter& reporter_;
};

class ReportingNetManagement final : public NetManagement {
 public:
  ReportingNetManagement(NetManagement& system, const Reporter& reporter)
      : system_(system), reporter_(reporter) {}
  Status workstationInfo(const std::u16string& path, NetRecord* record) override {
    reporter_.step(Step::NetWkstaGetInfo);
    return system_.workstationInfo(path, record);
  }
  Status serverInfo(const std::u16string& path, NetRecord* record) override {
    reporter_.step(Step::NetServerGetInfo);
    return system_.serverInfo(path, record);
  }
  WorkstationNames workstationNames(NetRecord record) override {
    return system_.workstationNames(record);
  }
  void freeBuffer(NetRecord record) override { system_.freeBuffer(record); }

 private:
  NetManagement& system_;
  const Reporter& reporter_;
};

class ReportingRegistry final : public Registry {
 public:
  ReportingRegistry(Registry& system, const Reporter& reporter)
      : system_(system), reporter_(reporter) {}
  Status connect(const std::string& machine, RegKey* root) override {
    reporter_.step(Step::RegConnectRegistry);
    return system_.connect(machine, root);
  }
  Status openKey(RegKey parent, const std::string& subKey, std::uint32_t access,
                 RegKey* key) override {
    reporter_.step(Step::RegOpenKeyEx);
    return system_.openKey(parent, subKey, access, key);
  }
  Status queryValue(RegKey key, const std::string& name, std::uint32_t* type, unsigned char* data,
                    std::uint32_t* size) override {
    reporter_.valueStep("RegQueryValueEx", name);
    return system_.queryValue(key, name, type, data, size);
  }
  Status setValue(RegKey key, const std::string& name, std::uint32_t type,
                  const unsigned char* data, std::uint32_t size) override {
    reporter_.valueStep("RegSetValueEx", name);
    return system_.setValue(key, name, type, data, size);
  }
  // No check deletes a value yet, so there is no step to report for it.
  Status deleteValue(RegKey key, const std::string& name) override {
    return system_.deleteValue(key, name);
  }
  void closeKey(RegKey key) override { system_.closeKey(key); }

 private:
  Registry& system_;
  const Reporter& reporter_;
};

}  // namespace

struct StepReports::Services {
  Services(Platform& system, const CheckRecord& record, WorkerProgress progress)
      : reporter(record, std::move(progress)),
        sockets(system.sockets, reporter),
        icmp(system.icmp, reporter),
        netManagement(system.netManagement, reporter),
        registry(system.registry, reporter),
        platform{system.console, sockets, icmp, netManagement, registry, system.serviceControl} {}

  Reporter reporter;
  ReportingSockets sockets;
  ReportingIcmpEcho icmp;
  ReportingNetManagement netManagement;
  ReportingRegistry registry;
  Platform platform;
};

StepReports::StepReports(Platform& system, const CheckRecord& record, WorkerProgress progress)
    : services_(std::make_unique<Services>(system, record, std::move(progress))) {}

StepReports::~StepReports() = default;

Platform& StepReports::platform() {
  return services_->platform;
}

}  // namespace cairn
