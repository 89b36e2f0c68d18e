// A scripted service control manager holding one service, with a clock that only moves when the
// code under test sleeps. Calls, sleeps and the changes a journal is asked to allow all go to one
// log, so a test reads the whole conversation in order.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/service_control.h"
#include "remote/registry_service.h"

namespace cairn::fakes {

class FakeServiceControl final : public ServiceControl, public Clock {
 public:
  // The service as the manager holds it.
  bool exists = true;
  std::uint32_t state = ServiceStopped;
  std::uint32_t startType = ServiceDemandStart;
  std::uint32_t waitHint = 2000;
  std::uint32_t startPendingMs = 1000;  // how long START_PENDING lasts after a start
  std::uint32_t stopPendingMs = 1000;   // how long STOP_PENDING lasts after a stop
  bool startFails = false;              // a start falls back to STOPPED with this exit code
  std::uint32_t exitCode = 1067;        // ERROR_PROCESS_ABORTED
  int busyControls = 0;                 // stops refused with ERROR_SERVICE_CANNOT_ACCEPT_CTRL first
  bool controlDenied = false;           // rights beyond querying are refused
  bool raceStart = false;          // a trigger starts the service just before StartServiceW arrives
  bool restartsAfterStop = false;  // a recovery action starts the service again once stopped
  std::uint32_t configSize = 300;  // bytes QueryServiceConfigW needs

  // Statuses the next calls of a name give instead of doing anything, in turn; 0 lets one pass.
  std::map<std::string, std::deque<std::uint32_t>> failing;
  // The changes the journal refuses to record.
  std::vector<RegistryServiceChange> journalRefuses;

  std::vector<std::string> log;
  std::uint64_t now = 0;

  BeforeChange journal();
  // "stopped/disabled": the service as it is now, in the words of the result.
  std::string service() const;
  // Every handle handed out was closed exactly once, and nothing else was closed.
  bool leftClean() const;

  std::uint64_t nowMs() override { return now; }
  void sleepMs(std::uint32_t milliseconds) override;

  Status openSCManager(const std::string& machineName, std::uint32_t desiredAccess,
                       ScHandle* manager) override;
  Status openService(ScHandle manager, const std::string& serviceName, std::uint32_t desiredAccess,
                     ScHandle* service) override;
  Status queryServiceStatusEx(ScHandle service, ServiceStatusProcess* status) override;
  Status queryServiceConfig(ScHandle service, std::uint32_t bufferSize, ServiceConfig* config,
                            std::uint32_t* bytesNeeded) override;
  Status changeServiceConfig(ScHandle service, std::uint32_t startType) override;
  Status startService(ScHandle service) override;
  Status controlService(ScHandle service, std::uint32_t control, ServiceStatus* status) override;
  void closeServiceHandle(ScHandle handle) override;

 private:
  Status call(const std::string& name, const std::string& arguments, ScHandle handle);
  void settle();  // a pending state whose time is up ends
  void fill(ServiceStatus* status) const;

  std::map<ScHandle, int> handles_;  // closes of each handle handed out
  int strayCloses_ = 0;
  std::uint64_t pendingUntil_ = 0;
};

}  // namespace cairn::fakes
